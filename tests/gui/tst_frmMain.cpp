// The main window's own controls: their texts from the language file, their
// layout at the smallest size, their states while the main job works, the
// focus, the stored state, and the aids around the rule box (the check once
// typing pauses, the field checks of the counter and position boxes, the
// token labels, the memorised rules).

#include "browser/FolderFilesModel.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswer.h"
#include "support/TestProgram.h"
#include "update/Site.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDate>
#include <QDialog>
#include <QFocusEvent>
#include <QHeaderView>
#include <QtTest>

using namespace tarvello;
using test::MainWindowFixture;

namespace {

// Only the texts the translation test reads.
const QString kLanguage = QStringLiteral(
    "[LANGUAGE]\nlanguage=Français\n[MSG]\nm15=Nouveau nom\nm19=%s dans la liste\nm77=%s renommés\n"
    "[frmMain]\ncmdAdd.Caption=&Ajouter\ncmdDel.Caption=Retirer\ncmdDel.ToolTipText=Retire les fichiers choisis\n"
    "optCasse(1).Caption=MAJUSCULES\noptCasse.Caption=jamais lu\nLabel6.Caption=Début :\nLabel5.Caption=&Règle :\n"
    "Label2.ToolTipText=Fichiers du dossier\ntxtFilter.ToolTipText=Motifs séparés par des espaces\n"
    "mnuAddHieriachy.Caption=Toute l'arborescence\n[EXTRA]\nTipTopic3=Exif\n");

// Leaves a box as pressing Tab would.
void leave(QWidget *box)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &out);
}

void enter(QWidget *box)
{
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &in);
}

} // namespace

