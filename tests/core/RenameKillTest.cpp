#include "RenameTestSupport.h"

#include "files/RenameJournal.h"
#include "files/RenameOperation.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>

#include <gtest/gtest.h>

using namespace tarvello::files;
using tarvello::files::testing::Tree;

namespace {

constexpr int kFiles = 2000;
constexpr int kPauseMs = 40;

QByteArray checksum(const QByteArray &content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256);
}

// A folder of files with known, distinct contents, made once: every run
// renames the files from wherever the previous run and its recovery left them.
class Batch
{
public:
    Batch()
    {
        QRandomGenerator random{2024};
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray name = "photo " + QByteArray::number(10000 + i) + ".jpg";
            QByteArray content = "file " + QByteArray::number(i) + ' ';
            for (int b = 0; b < 64; ++b)
                content.append(char(random.bounded(256)));
            m_tree.write(name, content);
            m_sums.insert(name, checksum(content));
        }
    }

    // Takes the files' places as the next run's old names; the driver sorts
    // the names as this does (they are plain ASCII).
    void prepare(bool rotate)
    {
        m_rotate = rotate;
        const QHash<QByteArray, QByteArray> files = m_tree.files();
        m_oldNames = files.keys();
        std::sort(m_oldNames.begin(), m_oldNames.end());
        m_sums.clear();
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            m_sums.insert(it.key(), checksum(it.value()));
    }

    QStringList arguments() const
    {
        return {QStringLiteral("run"), m_settings.path(), m_tree.root(),
                m_rotate ? QStringLiteral("rotate") : QStringLiteral("prefix"), QString::number(kPauseMs)};
    }

    QString settings() const { return m_settings.path(); }

    QByteArray newName(qsizetype i) const { return m_rotate ? m_oldNames[(i + 1) % kFiles] : "n_" + m_oldNames[i]; }

    // Where the run was cut, read from the disk: 0 before the journal, 1 in
    // the first phase, 2 between the phases, 3 in the second phase, 4 after.
    int stage() const
    {
        const auto content = RenameJournal(m_settings.path()).load();
        if (!content) {
            const QByteArray first = m_oldNames[0];
            return checksum(m_tree.read(first)) == m_sums.value(first) ? 0 : 4;
        }
        if (!content->firstPhaseDone)
            return 1;
        int temporary = 0;
        for (const QByteArray &name : m_tree.names())
            temporary += tarvello::files::testing::isTemporaryName(name) ? 1 : 0;
        return temporary == kFiles ? 2 : 3;
    }

    // Each file at its old or its new name, unchanged; none lost, none left
    // under a temporary name, nothing else.
    void expectSound() const
    {
        const QHash<QByteArray, QByteArray> files = m_tree.files();
        ASSERT_EQ(files.size(), kFiles);
        int misplaced = 0;
        for (qsizetype i = 0; i < kFiles; ++i) {
            const QByteArray &sum = m_sums.value(m_oldNames[i]);
            misplaced += checksum(files.value(m_oldNames[i])) == sum || checksum(files.value(newName(i))) == sum ? 0 : 1;
        }
        EXPECT_EQ(misplaced, 0);
        EXPECT_FALSE(RenameJournal(m_settings.path()).exists());
    }

    void expectAllOld() const
    {
        for (const QByteArray &name : m_oldNames)
            ASSERT_EQ(checksum(m_tree.read(name)), m_sums.value(name)) << name.constData();
    }

private:
    bool m_rotate = false;
    Tree m_tree;
    QTemporaryDir m_settings;
    QList<QByteArray> m_oldNames;
    QHash<QByteArray, QByteArray> m_sums;
};

// Starts the driver and waits for it to say it begins the operation.
bool startDriver(QProcess &driver, const QStringList &arguments)
{
    driver.start(QStringLiteral(TARVELLO_RENAME_DRIVER), arguments);
    if (!driver.waitForStarted(10000))
        return false;
    while (!driver.canReadLine()) {
        if (!driver.waitForReadyRead(10000))
            return false;
    }
    return driver.readLine().trimmed() == "started";
}

// The microseconds a line of the driver's output reports ("between 1234").
qint64 reported(const QByteArray &output, const QByteArray &what)
{
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith(what + ' '))
            return line.mid(what.size() + 1).toLongLong();
    }
    return -1;
}

} // namespace

