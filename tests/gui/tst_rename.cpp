#include "rename/RenameJournal.h"
#include "rename/ui/frmCheckErreur.h"
#include "lang/MsgBox.h"
#include "support/MainWindowFixture.h"
#include "support/ModalAnswer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
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

    // The renamed entries leave the list and come back for the further
    // pass; the count, the title, the undo command and the rule boxes follow.
    void renamesEveryFileAndTheWindowFollows()
    {
        settings::Settings &s = f->context.settings;
        s.General_NombreFichierRenomme = 40;
        s.Option_RegleApresRenommage = 0;
        s.Option_RegleDebutApresRenommage = 0;
        s.Option_RegleDebutResetRenommage = 7;
        f->window->refreshTitle();
        const QString before = f->window->windowTitle();
        QVERIFY(!ui().cmdDefaire->isEnabled());
        ui().cboRenommer->setCurrentText(QStringLiteral("Photo_###"));
        ui().txtNbPasse->setText(QStringLiteral("1"));
        f->addFiles({"b.jpg", "a.jpg", "c.png"});
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), (QStringList{"Photo_001.jpg", "Photo_002.jpg", "Photo_003.png"}));
        QCOMPARE(f->window->fileList().count(), 3);
        QCOMPARE(f->window->fileList().entry(0).name, QStringLiteral("Photo_001.jpg"));
        QCOMPARE(ui().txtNbPasse->text(), QStringLiteral("0"));
        QCOMPARE(ui().Label4->text(), f->message(19, QStringLiteral("3")));
        QCOMPARE(s.General_NombreFichierRenomme, 43);
        QCOMPARE(f->window->windowTitle(), QString(before).replace(QStringLiteral("40"), QStringLiteral("43")));
        QCOMPARE(ui().cboRenommer->currentText(), QString());
        QCOMPARE(ui().txtDebut->text(), QStringLiteral("7"));
        QCOMPARE(s.rule.counterStart, 7);
        QVERIFY(ui().cmdDefaire->isEnabled());
        QVERIFY(ui().cmdRenommer->isVisible() && !ui().cmdRenommerStop->isVisible() && !ui().ProgressBar1->isVisible());
        QVERIFY(f->box.shown.isEmpty());
    }

    // Passes the counter cannot count are refused before anything is renamed.
    void passesBeyondTheCounterRenameNothing()
    {
        ui().cboRenommer->setCurrentText(QStringLiteral("p_*"));
        f->addFiles({"a.txt"});
        ui().txtNbPasse->setText(QStringLiteral("99999"));
        ui().cmdRenommer->click();
        QCOMPARE(f->disk(), QStringList{"a.txt"});
        QCOMPARE(ui().txtNbPasse->text(), QStringLiteral("0"));
        QCOMPARE(f->box.texts(), QStringList{language().extra(QStringLiteral("OptionOutOfRange"), QStringLiteral("99999"))});
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

private:
    mainwindow::MainWindowControls &ui() { return f->ui(); }
    lang::Language &language() { return f->context.language; }

    FileEntry entry(const char *name, const char *newName) const
    {
        return FileEntry{QString::fromUtf8(name), f->folder.path(), QString::fromUtf8(newName)};
    }

    std::unique_ptr<test::MainWindowFixture> f;
};

QTEST_MAIN(tst_rename)
#include "tst_rename.moc"