class tst_frmMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Captions, tooltips and the names screen readers read, each from its key;
    // a label reads its current text, the rule box its label with the rule as value.
    void translationReadsTheWindowSection()
    {
        test::TestProgram program(kLanguage);
        test::ScriptedMsgBox box;
        mainwindow::frmMain window(program.context, box);
        window.show();
        auto &ui = window.controls();
        QCOMPARE(ui.cmdAdd->text(), QStringLiteral("&Ajouter"));
        // a button without tooltip shows its caption
        QCOMPARE(ui.cmdAdd->toolTip(), QStringLiteral("Ajouter"));
        QCOMPARE(ui.cmdDel->toolTip(), QStringLiteral("Retire les fichiers choisis"));
        QCOMPARE(ui.optCasse[1]->text(), QStringLiteral("MAJUSCULES"));
        // the array's plain name is never read
        QCOMPARE(ui.optCasse[0]->text(), QString());
        QCOMPARE(ui.mnuAddHieriachy->text(), QStringLiteral("Toute l'arborescence"));
        QCOMPARE(ui.Label4->text(), QStringLiteral("0 dans la liste"));
        QCOMPARE(window.fileList().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Nouveau nom"));
        QCOMPARE(ui.lstAstuce->item(3)->text(), QStringLiteral("Exif"));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("Tarvello v1.13.0 - 0 renommés")));
        // Screen readers: a caption, the label a box is the buddy of, or the tooltip.
        QCOMPARE(ui.cmdAdd->accessibleName(), QStringLiteral("Ajouter"));
        QCOMPARE(ui.txtDebut->accessibleName(), QStringLiteral("Début :"));
        QCOMPARE(ui.txtFilter->accessibleName(), QStringLiteral("Motifs séparés par des espaces"));
        window.affiche_nom(QStringLiteral("/photos/a.jpg"));
        ui.cboRenommer->setCurrentText(QStringLiteral("Photo_###"));
        for (QLabel *label : {ui.Label2, ui.Label4, ui.lblComment, ui.lblExitToolUsed, ui.lblExif[0]})
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), label->text());
        QCOMPARE(QAccessible::queryAccessibleInterface(ui.Label2)->text(QAccessible::Description), QStringLiteral("Fichiers du dossier"));
        QAccessibleInterface *rule = QAccessible::queryAccessibleInterface(ui.cboRenommer);
        QCOMPARE(rule->text(QAccessible::Name), QStringLiteral("Règle :"));
        QCOMPARE(rule->text(QAccessible::Value), QStringLiteral("Photo_###"));

        // A dialog the window owns has a section of its own: the window's keys never reach it.
        auto *ownedButton = new QPushButton(QStringLiteral("Dessiné"), new QDialog(&window));
        ownedButton->setObjectName(QStringLiteral("cmdDel"));
        lang::ui::TranslateForm(&window, program.context.language);
        QCOMPARE(ownedButton->text(), QStringLiteral("Dessiné"));
    }

    void busyStatesOfferOnlyTheirStopControl_data()
    {
        QTest::addColumn<controller::State>("state");
        QTest::addColumn<QString>("onlyAction");
        QTest::newRow("idle") << controller::State::Idle << QString();
        QTest::newRow("adding") << controller::State::Adding << QStringLiteral("cmdStopAction");
        QTest::newRow("recomputing") << controller::State::Recomputing << QString();
        QTest::newRow("renaming") << controller::State::Renaming << QStringLiteral("cmdRenommerStop");
        QTest::newRow("undoing") << controller::State::Undoing << QStringLiteral("cmdRenommerStop");
        QTest::newRow("recovering") << controller::State::Recovering << QString();
    }

    void busyStatesOfferOnlyTheirStopControl()
    {
        QFETCH(controller::State, state);
        QFETCH(QString, onlyAction);
        const bool on = state == controller::State::Idle;
        const bool renaming = state == controller::State::Renaming || state == controller::State::Undoing;
        MainWindowFixture f;
        mainwindow::frmMain &window = *f.window;
        auto &ui = f.ui();
        ui.chkExtension->setChecked(true);
        ui.optRepPos[2]->setChecked(true);
        window.controller().setState(controller::State::Adding);  // a state before, so every switch is exercised
        window.controller().setState(controller::State::Renaming);
        window.controller().setState(state);
        // Controls the states never switch, with what lies inside them.
        const QStringList alwaysOn = {"lstrename", "cmdDnD", "chkVignette", "cmdAide", "cmdForum",
                                      "cmdRefreshFolder", "ListView2", "picturePreview"};
        for (const QString &name : alwaysOn)
            QVERIFY2(window.findChild<QWidget *>(name)->isEnabled(), qPrintable(name));
        // Every other input of the window: idle, all of them but the position
        // fields the form did not choose and the undo command with nothing to
        // undo; busy, none but the state's own stop.
        const QList<QWidget *> keptOff = {ui.txtRepPos[0], ui.txtRepPos[1], ui.txtRepPos[2], ui.cmdDefaire};
        int inputs = 0;
        for (QWidget *w : window.findChildren<QWidget *>()) {
            const bool input = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
                || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractItemView *>(w);
            bool inside = false;
            for (QWidget *p = w; p && !inside; p = p->parentWidget())
                inside = alwaysOn.contains(p->objectName());
            if (!input || inside || w->window() != &window)
                continue;
            ++inputs;
            const bool expected = on ? !keptOff.contains(w) : !onlyAction.isEmpty() && w->objectName() == onlyAction;
            QVERIFY2(w->isEnabled() == expected, qPrintable(w->objectName()));
        }
        QVERIFY(inputs > 50);
        QCOMPARE(ui.cmdStopAction->isVisible(), state == controller::State::Adding);
        QCOMPARE(ui.cmdRenommer->isVisible(), !renaming);
        QCOMPARE(ui.cmdRenommerStop->isVisible(), renaming);
        QCOMPARE(window.cursor().shape(), on ? Qt::ArrowCursor : Qt::WaitCursor);
    }

    void tabLeavesTheListAndArrowsMoveWithinIt()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        for (const char *path : {"/photos/a.jpg", "/photos/b.jpg", "/photos/c.jpg"})
            QVERIFY(!f.window->affiche_nom(QString::fromLatin1(path)));
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        ui.lstrename->setFocus();
        ui.lstrename->setCurrentIndex(f.window->fileList().index(0, 0));
        QTest::keyClick(ui.lstrename, Qt::Key_Down);
        QCOMPARE(ui.lstrename->currentIndex().row(), 1);
        QTest::keyClick(ui.lstrename, Qt::Key_Tab);
        QVERIFY(!ui.lstrename->hasFocus());
        QCOMPARE(ui.lstrename->currentIndex().row(), 1);
    }

    // Without a browser the forum's address is given to copy.
    void theForumWithoutABrowserGivesItsAddress()
    {
        MainWindowFixture f;
        QStringList opened;
        f.window->openUrl = [&](const QString &url) { return opened.append(url), false; };
        f.ui().cmdForum->click();
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].startsWith(update::siteAddress()));
        QCOMPARE(f.box.texts(), QStringList{lang::ui::widgetText(f.context.language.extra("ForumNotOpened", opened[0]))});
    }

    // The rule controls are filled from the settings when the window is made,
    // and give them back.
    void storedStateGoesInAndComesBack()
    {
        MainWindowFixture f;
        settings::Settings &s = f.context.settings;
        s.General_FenetreLargeur = 18000;
        s.General_MettreAJour = 0;
        s.rule.rule = QStringLiteral("Vacances_###");
        s.rule.counterStart = settings::kContinuationStart;
        s.rule.comment = QStringLiteral("été");
        s.rule.extensionFilter = QStringLiteral("JPG");
        s.memorisedRules = {{.rule = QStringLiteral("IMG_###")}, {}, {.rule = QStringLiteral("Vacances_###")}};
        s.RegleRenommage_optRepStr = 2;
        s.RegleRenommage_txtRepPos[3] = QStringLiteral("7");
        const QString tipTopic = f.ui().lstAstuce->item(3)->text();
        s.RegleRenommage_Astuce = tipTopic;
        f.openWindow();
        f.window->pushSettings();
        auto &ui = f.ui();
        QCOMPARE(ui.txtDebut->text(), QStringLiteral("#"));
        QCOMPARE(ui.cboRenommer->count(), 2);
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("Vacances_###"));
        QCOMPARE(ui.lblComment->text(), QStringLiteral("été (JPG)"));
        QVERIFY(!ui.chkRefresh->isChecked() && ui.chkRefresh->styleSheet().contains(QStringLiteral("FF0000")));
        QVERIFY(ui.optRepStr[2]->isChecked());
        QCOMPARE(ui.lstAstuce->currentRow(), 3);

        ui.chkTrim->setChecked(true);
        ui.txtRemplacer->setText(QStringLiteral("Photo"));
        ui.optRepPos[1]->setChecked(true);
        f.window->pullSettings();
        QVERIFY(std::abs(s.General_FenetreLargeur - 18000) < 16);
        QCOMPARE(s.rule.trimSpaces, 1);
        QCOMPARE(s.RegleRenommage_RemplacerChaine, QStringLiteral("Photo"));
        QCOMPARE(s.RegleRenommage_txtRepPos[3], QStringLiteral("7"));
        QCOMPARE(s.RegleRenommage_optRepStr, qint16(2));
        QCOMPARE(s.RegleRenommage_optRepPos, qint16(1));
        QCOMPARE(s.RegleRenommage_Astuce, tipTopic);
    }

    void aRuleIsCheckedWhenTypingPausesOrTheBoxIsLeft()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("A_#"));
        f.window->affiche_nom(QStringLiteral("/d/x.txt"));
        enter(ui.cboRenommer);
        ui.cboRenommer->lineEdit()->selectAll();
        QTest::keyClicks(ui.cboRenommer->lineEdit(), QStringLiteral("a:b"));
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("a:b"));
        QVERIFY(f.box.shown.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(f.box.shown.size(), 1, 3000);
        QCOMPARE(f.box.shown[0].text, f.message(21, QStringLiteral("/:?\"<>|\\")));
        QCOMPARE(f.newNames(), QStringList{"A_1.txt"});

        // A rule that passes is stored and applied; an odd "$" only warns.
        ui.cboRenommer->lineEdit()->selectAll();
        QTest::keyClicks(ui.cboRenommer->lineEdit(), QStringLiteral("B$_#"));
        QTRY_COMPARE_WITH_TIMEOUT(f.newNames(), QStringList{"B$_1.txt"}, 3000);
        QCOMPARE(f.context.settings.rule.rule, QStringLiteral("B$_#"));
        QCOMPARE(f.box.texts().mid(1), QStringList{f.message(92)});

        // Leaving without a change recomputes nothing; after a change it checks at once.
        filelist::FileEntry stale = f.window->fileList().entry(0);
        stale.newName = QStringLiteral("stale");
        f.window->fileList().clear();
        f.window->fileList().append(stale);
        leave(ui.cboRenommer);
        QCOMPARE(f.newNames(), QStringList{"stale"});
        enter(ui.cboRenommer);
        ui.cboRenommer->setEditText(QStringLiteral("C_#"));
        leave(ui.cboRenommer);
        QCOMPARE(f.newNames(), QStringList{"C_1.txt"});
        QCOMPARE(f.box.shown.size(), 2);
    }

    // Which box is which and the message its check shows; what the checks
    // decide is the engine's table.
    void leavingABoxShowsItsCheck()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("N_#"));
        f.window->affiche_nom(QStringLiteral("/d/x.txt"));
        lang::Language &language = f.context.language;
        const struct {
            QLineEdit *box;
            QString typed;
            QString kept;
            QString message;
        } cases[] = {
            {ui.txtDebut, "abc", "1", "\n" + f.message(13)},
            {ui.txtPas, "99999", "1", language.extra("OptionOutOfRange", "99999")},
            {ui.txtNbPasse, "x", "0", "\n" + f.message(13)},
            {ui.txtRepPos[3], "40000", "40000", "txtRepPos_LostFocus (Feuille frmMain)"},
        };
        for (const auto &c : cases) {
            f.box.shown.clear();
            c.box->setEnabled(true);
            c.box->setText(c.typed);
            leave(c.box);
            QCOMPARE(c.box->text(), c.kept);
            QCOMPARE(f.box.shown.size(), 1);
            QVERIFY2(f.box.shown[0].text.contains(c.message), qPrintable(f.box.shown[0].text));
            QCOMPARE(f.newNames(), QStringList{"N_1.txt"});
        }
        ui.txtPas->setText(QStringLiteral("5"));
        leave(ui.txtPas);
        QCOMPARE(f.context.settings.rule.counterStep, 5);
        ui.txtDebut->setText(QStringLiteral("#"));
        leave(ui.txtDebut);
        QCOMPARE(f.context.settings.rule.counterStart, settings::kContinuationStart);
    }

    // The regular-expression form writes the rule; a pattern that does not
    // compile is refused, and the names stay.
    void regexFormWritesTheRuleOrIsRefused()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        f.window->affiche_nom(QStringLiteral("/d/IMG_abcdefg.jpg"));
        ui.txtRegxMotif->setText(QStringLiteral("^(\\w+)_(\\w+)$"));
        ui.txtRegxRemplacer->setText(QStringLiteral("\\2-\\1"));
        ui.chkRegxTout->setChecked(true);
        ui.cmdRepRegx->click();
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$REGX/^(\\w+)_(\\w+)$/\\2-\\1/g$"));
        QCOMPARE(f.newNames(), QStringList{"abcdefg-IMG.jpg"});
        // The "$" anchor made the dollars odd (message 92); then the refusal.
        ui.txtRegxMotif->setText(QStringLiteral("a)"));
        ui.cmdRepRegx->click();
        QCOMPARE(f.box.shown.size(), 2);
        QCOMPARE(f.newNames(), QStringList{"abcdefg-IMG.jpg"});
    }

    void tokensGoWhereTheCaretWas()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        ui.cboRenommer->setEditText(QStringLiteral("abc"));
        f.window->affiche_nom(QStringLiteral("/d/IMG_0042.jpg"));
        enter(ui.cboRenommer);
        ui.cboRenommer->lineEdit()->setCursorPosition(0);
        auto *caretWatch = f.window->findChild<QTimer *>(QStringLiteral("Timer_cboRenommer"));
        QVERIFY(caretWatch && caretWatch->isActive());
        QTest::qWait(caretWatch->interval() + 100);
        QLabel *year = ui.Label8[2];
        ui.lstAstuce->setCurrentRow(0);
        QTest::mouseClick(year, Qt::LeftButton, {}, year->rect().center());
        const QString thisYear = QString::number(QDate::currentDate().year());
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$A$abc"));
        QCOMPARE(ui.cboRenommer->lineEdit()->cursorPosition(), 3);
        QCOMPARE(f.newNames(), QStringList{thisYear + QStringLiteral("abc.jpg")});

        // The screen reader's press and the keyboard insert as a click does.
        ui.lstAstuce->setCurrentRow(2);
        QAccessibleInterface *number = QAccessible::queryAccessibleInterface(ui.Label8[22]);
        QCOMPARE(number->role(), QAccessible::Button);
        number->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$A$$N$abc"));
        QTest::keyClick(ui.Label8[1], Qt::Key_Space);
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$A$$N$*abc"));
        QCOMPARE(f.newNames(), QStringList{thisYear + QStringLiteral("0042IMG_0042abc.jpg")});

        // $MKDIR stands for the whole rule, and its lone "$" is worth a warning.
        QVERIFY(f.box.shown.isEmpty());
        ui.Label8[31]->setFocus();
        QTest::keyClick(ui.Label8[31], Qt::Key_Return);
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("$MKDIR"));
        QCOMPARE(f.box.texts(), QStringList{f.message(92)});
    }

    // The three buttons, a pick from the list and the comment dialog, as the
    // user meets them; what each keeps is the engine's table.
    void memorisedRulesComeBackWithTheirOptions()
    {
        MainWindowFixture f;
        auto &ui = f.ui();
        f.window->affiche_nom(QStringLiteral("/d/a b.txt"));
        ui.cboRenommer->setEditText(QStringLiteral("IMG_#"));
        ui.txtDebut->setText(QStringLiteral("5"));
        ui.chkUpperCaseFirstWord->setChecked(true);
        ui.cmdPrendrePlus->click();
        ui.cboRenommer->setEditText(QStringLiteral("* x"));
        ui.txtDebut->setText(QStringLiteral("1"));
        ui.chkUpperCaseFirstWord->setChecked(false);
        ui.cmdPrendrePlus->click();
        ui.cmdPrendrePlus->click();
        QCOMPARE(ui.cboRenommer->count(), 2);

        ui.cboRenommer->setCurrentIndex(0);
        emit ui.cboRenommer->activated(0);
        QCOMPARE(ui.txtDebut->text(), QStringLiteral("5"));
        QVERIFY(ui.chkUpperCaseFirstWord->isChecked());
        QCOMPARE(f.newNames(), QStringList{"IMG_5.txt"});

        // The comment dialog refuses a bracket and stays open; then it takes the values.
        const auto outcome = test::onNextModal([&f](QWidget *dialog) {
            auto *comment = dialog->findChild<QLineEdit *>(QStringLiteral("txtCommentaire"));
            auto *filter = dialog->findChild<QLineEdit *>(QStringLiteral("txtExtension"));
            comment->setText(QStringLiteral("Photos (2024)"));
            test::clickButton(dialog, "cmdOK");
            QVERIFY(dialog->isVisible());
            QCOMPARE(f.box.texts(), QStringList{f.message(99)});
            comment->setText(QStringLiteral(" Photos "));
            filter->setText(QStringLiteral("JPG"));
            test::clickButton(dialog, "cmdOK");
        });
        QTest::mouseDClick(ui.lblComment, Qt::LeftButton);
        QVERIFY(outcome->seen && !outcome->stuck);
        QCOMPARE(ui.lblComment->text(), QStringLiteral("Photos (JPG)"));
        // A new filter recomputes the names.
        QCOMPARE(f.newNames(), QStringList{f.message(97)});

        f.box.answers = {lang::MsgAnswer::Yes};
        ui.cmdPrendreMoins->click();
        QCOMPARE(f.box.shown.last().text, f.message(31, QStringLiteral("IMG_#")));
        QCOMPARE(ui.cboRenommer->count(), 1);
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("* x"));
        QCOMPARE(ui.lblComment->text(), f.message(93) + QStringLiteral(" (*)"));

        f.box.answers = {lang::MsgAnswer::No, lang::MsgAnswer::Yes};
        ui.cmdPrendreSupprimer->click();
        QCOMPARE(ui.cboRenommer->count(), 1);
        ui.cmdPrendreSupprimer->click();
        QCOMPARE(f.box.shown.last().text, f.message(30));
        QCOMPARE(ui.cboRenommer->count(), 0);
        QCOMPARE(ui.cboRenommer->currentText(), QString());
    }

    // The smallest size is also the size of a first start.
    void everyTextIsWholeAtTheSmallestSize_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("French") << QStringLiteral("Français");
        QTest::newRow("English") << QStringLiteral("English");
    }

    void everyTextIsWholeAtTheSmallestSize()
    {
        QFETCH(QString, language);
        MainWindowFixture f;
        f.context.language.setLanguage(language);
        f.openWindow();
        f.window->resize(f.window->minimumSize());
        f.addFiles({QStringLiteral("Canon_EOS_40D_0001.jpg")});
        QVERIFY(f.openFolder(f.folder.path(), 1));
        auto &ui = f.ui();
        // The largest count a folder is likely to show.
        ui.Label2->setText(f.message(18, QStringLiteral("5000")));
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QCoreApplication::processEvents();

        QStringList cut;
        for (QWidget *w : f.window->centralWidget()->findChildren<QWidget *>()) {
            const bool text = qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w);
            if (!text || !w->isVisibleTo(f.window.get()) || w->minimumSize() == w->maximumSize()
                || w->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
                continue;
            const bool whole = w->hasHeightForWidth() ? w->height() >= w->heightForWidth(w->width())
                                                      : w->width() >= w->sizeHint().width();
            if (!whole)
                cut << w->objectName();
        }
        QCOMPARE(cut, QStringList());
        QVERIFY(ui.Label2->height() < 2 * ui.Label2->fontMetrics().lineSpacing());

        // The file view shows a camera's name and the file's size side by side.
        browser::FileView &view = f.window->ListView1();
        const int size = browser::FolderFilesModel::SizeColumn;
        QVERIFY(view.header()->sectionViewportPosition(size) + view.header()->sectionSize(size) <= view.viewport()->width());
        QVERIFY(view.header()->sectionSize(browser::FolderFilesModel::NameColumn)
                >= view.fontMetrics().horizontalAdvance(QStringLiteral("Canon_EOS_40D_0001.jpg")));
    }

    void nameColumnsFollowTheWindowUntilSizedByHand()
    {
        MainWindowFixture f;
        QTableView *list = f.ui().lstrename;
        f.window->resize(f.window->minimumSize());
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const int narrow = list->columnWidth(0);
        f.window->resize(f.window->minimumWidth() + 300, f.window->minimumHeight());
        QVERIFY(QTest::qWaitFor([&] { return list->columnWidth(0) > narrow; }, 2000));
        QCOMPARE(list->columnWidth(1), list->columnWidth(0));

        list->horizontalHeader()->resizeSection(0, 90);
        f.window->resize(f.window->minimumSize());
        QTest::qWait(50);
        QCOMPARE(list->columnWidth(0), 90);
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
