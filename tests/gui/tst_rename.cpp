#include "app/AppContext.h"
#include "files/RenameJournal.h"
#include "files/RenameTexts.h"
#include "files/ui/frmCheckErreur.h"
#include "files/ui/frmMain.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "support/FolderFixture.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedMsgBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTableView>
#include <QtTest>

using namespace tarvello;
using files::FileEntry;
using lang::ui::widgetText;
namespace MsgStyle = lang::MsgStyle;

class tst_rename : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_files = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<QTemporaryDir>();
        m_context = std::make_unique<app::AppContext>();
        m_context->programFolder = QStringLiteral(TARVELLO_SOURCE_DIR);
        m_context->language = folderfixture::french();
        m_context->settingsFolder = m_settings->path();
        m_box = test::ScriptedMsgBox();
        openWindow();
        ui().cboRenommer->setCurrentText(QStringLiteral("*"));
    }

    void cleanup() { m_window.reset(); }

    void renamesEveryFileEmptiesTheListAndCountsThem()
    {
        m_context->settings.General_NombreFichierRenomme = 40;
        m_window->refreshTitle();
        const QString before = m_window->windowTitle();
        QVERIFY(!ui().cmdDefaire->isEnabled());
        ui().cboRenommer->setCurrentText(QStringLiteral("Photo_###"));
        addFiles({"b.jpg", "a.jpg", "c.png"});
        ui().cmdRenommer->click();
        QCOMPARE(disk(), (QStringList{"Photo_001.jpg", "Photo_002.jpg", "Photo_003.png"}));
        QCOMPARE(m_window->fileList().count(), 0);
        QCOMPARE(ui().Label4->text(), widgetText(language().GetMessage(19, QStringLiteral("0"))));
        QCOMPARE(m_context->settings.General_NombreFichierRenomme, 43);
        QCOMPARE(m_window->windowTitle(), QString(before).replace(QStringLiteral("40"), QStringLiteral("43")));
        QVERIFY(ui().cmdDefaire->isEnabled());
        QVERIFY(ui().cmdRenommer->isVisible() && !ui().cmdRenommerStop->isVisible() && !ui().ProgressBar1->isVisible());
        QVERIFY(m_box.shown.isEmpty());
    }

    void theReviewListsTheConflicts_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("afterwards");
        QTest::addColumn<int>("left");
        QTest::newRow("cancel") << QStringLiteral("cmdAnnuler")
                                << QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "outside.jpg", "sub/"} << 4;
        QTest::newRow("continue") << QStringLiteral("cmdContinuer")
                                  << QStringList{"a.jpg", "c.jpg", "d.jpg", "outside.jpg", "sub/b2.jpg"} << 3;
    }

    void theReviewListsTheConflicts()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, afterwards);
        QFETCH(int, left);
        makeFiles({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "outside.jpg"});
        // a takes the name of a file outside the list; c and d the same name
        // but for case; b goes into a folder made while planning.
        m_window->fileList().appendAll({entry("a.jpg", "outside.jpg"), entry("b.jpg", ".\\sub\\b2.jpg"),
                                        entry("c.jpg", "dup.jpg"), entry("d.jpg", "DUP.jpg")});
        QString title;
        QStringList lines;
        QString firstTip;
        auto outcome = test::onNextModal([&](QWidget *review) {
            title = review->windowTitle();
            auto *list = review->findChild<QListWidget *>(QStringLiteral("lsterreur"));
            for (int i = 0; i < list->count(); ++i)
                lines << list->item(i)->text();
            firstTip = list->item(0)->toolTip();
            test::clickButton(review, button.toLatin1().constData());
        });
        ui().cmdRenommer->click();
        QVERIFY(outcome->seen && !outcome->stuck);
        QCOMPARE(title, language().ReadLangKey(QStringLiteral("frmCheckErreur"), QStringLiteral("frmCheckErreur.Caption"), {})
                            + QStringLiteral(" (3 / 4)"));
        const QStringList expected = {
            reviewLine("outside.jpg", files::Conflict::TargetExists),
            reviewLine("dup.jpg", files::Conflict::DuplicateTarget),
            reviewLine("DUP.jpg", files::Conflict::DuplicateTarget),
        };
        QCOMPARE(lines, expected);
        QCOMPARE(firstTip, path("a.jpg"));
        QCOMPARE(disk(), afterwards);
        QCOMPARE(m_window->fileList().count(), left);
    }

    void aNarrowCounterIsAskedAbout()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("x_##"));
        QStringList names;
        for (int i = 0; i < 100; ++i)
            names << QStringLiteral("f%1.txt").arg(i, 3, 10, QLatin1Char('0'));
        makeFiles(names);
        for (const QString &name : names)
            m_window->affiche_nom(path(name));
        m_box.answers = {lang::MsgAnswer::No};
        ui().cmdRenommer->click();
        QCOMPARE(m_box.shown.size(), 1);
        lang::Language &l = language();
        QCOMPARE(m_box.shown[0].text, widgetText(l.GetMessage(32, QStringLiteral("2"), QStringLiteral("99"))
                                                 + l.GetMessage(33, QStringLiteral("100"), QStringLiteral("3"))
                                                 + QStringLiteral("\r\n") + l.GetMessage(34)));
        QCOMPARE(m_box.shown[0].style, MsgStyle::YesNo + MsgStyle::Information);
        QCOMPARE(disk().size(), 100);
        QVERIFY(disk().contains(QStringLiteral("f099.txt")));

        m_box.answers = {lang::MsgAnswer::Yes};
        ui().cmdRenommer->click();
        QVERIFY(disk().contains(QStringLiteral("x_100.txt")));
        QVERIFY(disk().contains(QStringLiteral("x_01.txt")));
    }

    void entriesTheRuleLeavesAloneAreDroppedFirst()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("x_#"));
        addFiles({"Thumbs.db", "a.jpg"});
        QCOMPARE(m_window->fileList().entry(0).newName, language().GetMessage(91));
        ui().cmdRenommer->click();
        QCOMPARE(disk(), (QStringList{"Thumbs.db", "x_2.jpg"}));
        QCOMPARE(m_window->fileList().count(), 0);
    }

    void anEmptyRuleSaysSoAndABlankOneDoesNothing_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<bool>("told");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("blanks") << QStringLiteral("   ") << false;
    }

    void anEmptyRuleSaysSoAndABlankOneDoesNothing()
    {
        QFETCH(QString, rule);
        QFETCH(bool, told);
        makeFiles({"a.jpg"});
        m_window->fileList().append(entry("a.jpg", "b.jpg"));
        ui().cboRenommer->setCurrentText(rule);
        ui().cmdRenommer->click();
        QCOMPARE(m_box.shown.size(), told ? 1 : 0);
        if (told) {
            QCOMPARE(m_box.shown[0].text, widgetText(language().GetMessage(37)));
            QCOMPARE(m_box.shown[0].style, MsgStyle::Information);
        }
        QCOMPARE(disk(), QStringList{"a.jpg"});
    }

    void ruleAndCounterAfterRenaming_data()
    {
        QTest::addColumn<int>("ruleAfter");
        QTest::addColumn<int>("startAfter");
        QTest::addColumn<int>("stepAfter");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("nextStart");
        QTest::addColumn<QString>("nextStep");
        QTest::newRow("rule emptied") << 0 << 1 << 1 << QStringLiteral("1") << QString() << QStringLiteral("1") << QStringLiteral("2");
        QTest::newRow("continue") << 1 << 2 << 1 << QStringLiteral("1") << QStringLiteral("n_#") << QStringLiteral("11") << QStringLiteral("2");
        QTest::newRow("continue after #") << 1 << 2 << 1 << QStringLiteral("#") << QStringLiteral("n_#") << QStringLiteral("#") << QStringLiteral("2");
        QTest::newRow("reset") << 1 << 0 << 0 << QStringLiteral("1") << QStringLiteral("n_#") << QStringLiteral("7") << QStringLiteral("3");
    }

    void ruleAndCounterAfterRenaming()
    {
        QFETCH(int, ruleAfter);
        QFETCH(int, startAfter);
        QFETCH(int, stepAfter);
        QFETCH(QString, start);
        QFETCH(QString, rule);
        QFETCH(QString, nextStart);
        QFETCH(QString, nextStep);
        app::Settings &s = m_context->settings;
        s.Option_RegleApresRenommage = ruleAfter;
        s.Option_RegleDebutApresRenommage = startAfter;
        s.Option_ReglePasApresRenommage = stepAfter;
        s.Option_RegleDebutResetRenommage = 7;
        s.Option_ReglePasResetRenommage = 3;
        ui().cboRenommer->setCurrentText(QStringLiteral("n_#"));
        ui().txtDebut->setText(start);
        ui().txtPas->setText(QStringLiteral("2"));
        addFiles({"a", "b", "c", "d", "e"});
        ui().cmdRenommer->click();
        QCOMPARE(disk().size(), 5);
        QVERIFY(!disk().contains(QStringLiteral("a")));
        QCOMPARE(ui().cboRenommer->currentText(), rule);
        QCOMPARE(ui().txtDebut->text(), nextStart);
        QCOMPARE(ui().txtPas->text(), nextStep);
        // A box that was reset is read back into the stored counter.
        if (startAfter != 1 && nextStart != QLatin1String("#"))
            QCOMPARE(s.RegleRenommage_DebutPas, nextStart.toInt());
        if (stepAfter == 0)
            QCOMPARE(s.RegleRenommage_Pas, qint16(nextStep.toInt()));
    }

    void furtherPassesBringTheRenamedFilesBack()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("p_*"));
        ui().txtNbPasse->setText(QStringLiteral("2"));
        addFiles({"a.txt", "b.txt"});
        ui().cmdRenommer->click();
        QCOMPARE(ui().txtNbPasse->text(), QStringLiteral("1"));
        QCOMPARE(listed(), (QStringList{"p_a.txt -> p_p_a.txt", "p_b.txt -> p_p_b.txt"}));
        QCOMPARE(ui().Label4->text(), widgetText(language().GetMessage(19, QStringLiteral("2"))));
        ui().cmdRenommer->click();
        QCOMPARE(ui().txtNbPasse->text(), QStringLiteral("0"));
        QCOMPARE(listed().size(), 2);
        ui().cmdRenommer->click();
        QCOMPARE(disk(), (QStringList{"p_p_p_a.txt", "p_p_p_b.txt"}));
        QCOMPARE(listed(), QStringList());
    }

    void theStopButtonAsksAndStopsBeforeTheNextFile()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        QStringList names;
        for (int i = 0; i < 50; ++i)
            names << QStringLiteral("f%1").arg(i);
        addFiles(names);
        m_box.answers = {lang::MsgAnswer::Yes};
        bool renamingState = false;
        QTimer::singleShot(0, m_window.get(), [&] {
            renamingState = ui().cmdRenommerStop->isVisible() && ui().cmdRenommerStop->isEnabled()
                && !ui().cmdRenommer->isVisible() && !ui().cmdAdd->isEnabled() && ui().ProgressBar1->isVisible();
            ui().cmdRenommerStop->click();
        });
        ui().cmdRenommer->click();
        QVERIFY(renamingState);
        QCOMPARE(m_box.shown.size(), 1);
        QCOMPARE(m_box.shown[0].text, widgetText(language().GetMessage(20)));
        QCOMPARE(m_box.shown[0].style, MsgStyle::YesNo + MsgStyle::Question);
        QCOMPARE(m_box.shown[0].title, language().GetMessage(1));
        // Stopped before its first file: every file and entry as it was.
        QCOMPARE(disk(), sorted(names));
        QCOMPARE(m_window->fileList().count(), 50);
        QVERIFY(ui().cmdAdd->isEnabled());
    }

    void closingDuringARenameStopsItThenCloses()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        addFiles({"a", "b", "c"});
        int quits = 0;
        bool renamingWhenQuit = true;
        m_window->onQuitRequested = [&] {
            ++quits;
            renamingWhenQuit = m_window->renameRunning();
        };
        QTimer::singleShot(0, m_window.get(), [&] { m_window->close(); });
        ui().cmdRenommer->click();
        QCOMPARE(quits, 1);
        QVERIFY(!renamingWhenQuit);
        QCOMPARE(disk(), (QStringList{"a", "b", "c"}));
        QVERIFY(!files::RenameJournal(m_settings->path()).exists());
    }

    void undoRestoresEveryNameAlsoAfterARestart_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("same window") << false;
        QTest::newRow("after a restart") << true;
    }

    void undoRestoresEveryNameAlsoAfterARestart()
    {
        QFETCH(bool, restart);
        ui().cboRenommer->setCurrentText(QStringLiteral("$MKDIR.\\done\\*"));
        ui().chkInterdit->setChecked(false);
        addFiles({"a.jpg", "b.jpg"});
        ui().cmdRenommer->click();
        QCOMPARE(disk(), (QStringList{"done/a.jpg", "done/b.jpg"}));
        if (restart)
            openWindow();
        m_window->affiche_nom(path(QStringLiteral("done/a.jpg")));
        QVERIFY(ui().cmdDefaire->isEnabled());
        m_box.answers = {lang::MsgAnswer::Yes};
        ui().cmdDefaire->click();
        QCOMPARE(disk(), (QStringList{"a.jpg", "b.jpg", "done/"}));
        QCOMPARE(m_box.shown.size(), 2);
        QCOMPARE(m_box.shown[0].text, widgetText(language().extra(QStringLiteral("UndoQuestion"), QStringLiteral("2"))));
        QCOMPARE(m_box.shown[1].style, MsgStyle::Information);
        QVERIFY(m_box.shown[1].text.startsWith(widgetText(language().extra(QStringLiteral("UndoDone"), QStringLiteral("2")))));
        // The entry of a file the undo moved away is gone with it.
        QCOMPARE(m_window->fileList().count(), 0);
        QVERIFY(!ui().cmdDefaire->isEnabled());
    }

    void undoTellsWhichFileMovedSinceAndRestoresTheRest()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        addFiles({"a", "b", "c"});
        ui().cmdRenommer->click();
        QVERIFY(QFile::rename(path(QStringLiteral("n_b")), path(QStringLiteral("moved"))));
        m_box.answers = {lang::MsgAnswer::Yes};
        ui().cmdDefaire->click();
        QCOMPARE(disk(), (QStringList{"a", "c", "moved"}));
        QCOMPARE(m_box.shown.last().style, MsgStyle::Exclamation);
        QVERIFY(m_box.shown.last().text.contains(path(QStringLiteral("n_b"))));
    }

    void aRenameCutShortIsOfferedBeforeTheNext()
    {
        makeFiles({"a.jpg", "other.jpg"});
        files::FileOps fs;
        const files::RenamePlan plan = files::planRename(QList<FileEntry>{entry("a.jpg", "b.jpg")}, fs);
        QCOMPARE(files::RenameJournal(m_settings->path()).begin(plan), 0);
        QCOMPARE(fs.renameNoReplace(plan.entries[0].oldPath, plan.entries[0].tempPath), 0);
        m_window->fileList().append(entry("other.jpg", "x.jpg"));

        m_box.answers = {lang::MsgAnswer::No};
        ui().cmdRenommer->click();
        QCOMPARE(m_box.shown.size(), 1);
        QCOMPARE(m_box.shown[0].text, widgetText(files::recoveryQuestion(language())));
        QVERIFY(disk().contains(QStringLiteral("other.jpg")));
        QVERIFY(files::RenameJournal(m_settings->path()).exists());

        m_box.answers = {lang::MsgAnswer::Yes};
        ui().cmdRenommer->click();
        QCOMPARE(m_box.shown.size(), 3);
        QCOMPARE(m_box.shown[2].text, widgetText(language().extra(QStringLiteral("RecoverDone"), QStringLiteral("1"),
                                                                  QStringLiteral("0"))));
        QCOMPARE(disk(), (QStringList{"b.jpg", "other.jpg"}));
        ui().cmdRenommer->click();
        QCOMPARE(disk(), (QStringList{"b.jpg", "x.jpg"}));
    }

    void filesThatCannotBeRenamedAreToldOnceWithTheirReasons()
    {
        makeFiles({"gone.jpg", "fine.jpg"});
        QVERIFY(folderfixture::makeRawFile(m_files->path(), "caf\xE9.jpg"));
        // A file deleted since it was listed, and one whose name is no text
        // (the list holds it decoded, which names no file).
        m_window->fileList().appendAll({entry("gone.jpg", "g.jpg"), FileEntry{QFile::decodeName("caf\xE9.jpg"), m_files->path(), "c.jpg"},
                                        entry("fine.jpg", "f.jpg")});
        QVERIFY(QFile::remove(path(QStringLiteral("gone.jpg"))));
        ui().cmdRenommer->click();
        // Qt lists no name that is not text: that file is looked for by its bytes.
        QCOMPARE(disk(), QStringList{"f.jpg"});
        QVERIFY(files::FileOps().exists(QFile::encodeName(m_files->path()) + "/caf\xE9.jpg"));
        QCOMPARE(m_box.shown.size(), 1);
        QCOMPARE(m_box.shown[0].style, MsgStyle::Exclamation);
        const QString missing = widgetText(language().extra(QStringLiteral("RenameErrorMissing")));
        QVERIFY(m_box.shown[0].text.contains(
            widgetText(language().extra(QStringLiteral("RenameFailureLine"), path(QStringLiteral("gone.jpg")), missing))));
        QCOMPARE(m_box.shown[0].text.count(missing), 2);
        QCOMPARE(m_window->fileList().count(), 2);
        QVERIFY(folderfixture::removeRaw(m_files->path(), "caf\xE9.jpg"));
    }

    void theReviewWindowKeepsItsButtonsOnTheBottomEdge()
    {
        m_context->settings.General_AfficherImageBouton = 1;
        makeFiles({"a.jpg", "b.jpg", "c.jpg"});
        files::FileOps fs;
        const files::RenamePlan plan = files::planRename(
            QList<FileEntry>{entry("a.jpg", "b.jpg"), entry("b.jpg", "x.jpg"), entry("c.jpg", "x.jpg")}, fs);
        files::ui::frmCheckErreur review(*m_context);
        review.showConflicts(plan);
        review.show();
        auto *list = review.findChild<QListWidget *>(QStringLiteral("lsterreur"));
        auto *proceed = review.findChild<QPushButton *>(QStringLiteral("cmdContinuer"));
        auto *cancel = review.findChild<QPushButton *>(QStringLiteral("cmdAnnuler"));
        QCOMPARE(list->count(), 3);
        QVERIFY(!proceed->icon().isNull() && !cancel->icon().isNull());
        QVERIFY(!proceed->accessibleName().isEmpty() && !proceed->accessibleName().contains(QLatin1Char('&')));
        QVERIFY(!list->accessibleName().isEmpty());
        int listHeight = 0;
        for (const QSize size : {QSize(640, 360), QSize(900, 700)}) {
            review.resize(size);
            QTRY_COMPARE(review.size(), size);
            QTRY_VERIFY(review.height() - cancel->geometry().bottom() < 20);
            QVERIFY(list->geometry().bottom() < cancel->geometry().top());
            QVERIFY(list->width() > review.width() - 40);
            QVERIFY(list->height() > listHeight);
            listHeight = list->height();
        }
        QTest::keyClick(&review, Qt::Key_Escape);
        QVERIFY(!review.isVisible());
        QCOMPARE(review.answer(), files::ui::frmCheckErreur::kAnnuler);
    }

    void aJournalThatCannotBeWrittenRenamesAndResetsNothing()
    {
        QVERIFY(folderfixture::makeFile(m_settings->path() + QStringLiteral("/blocker")));
        m_context->settingsFolder = m_settings->path() + QStringLiteral("/blocker/Tarvello");
        m_context->settings.Option_RegleDebutApresRenommage = 2;
        ui().cboRenommer->setCurrentText(QStringLiteral("n_#"));
        addFiles({"a"});
        ui().cmdRenommer->click();
        QCOMPARE(disk(), QStringList{"a"});
        QCOMPARE(ui().txtDebut->text(), QStringLiteral("1"));
        QCOMPARE(m_box.shown.size(), 1);
        QVERIFY(m_box.shown[0].text.contains(m_context->settingsFolder));
        QVERIFY(ui().cmdRenommer->isEnabled());
    }

    void aCounterThatDoesNotConvertIsReportedAsTheOperationsError()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_#"));
        addFiles({"a"});
        ui().txtPas->setText(QStringLiteral("beaucoup"));
        ui().cmdRenommer->click();
        QCOMPARE(m_box.shown.size(), 1);
        QVERIFY(m_box.shown[0].text.contains(QStringLiteral("cmdRenommer_Click (Feuille frmMain)")));
        QCOMPARE(disk(), QStringList{"a"});
        QVERIFY(ui().cmdRenommer->isVisible() && ui().cmdAdd->isEnabled());
    }

