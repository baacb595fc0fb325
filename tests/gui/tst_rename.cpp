#include "rename/RenameJournal.h"
#include "rename/RenameTexts.h"
#include "rename/UndoRecord.h"
#include "rename/ui/frmCheckErreur.h"
#include "lang/MsgBox.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using namespace tarvello;
using filelist::FileEntry;
using lang::ui::widgetText;
namespace MsgStyle = lang::MsgStyle;
namespace MsgAnswer = lang::MsgAnswer;

class tst_rename : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<test::MainWindowFixture>();
        f->ui().cboRenommer->setCurrentText(QStringLiteral("*"));
    }

    void cleanup() { f.reset(); }

    void renamesEveryFileEmptiesTheListAndCountsThem()
    {
        f->context.settings.General_NombreFichierRenomme = 40;
        f->window->refreshTitle();
        const QString before = f->window->windowTitle();
        QVERIFY(!ui().cmdDefaire->isEnabled());
        ui().cboRenommer->setCurrentText(QStringLiteral("Photo_###"));
        f->addFiles({"b.jpg", "a.jpg", "c.png"});
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), (QStringList{"Photo_001.jpg", "Photo_002.jpg", "Photo_003.png"}));
        QCOMPARE(f->window->fileList().count(), 0);
        QCOMPARE(ui().Label4->text(), f->message(19, QStringLiteral("0")));
        QCOMPARE(f->context.settings.General_NombreFichierRenomme, 43);
        QCOMPARE(f->window->windowTitle(), QString(before).replace(QStringLiteral("40"), QStringLiteral("43")));
        QVERIFY(ui().cmdDefaire->isEnabled());
        QVERIFY(ui().cmdRenommer->isVisible() && !ui().cmdRenommerStop->isVisible() && !ui().ProgressBar1->isVisible());
        QVERIFY(f->box.shown.isEmpty());
    }

    void theReviewListsTheConflicts_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("afterwards");
        QTest::addColumn<int>("left");
        QTest::newRow("cancel") << QStringLiteral("cmdAnnuler")
                                << QStringList{"a.jpg", "b.jpg", "box/e.jpg", "c.jpg", "d.jpg", "outside.jpg", "sub/"} << 6;
        QTest::newRow("continue") << QStringLiteral("cmdContinuer")
                                  << QStringList{"a.jpg", "box/e2.jpg", "c.jpg", "d.jpg", "outside.jpg", "sub/b2.jpg"} << 4;
    }

    void theReviewListsTheConflicts()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, afterwards);
        QFETCH(int, left);
        QVERIFY(folderfixture::makeFiles(f->folder.path(), {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "outside.jpg", "box/e.jpg"}));
        // a takes the name of a file outside the list; c and d the same name
        // but for case; b goes into a folder made while planning; box holds e.
        f->window->fileList().appendAll({entry("a.jpg", "outside.jpg"), entry("b.jpg", ".\\sub\\b2.jpg"),
                                         entry("c.jpg", "dup.jpg"), entry("d.jpg", "DUP.jpg"), entry("box", "box2"),
                                         FileEntry{QStringLiteral("e.jpg"), f->path(QStringLiteral("box")), QStringLiteral("e2.jpg")}});
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
                            + QStringLiteral(" (4 / 6)"));
        QCOMPARE(lines, (QStringList{reviewLine("outside.jpg", rename::Conflict::TargetExists),
                                     reviewLine("dup.jpg", rename::Conflict::DuplicateTarget),
                                     reviewLine("DUP.jpg", rename::Conflict::DuplicateTarget),
                                     reviewLine("box2", rename::Conflict::RenamedInside, "box/e.jpg")}));
        QCOMPARE(firstTip, f->path(QStringLiteral("a.jpg")));
        QCOMPARE(f->disk(), afterwards);
        QCOMPARE(f->window->fileList().count(), left);
    }

    void aNarrowCounterIsAskedAbout()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("x_##"));
        QStringList names;
        for (int i = 0; i < 100; ++i)
            names << QStringLiteral("f%1.txt").arg(i, 3, 10, QLatin1Char('0'));
        f->addFiles(names);
        f->box.answers = {MsgAnswer::No};
        ui().cmdRenommer->click();
        QCOMPARE(f->box.shown.size(), 1);
        lang::Language &l = language();
        QCOMPARE(f->box.shown[0].text, widgetText(l.GetMessage(32, QStringLiteral("2"), QStringLiteral("99"))
                                                  + l.GetMessage(33, QStringLiteral("100"), QStringLiteral("3"))
                                                  + QStringLiteral("\r\n") + l.GetMessage(34)));
        QCOMPARE(f->box.shown[0].style, MsgStyle::YesNo + MsgStyle::Information);
        QCOMPARE(f->disk(), names);

        f->box.answers = {MsgAnswer::Yes};
        ui().cmdRenommer->click();
        QVERIFY(f->disk().contains(QStringLiteral("x_100.txt")) && f->disk().contains(QStringLiteral("x_01.txt")));
    }

    // Told: "m37" for message 37, else an added text's key.
    void aRuleThatGivesNoNameRenamesNothing_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("told");
        QTest::newRow("empty") << QString() << QStringLiteral("m37");
        QTest::newRow("blanks") << QStringLiteral("   ") << QString();
        QTest::newRow("pasted tab") << QStringLiteral("x\ty") << QStringLiteral("RuleControlCharacter");
        QTest::newRow("pasted line break") << QStringLiteral("x\n") << QStringLiteral("RuleControlCharacter");
    }

    void aRuleThatGivesNoNameRenamesNothing()
    {
        QFETCH(QString, rule);
        QFETCH(QString, told);
        QVERIFY(folderfixture::makeFile(f->path(QStringLiteral("a.jpg"))));
        f->window->fileList().append(entry("a.jpg", "b.jpg"));
        ui().cboRenommer->setCurrentText(rule);
        ui().cmdRenommer->click();
        if (told.isEmpty()) {
            QVERIFY(f->box.shown.isEmpty());
        } else {
            const QString text = told == QLatin1String("m37") ? f->message(37) : widgetText(language().extra(told));
            QVERIFY(!text.isEmpty());
            QCOMPARE(f->box.texts(), QStringList{text});
            QCOMPARE(f->box.shown[0].style, MsgStyle::Information);
        }
        QCOMPARE(f->disk(), QStringList{"a.jpg"});
    }

    // The engine's rules for the rule and counter after a rename reach the
    // window's boxes and the stored counter.
    void ruleAndCounterAfterRenaming_data()
    {
        QTest::addColumn<int>("ruleAfter");
        QTest::addColumn<int>("startAfter");
        QTest::addColumn<int>("stepAfter");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("nextStart");
        QTest::addColumn<QString>("nextStep");
        QTest::newRow("rule emptied") << 0 << 1 << 1 << QString() << QStringLiteral("1") << QStringLiteral("2");
        QTest::newRow("continue") << 1 << 2 << 1 << QStringLiteral("n_#") << QStringLiteral("11") << QStringLiteral("2");
        QTest::newRow("reset") << 1 << 0 << 0 << QStringLiteral("n_#") << QStringLiteral("7") << QStringLiteral("3");
    }

    void ruleAndCounterAfterRenaming()
    {
        QFETCH(int, ruleAfter);
        QFETCH(int, startAfter);
        QFETCH(int, stepAfter);
        QFETCH(QString, rule);
        QFETCH(QString, nextStart);
        QFETCH(QString, nextStep);
        settings::Settings &s = f->context.settings;
        s.Option_RegleApresRenommage = ruleAfter;
        s.Option_RegleDebutApresRenommage = startAfter;
        s.Option_ReglePasApresRenommage = stepAfter;
        s.Option_RegleDebutResetRenommage = 7;
        s.Option_ReglePasResetRenommage = 3;
        ui().cboRenommer->setCurrentText(QStringLiteral("n_#"));
        ui().txtPas->setText(QStringLiteral("2"));
        f->addFiles({"a", "b", "c", "d", "e"});
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), (QStringList{"n_1", "n_3", "n_5", "n_7", "n_9"}));
        QCOMPARE(ui().cboRenommer->currentText(), rule);
        QCOMPARE(ui().txtDebut->text(), nextStart);
        QCOMPARE(ui().txtPas->text(), nextStep);
        QCOMPARE(s.rule.counterStart, nextStart.toInt());
        QCOMPARE(s.rule.counterStep, qint16(nextStep.toInt()));
    }

    // Further passes, the entries the rule leaves alone dropped first.
    void furtherPassesBringTheRenamedFilesBack()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("p_*"));
        ui().txtNbPasse->setText(QStringLiteral("2"));
        f->addFiles({"Thumbs.db", "a.txt", "b.txt"});
        QCOMPARE(f->window->fileList().entry(0).newName, language().GetMessage(91));
        ui().cmdRenommer->click();
        QCOMPARE(ui().txtNbPasse->text(), QStringLiteral("1"));
        QCOMPARE(listed(), (QStringList{"p_a.txt -> p_p_a.txt", "p_b.txt -> p_p_b.txt"}));
        QCOMPARE(ui().Label4->text(), f->message(19, QStringLiteral("2")));
        ui().cmdRenommer->click();
        QCOMPARE(ui().txtNbPasse->text(), QStringLiteral("0"));
        QCOMPARE(listed().size(), 2);
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), (QStringList{"Thumbs.db", "p_p_p_a.txt", "p_p_p_b.txt"}));
        QCOMPARE(listed(), QStringList());
    }

    void theStopButtonAsksAndStopsBeforeTheNextFile()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        QStringList names;
        for (int i = 0; i < 50; ++i)
            names << QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
        f->addFiles(names);
        f->box.answers = {MsgAnswer::Yes};
        bool renamingState = false;
        bool inputHeldBack = false;
        QTimer::singleShot(0, f->window.get(), [&] {
            renamingState = ui().cmdRenommerStop->isVisible() && ui().cmdRenommerStop->isEnabled()
                && !ui().cmdRenommer->isVisible() && !ui().cmdAdd->isEnabled() && ui().ProgressBar1->isVisible();
            // Neither a drop nor a double-click on an entry may change the list under the rename.
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(f->path(QStringLiteral("f00")))});
            QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(ui().cmdDnD, &enter);
            const QRect first = ui().lstrename->visualRect(f->window->fileList().index(0, 0));
            QTest::mouseDClick(ui().lstrename->viewport(), Qt::LeftButton, {}, first.center());
            inputHeldBack = !enter.isAccepted() && f->window->fileList().count() == 50;
            ui().cmdRenommerStop->click();
        });
        ui().cmdRenommer->click();
        QVERIFY(renamingState);
        QVERIFY(inputHeldBack);
        QCOMPARE(f->box.texts(), QStringList{f->message(20)});
        QCOMPARE(f->box.shown[0].style, MsgStyle::YesNo + MsgStyle::Question);
        QCOMPARE(f->box.shown[0].title, language().GetMessage(1));
        // Stopped before its first file: every file and entry as it was.
        QCOMPARE(f->disk(), names);
        QCOMPARE(f->window->fileList().count(), 50);
        QVERIFY(ui().cmdAdd->isEnabled());
    }

    void closingDuringARenameStopsItThenCloses()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        f->addFiles({"a", "b", "c"});
        int quits = 0;
        bool renamingWhenQuit = true;
        f->window->onQuitRequested = [&] {
            ++quits;
            renamingWhenQuit = f->window->renameRunning();
        };
        QTimer::singleShot(0, f->window.get(), [&] { f->window->close(); });
        ui().cmdRenommer->click();
        QCOMPARE(quits, 1);
        QVERIFY(!renamingWhenQuit);
        QCOMPARE(f->disk(), (QStringList{"a", "b", "c"}));
        QVERIFY(!rename::RenameJournal(f->settings.path()).exists());
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
        f->addFiles({"a.jpg", "b.jpg"});
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), (QStringList{"done/a.jpg", "done/b.jpg"}));
        if (restart)
            f->openWindow();
        f->window->affiche_nom(f->path(QStringLiteral("done/a.jpg")));
        QVERIFY(ui().cmdDefaire->isEnabled());
        f->box.answers = {MsgAnswer::Yes};
        ui().cmdDefaire->click();
        QCOMPARE(f->disk(), (QStringList{"a.jpg", "b.jpg", "done/"}));
        QCOMPARE(f->box.shown.size(), 2);
        QCOMPARE(f->box.shown[0].text, widgetText(language().extra(QStringLiteral("UndoQuestion"), QStringLiteral("2"))));
        QCOMPARE(f->box.shown[1].style, MsgStyle::Information);
        QVERIFY(f->box.shown[1].text.startsWith(widgetText(language().extra(QStringLiteral("UndoDone"), QStringLiteral("2")))));
        // The entry of a file the undo moved away is gone with it.
        QCOMPARE(f->window->fileList().count(), 0);
        QVERIFY(!ui().cmdDefaire->isEnabled());
    }

    void theListMarksConflictsAndCountsThem()
    {
        ui().chkAutoIncrement->setChecked(false);
        ui().cboRenommer->setCurrentText(QStringLiteral("same"));
        f->addFiles({"a.jpg", "b.jpg", "c.png"});
        QVERIFY(!ui().lblConflits->isHidden());
        QCOMPARE(ui().lblConflits->text(), widgetText(language().extra(QStringLiteral("ConflictCount"), QStringLiteral("2"))));
        filelist::FileList &list = f->window->fileList();
        QCOMPARE(list.data(list.index(1, 2), Qt::DisplayRole).toString(), language().extra(QStringLiteral("ConflictStatusDuplicate")));
        QCOMPARE(list.data(list.index(2, 2), Qt::DisplayRole).toString(), QString());
        list.removeEntries({0});
        QVERIFY(ui().lblConflits->isHidden());
    }

    void theHistoryWindowUndoesAnEarlierRun()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        f->addFiles({"a", "b"});
        ui().cmdRenommer->click();
        ui().cboRenommer->setCurrentText(QStringLiteral("m_*"));
        f->addFiles({"c"});
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), (QStringList{"m_c", "n_a", "n_b"}));
        f->box.answers = {MsgAnswer::Yes};
        const auto outcome = test::onNextModal([](QWidget *window) {
            auto *runs = window->findChild<QTreeWidget *>(QStringLiteral("lstRuns"));
            QCOMPARE(runs->topLevelItemCount(), 2);
            runs->setCurrentItem(runs->topLevelItem(1));
            QCOMPARE(window->findChild<QTreeWidget *>(QStringLiteral("lstFiles"))->topLevelItemCount(), 2);
            test::clickButton(window, "cmdUndo");
            // The undo is on top now, and the undone run has nothing left to undo.
            QCOMPARE(runs->topLevelItemCount(), 3);
            runs->setCurrentItem(runs->topLevelItem(2));
            QVERIFY(!window->findChild<QPushButton *>(QStringLiteral("cmdUndo"))->isEnabled());
            test::clickButton(window, "cmdClose");
        });
        ui().cmdHistorique->click();
        QVERIFY(outcome->seen && !outcome->stuck);
        QCOMPARE(f->disk(), (QStringList{"a", "b", "m_c"}));
        QCOMPARE(f->box.shown[0].text, widgetText(language().extra(QStringLiteral("HistoryUndoQuestion"), QStringLiteral("2"))));
    }

    void undoTellsWhichFileMovedSinceAndRestoresTheRest()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        f->addFiles({"a", "b", "c"});
        ui().cmdRenommer->click();
        QVERIFY(QFile::rename(f->path(QStringLiteral("n_b")), f->path(QStringLiteral("moved"))));
        f->box.answers = {MsgAnswer::Yes};
        ui().cmdDefaire->click();
        QCOMPARE(f->disk(), (QStringList{"a", "c", "moved"}));
        QCOMPARE(f->box.shown.last().style, MsgStyle::Exclamation);
        QVERIFY(f->box.shown.last().text.contains(f->path(QStringLiteral("n_b"))));
    }

    void aRenameCutShortIsOfferedBeforeTheNext()
    {
        QVERIFY(folderfixture::makeFiles(f->folder.path(), {"a.jpg", "other.jpg"}));
        rename::FileOps fs;
        const rename::RenamePlan plan = rename::planRename(QList<FileEntry>{entry("a.jpg", "b.jpg")}, fs);
        QCOMPARE(rename::RenameJournal(f->settings.path()).begin(plan), 0);
        QCOMPARE(fs.renameNoReplace(plan.entries[0].oldPath, plan.entries[0].tempPath), 0);
        f->window->fileList().append(entry("other.jpg", "x.jpg"));

        f->box.answers = {MsgAnswer::No};
        ui().cmdRenommer->click();
        QCOMPARE(f->box.texts(), QStringList{widgetText(rename::recoveryQuestion(language()))});
        QVERIFY(f->disk().contains(QStringLiteral("other.jpg")));
        QVERIFY(rename::RenameJournal(f->settings.path()).exists());

        f->box.answers = {MsgAnswer::Yes};
        ui().cmdRenommer->click();
        QCOMPARE(f->box.shown.size(), 3);
        QCOMPARE(f->box.shown[2].text, widgetText(language().extra(QStringLiteral("RecoverDone"), QStringLiteral("1"),
                                                                   QStringLiteral("0"))));
        QCOMPARE(f->disk(), (QStringList{"b.jpg", "other.jpg"}));
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), (QStringList{"b.jpg", "x.jpg"}));
    }

    // A journal that no longer matches its checksum is never recovered: the
    // window names the file left under its temporary name and offers to set
    // the journal aside, after which renames work again.
    void aDamagedJournalIsToldAndCanBeSetAside()
    {
        QVERIFY(folderfixture::makeFiles(f->folder.path(), {"a.jpg", "other.jpg"}));
        rename::FileOps fs;
        const rename::RenamePlan plan = rename::planRename(QList<FileEntry>{entry("a.jpg", "b.jpg")}, fs);
        const rename::RenameJournal journal(f->settings.path());
        QCOMPARE(rename::RenameJournal(f->settings.path()).begin(plan), 0);
        QCOMPARE(fs.renameNoReplace(plan.entries[0].oldPath, plan.entries[0].tempPath), 0);
        damage(journal.path());
        f->window->fileList().append(entry("other.jpg", "x.jpg"));
        const QStringList before = f->disk();

        f->box.answers = {MsgAnswer::No};
        ui().cmdRenommer->click();
        QCOMPARE(f->box.shown.size(), 1);
        const QString question = f->box.shown[0].text;
        QVERIFY(question.startsWith(widgetText(language().extra(QStringLiteral("RecoverUnreadable"), journal.path()))));
        QVERIFY(question.contains(QFile::decodeName(plan.entries[0].tempPath)));
        QVERIFY(question.endsWith(widgetText(rename::setAsideQuestion(language(), rename::RecordKind::Journal))));
        QCOMPARE(f->box.shown[0].style, MsgStyle::YesNo + MsgStyle::Exclamation);
        QVERIFY(journal.exists());
        QCOMPARE(f->disk(), before);

        f->box.answers = {MsgAnswer::Yes};
        ui().cmdRenommer->click();
        QCOMPARE(f->box.shown.size(), 3);
        QCOMPARE(f->box.shown[2].style, MsgStyle::Information);
        QVERIFY(!journal.exists());
        QCOMPARE(QDir(f->settings.path()).entryList({QStringLiteral("rename.journal.*")}, QDir::Files).size(), 1);
        QCOMPARE(f->disk(), before);
        ui().cmdRenommer->click();
        QVERIFY(f->disk().contains(QStringLiteral("x.jpg")));
    }

    void aDamagedUndoRecordIsToldAndCanBeSetAside()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("n_*"));
        f->addFiles({"a"});
        ui().cmdRenommer->click();
        damage(rename::UndoRecord(f->settings.path()).path());
        f->box.shown.clear();

        f->box.answers = {MsgAnswer::Yes};
        ui().cmdDefaire->click();
        QCOMPARE(f->box.shown.size(), 2);
        QVERIFY(f->box.shown[0].text.contains(f->path(QStringLiteral("n_a"))));
        QVERIFY(f->box.shown[0].text.endsWith(widgetText(rename::setAsideQuestion(language(), rename::RecordKind::Undo))));
        QCOMPARE(f->disk(), QStringList{"n_a"});
        QVERIFY(!ui().cmdDefaire->isEnabled());
    }

    void filesThatCannotBeRenamedAreToldOnceWithTheirReasons()
    {
        QVERIFY(folderfixture::makeFiles(f->folder.path(), {"gone.jpg", "fine.jpg"}));
        QVERIFY(folderfixture::makeRawFile(f->folder.path(), "caf\xE9.jpg"));
        // A file deleted since it was listed, and one whose name is no text
        // (the list holds it decoded, which names no file).
        f->window->fileList().appendAll({entry("gone.jpg", "g.jpg"),
                                         FileEntry{QFile::decodeName("caf\xE9.jpg"), f->folder.path(), "c.jpg"},
                                         entry("fine.jpg", "f.jpg")});
        QVERIFY(QFile::remove(f->path(QStringLiteral("gone.jpg"))));
        ui().cmdRenommer->click();
        // Qt lists no name that is not text: that file is looked for by its bytes.
        QCOMPARE(f->disk(), QStringList{"f.jpg"});
        QVERIFY(rename::FileOps().exists(QFile::encodeName(f->folder.path()) + "/caf\xE9.jpg"));
        QCOMPARE(f->box.shown.size(), 1);
        QCOMPARE(f->box.shown[0].style, MsgStyle::Exclamation);
        const QString missing = widgetText(language().extra(QStringLiteral("RenameErrorMissing")));
        // Each failure names the file and the name it was to take.
        QVERIFY(f->box.shown[0].text.contains(widgetText(language().extra(
            QStringLiteral("RenameFailureLine"), f->path(QStringLiteral("gone.jpg")) + QStringLiteral(" -> ") + f->path(QStringLiteral("g.jpg")),
            missing))));
        QCOMPARE(f->box.shown[0].text.count(missing), 2);
        QCOMPARE(f->window->fileList().count(), 2);
        QVERIFY(folderfixture::removeRaw(f->folder.path(), "caf\xE9.jpg"));
    }

    void theReviewWindowKeepsItsButtonsOnTheBottomEdge()
    {
        f->context.settings.General_AfficherImageBouton = 1;
        QVERIFY(folderfixture::makeFiles(f->folder.path(), {"a.jpg", "b.jpg", "c.jpg"}));
        rename::FileOps fs;
        const rename::RenamePlan plan = rename::planRename(
            QList<FileEntry>{entry("a.jpg", "b.jpg"), entry("b.jpg", "x.jpg"), entry("c.jpg", "x.jpg")}, fs);
        rename::ui::frmCheckErreur review(f->context);
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
        QCOMPARE(review.answer(), rename::ui::frmCheckErreur::kAnnuler);
    }

    // A journal that cannot be written, or a counter that does not convert,
    // stops the rename before any file moves or any box is reset.
    void aRenameThatCannotStartChangesNothing_data()
    {
        QTest::addColumn<bool>("journalBlocked");
        QTest::addColumn<QString>("said");
        QTest::newRow("journal cannot be written") << true << QString();
        QTest::newRow("counter does not convert") << false << QStringLiteral("cmdRenommer_Click (Feuille frmMain)");
    }

    void aRenameThatCannotStartChangesNothing()
    {
        QFETCH(bool, journalBlocked);
        QFETCH(QString, said);
        if (journalBlocked) {
            QVERIFY(folderfixture::makeFile(f->settings.path() + QStringLiteral("/blocker")));
            f->context.settingsFolder = f->settings.path() + QStringLiteral("/blocker/Tarvello");
            said = f->context.settingsFolder;
        }
        f->context.settings.Option_RegleDebutApresRenommage = 2;
        ui().cboRenommer->setCurrentText(QStringLiteral("n_#"));
        f->addFiles({"a"});
        if (!journalBlocked)
            ui().txtPas->setText(QStringLiteral("beaucoup"));
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), QStringList{"a"});
        QCOMPARE(ui().txtDebut->text(), QStringLiteral("1"));
        QCOMPARE(f->box.shown.size(), 1);
        QVERIFY(f->box.shown[0].text.contains(said));
        QVERIFY(ui().cmdRenommer->isVisible() && ui().cmdRenommer->isEnabled() && ui().cmdAdd->isEnabled());
    }