// A 2,000-file rename, killed with SIGKILL at chosen points of its run, 50
// times: in the first phase, between the phases, in the second phase, and
// some during the recovery that follows. The recovery of the next start
// leaves each file at its old or new name with its content unchanged.
TEST(RenameKill, killedRenamesAreAlwaysRecovered)
{
    // One run to its end tells how long the phases take on this machine.
    Batch batch;
    qint64 between = 0;
    qint64 done = 0;
    {
        batch.prepare(false);
        QProcess driver;
        ASSERT_TRUE(startDriver(driver, batch.arguments()));
        ASSERT_TRUE(driver.waitForFinished(60000));
        const QByteArray output = driver.readAllStandardOutput();
        between = reported(output, "between");
        done = reported(output, "done");
        ASSERT_GT(between, 0);
        ASSERT_GT(done, between);
        batch.expectSound();
    }
    const qint64 secondPhase = between + kPauseMs * 1000;

    QRandomGenerator random(20240611);
    int stages[5] = {0, 0, 0, 0, 0};
    for (int run = 0; run < 50; ++run) {
        // Runs 0-14 aim at the first phase, 15-24 between the phases, 25-49
        // at the second phase; every fifth one also kills the recovery.
        qint64 delay = 0;
        if (run < 15)
            delay = random.bounded(between + 1);
        else if (run < 25)
            delay = between + kPauseMs * 250 + random.bounded(kPauseMs * 500);
        else
            delay = secondPhase + random.bounded(qMax<qint64>(1, done - secondPhase));
        SCOPED_TRACE(::testing::Message() << "run " << run << " killed after " << delay << " us");
        batch.prepare(run % 2 == 1);
        QProcess driver;
        ASSERT_TRUE(startDriver(driver, batch.arguments()));
        QThread::usleep(delay);
        driver.kill();
        ASSERT_TRUE(driver.waitForFinished(10000));
        ++stages[batch.stage()];

        if (run % 5 == 4) {
            QProcess recovery;
            ASSERT_TRUE(startDriver(recovery, {QStringLiteral("recover"), batch.settings()}));
            QThread::usleep(random.bounded(3000));
            recovery.kill();
            ASSERT_TRUE(recovery.waitForFinished(10000));
        }
        FileOps fs;
        const RecoveryReport report = recoverInterruptedRename(batch.settings(), fs);
        EXPECT_TRUE(report.leftAtTemporary.isEmpty());
        batch.expectSound();
    }
    std::printf("kills before the journal %d, first phase %d, between phases %d, second phase %d, after %d\n",
                stages[0], stages[1], stages[2], stages[3], stages[4]);
    EXPECT_GT(stages[1], 0);
    EXPECT_GT(stages[2], 0);
    EXPECT_GT(stages[3], 0);
}

// The undo record outlives the process that renamed.
TEST(RenameKill, undoAfterARestart)
{
    Batch batch;
    batch.prepare(true);
    QProcess driver;
    ASSERT_TRUE(startDriver(driver, batch.arguments().mid(0, 4)));
    ASSERT_TRUE(driver.waitForFinished(60000));
    ASSERT_EQ(driver.exitCode(), 0);
    FileOps fs;
    RenameObserver quiet;
    const UndoReport undo = undoLastRename(batch.settings(), quiet, fs);
    EXPECT_EQ(undo.report.renamed, kFiles);
    batch.expectAllOld();
}

// While a rename runs in another process its journal is no interrupted one:
// nothing may recover it, undo or rename beside it. Once that process is
// killed, the journal is recovered.
TEST(RenameKill, aRunningRenameIsNotTakenForAnInterruptedOne)
{
    Batch batch;
    batch.prepare(false);
    QStringList arguments = batch.arguments();
    arguments.last() = QStringLiteral("60000");
    QProcess driver;
    ASSERT_TRUE(startDriver(driver, arguments));
    while (!driver.readAllStandardOutput().contains("between") && driver.state() == QProcess::Running)
        driver.waitForReadyRead(10000);

    FileOps fs;
    RenameObserver quiet;
    EXPECT_FALSE(interruptedRenameWaiting(batch.settings()));
    EXPECT_TRUE(recoverInterruptedRename(batch.settings(), fs).busy);
    EXPECT_EQ(undoLastRename(batch.settings(), quiet, fs).journalError, EBUSY);
    Tree other;
    other.write("a", "A");
    const RenamePlan plan = planRename(QList<PathPair>{{other.path("a"), other.path("b"), false, Conflict::None}}, fs);
    EXPECT_EQ(runRename(plan, batch.settings(), quiet, fs).journalError, EBUSY);
    EXPECT_EQ(other.read("a"), QByteArray("A"));

    driver.kill();
    ASSERT_TRUE(driver.waitForFinished(10000));
    EXPECT_TRUE(interruptedRenameWaiting(batch.settings()));
    const RecoveryReport report = recoverInterruptedRename(batch.settings(), fs);
    EXPECT_FALSE(report.busy);
    EXPECT_EQ(report.atNew + report.atOld, kFiles);
    batch.expectSound();
}