private:
    void openWindow()
    {
        m_window.reset();
        m_window = std::make_unique<files::ui::frmMain>(*m_context, m_box);
        m_window->show();
    }

    files::ui::MainWindowControls &ui() { return m_window->controls(); }
    lang::Language &language() { return m_context->language; }

    QString path(const QString &name) const { return m_files->path() + QLatin1Char('/') + name; }
    FileEntry entry(const char *name, const char *newName) const
    {
        return FileEntry{QString::fromUtf8(name), m_files->path(), QString::fromUtf8(newName)};
    }

    // Files holding their own names.
    void makeFiles(const QStringList &names) const
    {
        for (const QString &name : names) {
            QFile file(path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name.toUtf8());
        }
    }

    void addFiles(const QStringList &names)
    {
        makeFiles(names);
        for (const QString &name : names)
            m_window->affiche_nom(path(name));
    }

    // Every file under the folder, relative, sorted; an empty folder ends in "/".
    QStringList disk() const
    {
        QStringList found;
        QDirIterator it(m_files->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const QString relative = QDir(m_files->path()).relativeFilePath(info.filePath());
            if (!info.isDir())
                found << relative;
            else if (QDir(info.filePath()).isEmpty())
                found << relative + QLatin1Char('/');
        }
        return sorted(found);
    }

    static QStringList sorted(QStringList list)
    {
        list.sort();
        return list;
    }

    QStringList listed() const
    {
        QStringList rows;
        for (const FileEntry &e : m_window->fileList().entries())
            rows << e.name + QStringLiteral(" -> ") + e.newName;
        return rows;
    }

    QString reviewLine(const char *newName, files::Conflict conflict)
    {
        return widgetText(language().extra(QStringLiteral("RenameFailureLine"), path(QString::fromUtf8(newName)),
                                           files::conflictReason(language(), conflict)));
    }

    std::unique_ptr<QTemporaryDir> m_files;
    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<app::AppContext> m_context;
    test::ScriptedMsgBox m_box;
    std::unique_ptr<files::ui::frmMain> m_window;
};

QTEST_MAIN(tst_rename)
#include "tst_rename.moc"
