#include "app/AppContext.h"
#include "common/Cp1252.h"
#include "common/ui/Twips.h"
#include "mainwindow/frmMain.h"
#include "lang/ui/Translate.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestProgram.h"
#include "update/Site.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarvello;

namespace {

const QString kLanguage = QStringLiteral(
    "[LANGUAGE]\nlanguage=Français\n[MSG]\nm2=Attention\nm14=Nom actuel\nm15=Nouveau nom\nm18=%s fichiers\n"
    "m19=%s dans la liste\nm45=Positions manquantes\nm77=%s renommés\nm91=<<interdit>>\nm97=<<hors filtre>>\n"
    "[frmMain]\ncmdAdd.Caption=&Ajouter\ncmdDel.Caption=Retirer\ncmdDel.ToolTipText=Retire les fichiers choisis\n"
    "optCasse(1).Caption=MAJUSCULES\noptCasse.Caption=jamais lu\nLabel6.Caption=Début :\nLabel5.Caption=&Règle :\n"
    "Label2.ToolTipText=Fichiers du dossier\nlblComment.ToolTipText=Commentaire de la règle\n"
    "txtFilter.ToolTipText=Motifs séparés par des espaces\nlblRepStr(2).Caption=après\n"
    "Label8(22).Caption=$N$ : premier nombre du nom\nmnuAddHieriachy.Caption=Toute l'arborescence\n"
    "[EXTRA]\nTipTopic3=Exif\nForumNotOpened=Pas de navigateur : %s\n");

} // namespace

