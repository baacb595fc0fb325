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

    // Every control the shipped language file translates is there under its name.
    void everyTranslatedControlIsThereUnderItsName()
    {
        QFile file(QStringLiteral(TARVELLO_SOURCE_DIR "/langages/Francais.lng"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = common::decodeCp1252(file.readAll());
        const qsizetype start = text.indexOf(QStringLiteral("[frmMain]\r\n"));
        QVERIFY(start >= 0);
        const QStringList lines = text.mid(start).section(QStringLiteral("\r\n["), 0, 0).split(QStringLiteral("\r\n"),
                                                                                                Qt::SkipEmptyParts);
        QSet<QString> controls;
        for (const QString &line : lines.mid(1))
            controls.insert(line.section(QLatin1Char('='), 0, 0).section(QLatin1Char('.'), 0, -2));
        QVERIFY(controls.size() > 100);
        QCOMPARE(m_window->objectName(), QStringLiteral("frmMain"));
        controls.remove(QStringLiteral("frmMain"));
        for (const QString &name : controls)
            QVERIFY2(m_window->findChildren<QObject *>(name).size() == 1, qPrintable(name));
    }

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

    void translateFormKeepsDesignedTextsWhereKeysAreMissing()
    {
        QWidget window;
        window.setObjectName(QStringLiteral("frmAutre"));
        window.setWindowTitle(QStringLiteral("Titre dessiné"));
        auto *button = new QPushButton(QStringLiteral("Dessiné"), &window);
        button->setObjectName(QStringLiteral("cmdOK"));
        lang::ui::TranslateForm(&window, m_program->context.language);
        QCOMPARE(window.windowTitle(), QStringLiteral("Titre dessiné"));
        QCOMPARE(button->text(), QStringLiteral("Dessiné"));
        QCOMPARE(button->accessibleName(), QStringLiteral("Dessiné"));
    }

    // The pictures shipped in langages/: every button role with its hover
    // image, and the stand-by pictures of each language, decode at their size.
    void shippedPicturesDecode()
    {
        const lang::Language language(QStringLiteral(TARVELLO_SOURCE_DIR));
        QStringList pictures;
        const QString roles = QStringLiteral("oui non annuler modifier aide options about manuel quitter ajouter "
                                             "tout_ajouter retirer tout_retirer actualiser forum pressepapier "
                                             "verif_version dependance");
        for (const QString &role : roles.split(QLatin1Char(' ')))
            pictures << language.buttonImagePath(role) << language.buttonImagePath(role + QStringLiteral("_d"));
        for (const char *folder : {"Francais", "English"}) {
            for (const char *name : {"non_image.gif", "non_image2.gif"})
                pictures << QStringLiteral(TARVELLO_SOURCE_DIR "/langages/%1/%2").arg(folder, name);
        }
        for (const QString &path : pictures) {
            QVERIFY2(!path.isEmpty(), "a button role has no image in langages/common");
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            const QByteArray bytes = file.readAll();
            const QImage image = QImage::fromData(bytes);
            // A GIF cut short still decodes in part: it must end with its trailer.
            QVERIFY2(!image.isNull() && bytes.endsWith(';'), qPrintable(path));
            const bool button = path.contains(QStringLiteral("/common/"));
            QCOMPARE(image.size(), button ? QSize(24, 24) : QSize(161, 121));
            if (button)
                QVERIFY2(image.hasAlphaChannel(), qPrintable(path + QStringLiteral(" has no transparent background")));
        }
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

    void namesAreComputedAsRowsAreAddedAndOptionsRecompute()
    {
        mainwindow::frmMain &window = *m_window;
        auto &ui = window.controls();
        ui.cboRenommer->setCurrentText(QStringLiteral("Photo_###"));
        const QStringList paths = {"/photos/a.jpg", "/photos/b.JPG", "/photos/Thumbs.db", "/autre/c.jpeg"};
        for (const QString &path : paths)
            QVERIFY(!window.affiche_nom(path));
        QCOMPARE(newNames(window), (QStringList{"Photo_001.jpg", "Photo_002.JPG", "<<interdit>>", "Photo_004.jpeg"}));
        QCOMPARE(window.fileList().entry(3).folder, QStringLiteral("/autre"));

        ui.optCasse[2]->click();
        QCOMPARE(newNames(window), (QStringList{"photo_001.jpg", "photo_002.jpg", "<<interdit>>", "photo_004.jpeg"}));
        ui.txtDebut->setText(QStringLiteral("10"));
        ui.txtPas->setText(QStringLiteral("5"));
        ui.chkExtension->setChecked(true);
        ui.txtExtension->setText(QStringLiteral("PNG"));
        QCOMPARE(newNames(window), (QStringList{"photo_010.png", "photo_015.png", "<<interdit>>", "photo_025.png"}));
        QCOMPARE(m_program->context.settings.rule.counterStart, 10);
        QCOMPARE(m_program->context.settings.rule.counterStep, qint16(5));
        QCOMPARE(m_program->context.settings.rule.newExtension, QStringLiteral("PNG"));

        // Names repeated across a recomputation are numbered from a fresh table.
        ui.cboRenommer->setCurrentText(QStringLiteral("Image"));
        ui.chkExtension->setChecked(false);
        QCOMPARE(newNames(window), (QStringList{"image.jpg", "image_1.jpg", "<<interdit>>", "image.jpeg"}));
        ui.chkAutoIncrement->setChecked(false);
        QCOMPARE(m_program->context.settings.rule.numberIdentical, 0);
        QCOMPARE(newNames(window), (QStringList{"image.jpg", "image.jpg", "<<interdit>>", "image.jpeg"}));
        QVERIFY(m_box.shown.isEmpty());
    }

    // The six Exif labels show the values of the entry chosen in the list.
    void exifLabelsFollowTheChosenEntry()
    {
        const QString photo = QStringLiteral(TARVELLO_SHARED_PHOTOS) + QStringLiteral("/cameras/Canon_40D.jpg");
        if (!QFile::exists(photo))
            QSKIP("needs the shared photographs");
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(QFile::copy(photo, folder.filePath("a.jpg")));
        mainwindow::frmMain &window = *m_window;
        auto &ui = window.controls();
        window.affiche_nom(folder.filePath("a.jpg"));
        window.affiche_nom(folder.filePath("b.txt"));
        const auto labels = [&ui] {
            QStringList texts;
            for (const QLabel *label : std::as_const(ui.lblExif))
                texts.append(label->text());
            return texts;
        };
        ui.lstrename->setCurrentIndex(window.fileList().index(0, 0));
        QCOMPARE(labels(), (QStringList{"$d$=2008:05:30 15:56:01", "$T$=8.0 kB", "$R$=100 x 68", "$O$=",
                                        "$K$=Canon EOS 40D", "$C$="}));
        ui.lstrename->setCurrentIndex(window.fileList().index(1, 0));
        QCOMPARE(labels(), (QStringList{"$d$=", "$T$=", "$R$=", "$O$=", "$K$=", "$C$="}));
    }

    // Whether the names follow is the controller's; ticking the box again
    // recomputes them and keeps the selected rows.
    void tickingAutomaticRefreshRecomputesAndKeepsTheSelection()
    {
        mainwindow::frmMain &window = *m_window;
        auto &ui = window.controls();
        ui.chkRefresh->setChecked(false);
        for (const char *path : {"/d/x.txt", "/d/y.txt", "/d/z.txt"})
            window.fileList().append({QLatin1String(path).mid(3), QStringLiteral("/d"), QString()});
        ui.cboRenommer->setCurrentText(QStringLiteral("B_#"));
        window.selectRows({0, 2});
        ui.chkRefresh->setChecked(true);
        QCOMPARE(newNames(window), (QStringList{"B_1.txt", "B_2.txt", "B_3.txt"}));
        QList<int> rows;
        for (const QModelIndex &index : ui.lstrename->selectionModel()->selectedRows())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        QCOMPARE(rows, (QList<int>{0, 2}));
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

    void neverSmallerThanItsMinimum()
    {
        mainwindow::frmMain &window = *m_window;
        window.resize(300, 200);
        QCOMPARE(window.width(), common::ui::twipsToPixels(15240, &window));
        QCOMPARE(window.height(), common::ui::twipsToPixels(10600, &window));
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