private:
    mainwindow::MainWindowControls &ui() { return f->ui(); }
    lang::Language &language() { return f->context.language; }

    // Changes the last digit of a record's checksum.
    static void damage(const QString &record)
    {
        QFile file(record);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() - 2));
        char digit = 0;
        QVERIFY(file.getChar(&digit));
        QVERIFY(file.seek(file.size() - 2));
        QVERIFY(file.putChar(char(digit ^ 1)));
    }

    FileEntry entry(const char *name, const char *newName) const
    {
        return FileEntry{QString::fromUtf8(name), f->folder.path(), QString::fromUtf8(newName)};
    }

    QStringList listed() const
    {
        QStringList rows;
        for (const FileEntry &e : f->window->fileList().entries())
            rows << e.name + QStringLiteral(" -> ") + e.newName;
        return rows;
    }

    QString reviewLine(const char *newName, rename::Conflict conflict, const char *inside = "")
    {
        const QString reason = rename::conflictReason(language(), conflict, QFile::encodeName(f->path(QString::fromUtf8(inside))));
        return widgetText(language().extra(QStringLiteral("RenameFailureLine"), f->path(QString::fromUtf8(newName)), reason));
    }

    std::unique_ptr<test::MainWindowFixture> f;
};

QTEST_MAIN(tst_rename)
#include "tst_rename.moc"