class tst_frmMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_program = std::make_unique<test::TestProgram>(kLanguage);
        m_box = test::ScriptedMsgBox();
        m_window = std::make_unique<mainwindow::frmMain>(m_program->context, m_box);
        m_window->show();
    }

    void cleanup() { m_window.reset(); }

    void translationReadsTheWindowSection()
    {
        mainwindow::frmMain &window = *m_window;
        auto &ui = window.controls();
        QCOMPARE(ui.cmdAdd->text(), QStringLiteral("&Ajouter"));
        // a button without tooltip shows its caption
        QCOMPARE(ui.cmdAdd->toolTip(), QStringLiteral("Ajouter"));
        QCOMPARE(ui.cmdDel->toolTip(), QStringLiteral("Retire les fichiers choisis"));
        QCOMPARE(ui.optCasse[1]->text(), QStringLiteral("MAJUSCULES"));
        // the array's plain name is never read
        QCOMPARE(ui.optCasse[0]->text(), QString());
        QCOMPARE(ui.Label8[22]->text(), QStringLiteral("$N$ : premier nombre du nom"));
        QCOMPARE(ui.mnuAddHieriachy->text(), QStringLiteral("Toute l'arborescence"));
        QCOMPARE(ui.Label4->text(), QStringLiteral("0 dans la liste"));
        QCOMPARE(window.fileList().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Nouveau nom"));
        QCOMPARE(ui.lstAstuce->item(3)->text(), QStringLiteral("Exif"));
        // Screen readers: a caption, the label a box is the buddy of, or the tooltip.
        QCOMPARE(ui.cmdAdd->accessibleName(), QStringLiteral("Ajouter"));
        QCOMPARE(ui.txtDebut->accessibleName(), QStringLiteral("Début :"));
        QCOMPARE(ui.txtFilter->accessibleName(), QStringLiteral("Motifs séparés par des espaces"));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("Tarvello v1.13.0 - 0 renommés")));
    }

    // A dialog the window owns has a section of its own: the window's keys never reach it.
    void translationLeavesOwnedDialogsAlone()
    {
        QWidget window;
        window.setObjectName(QStringLiteral("frmMain"));
        QDialog owned(&window);
        auto *ownedButton = new QPushButton(QStringLiteral("Dessiné"), &owned);
        ownedButton->setObjectName(QStringLiteral("cmdDel"));
        lang::ui::TranslateForm(&window, m_program->context.language);
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
        const bool showStop = state == controller::State::Adding;
        const bool renaming = state == controller::State::Renaming || state == controller::State::Undoing;
        mainwindow::frmMain &window = *m_window;
        auto &ui = window.controls();
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
        QCOMPARE(ui.cmdStopAction->isVisible(), showStop);
        QCOMPARE(ui.cmdRenommer->isVisible(), !renaming);
        QCOMPARE(ui.cmdRenommerStop->isVisible(), renaming);
        QCOMPARE(window.cursor().shape(), on ? Qt::ArrowCursor : Qt::WaitCursor);
    }

    void tabLeavesTheListAndArrowsMoveWithinIt()
    {
        mainwindow::frmMain &window = *m_window;
        auto &ui = window.controls();
        for (const char *path : {"/photos/a.jpg", "/photos/b.jpg", "/photos/c.jpg"})
            QVERIFY(!window.affiche_nom(QString::fromLatin1(path)));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        ui.lstrename->setFocus();
        ui.lstrename->setCurrentIndex(window.fileList().index(0, 0));
        QTest::keyClick(ui.lstrename, Qt::Key_Down);
        QCOMPARE(ui.lstrename->currentIndex().row(), 1);
        QTest::keyClick(ui.lstrename, Qt::Key_Tab);
        QVERIFY(!ui.lstrename->hasFocus());
        QCOMPARE(ui.lstrename->currentIndex().row(), 1);
    }

    // A screen reader reads each label by its current text, and the rule box
    // by its label with the rule as its value.
    void screenReadersHearLabelsWithTheirValues()
    {
        mainwindow::frmMain &window = *m_window;
        auto &ui = window.controls();
        window.affiche_nom(QStringLiteral("/photos/a.jpg"));
        ui.cboRenommer->setCurrentText(QStringLiteral("Photo_###"));
        for (QLabel *label : {ui.Label2, ui.Label4, ui.lblComment, ui.lblExitToolUsed}) {
            QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(label);
            QVERIFY(reader);
            QCOMPARE(reader->text(QAccessible::Name), label->text());
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(ui.Label2)->text(QAccessible::Description),
                 QStringLiteral("Fichiers du dossier"));
        QAccessibleInterface *rule = QAccessible::queryAccessibleInterface(ui.cboRenommer);
        QCOMPARE(rule->text(QAccessible::Name), QStringLiteral("Règle :"));
        QCOMPARE(rule->text(QAccessible::Value), QStringLiteral("Photo_###"));
    }

    // Without a browser the forum's address is given to copy.
    void theForumWithoutABrowserGivesItsAddress()
    {
        QStringList opened;
        m_window->openUrl = [&](const QString &url) { return opened.append(url), false; };
        m_window->controls().cmdForum->click();
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].startsWith(update::siteAddress()));
        QCOMPARE(m_box.texts(), QStringList{QStringLiteral("Pas de navigateur : ") + opened[0]});
    }

    void storedStateGoesInAndComesBack()
    {
        settings::Settings &s = m_program->context.settings;
        s.General_PositionFenetreLeft = 1500;
        s.General_PositionFenetreTop = 900;
        s.General_FenetreLargeur = 18000;
        s.General_FenetreHauteur = 12000;
        s.General_MettreAJour = 0;
        s.rule.rule = QStringLiteral("Vacances_###");
        s.rule.counterStart = settings::kContinuationStart;
        s.rule.comment = QStringLiteral("été");
        s.rule.extensionFilter = QStringLiteral("JPG");
        s.memorisedRules = {{.rule = QStringLiteral("IMG_###")}, {}, {.rule = QStringLiteral("Vacances_###")}};
        s.RegleRenommage_optRepStr = 2;
        s.RegleRenommage_optRepPos = 1;
        s.RegleRenommage_txtRepPos[3] = QStringLiteral("7");
        s.RegleRenommage_RechercherChaine = QStringLiteral("IMG");
        s.RegleRenommage_Astuce = QStringLiteral("Exif");
        // The rule controls are filled from the settings when the window is made.
        m_window = std::make_unique<mainwindow::frmMain>(m_program->context, m_box);
        mainwindow::frmMain &window = *m_window;
        window.pushSettings();
        auto &ui = window.controls();
        QCOMPARE(ui.txtDebut->text(), QStringLiteral("#"));
        QCOMPARE(ui.cboRenommer->count(), 2);
        QCOMPARE(ui.cboRenommer->currentText(), QStringLiteral("Vacances_###"));
        QCOMPARE(ui.lblComment->text(), QStringLiteral("été (JPG)"));
        QVERIFY(!ui.chkRefresh->isChecked());
        QVERIFY(ui.chkRefresh->styleSheet().contains(QStringLiteral("FF0000")));
        QVERIFY(ui.optRepStr[2]->isChecked());
        QCOMPARE(ui.lstAstuce->currentRow(), 3);

        ui.chkTrim->setChecked(true);
        ui.txtRemplacer->setText(QStringLiteral("Photo"));
        window.pullSettings();
        QVERIFY(std::abs(s.General_PositionFenetreLeft - 1500) < 16);
        QVERIFY(std::abs(s.General_FenetreLargeur - 18000) < 16);
        QCOMPARE(s.rule.trimSpaces, 1);
        QCOMPARE(s.RegleRenommage_RemplacerChaine, QStringLiteral("Photo"));
        QCOMPARE(s.RegleRenommage_txtRepPos[3], QStringLiteral("7"));
        QCOMPARE(s.RegleRenommage_optRepStr, qint16(2));
        QCOMPARE(s.RegleRenommage_optRepPos, qint16(1));
        QCOMPARE(s.RegleRenommage_Astuce, QStringLiteral("Exif"));
    }

private:
    static QStringList newNames(mainwindow::frmMain &window)
    {
        QStringList names;
        for (const filelist::FileEntry &entry : window.fileList().entries())
            names << entry.newName;
        return names;
    }

    std::unique_ptr<test::TestProgram> m_program;
    test::ScriptedMsgBox m_box;
    std::unique_ptr<mainwindow::frmMain> m_window;
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmMain.moc"
