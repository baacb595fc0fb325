#include "exif/ExifReader.h"

#include "common/Vb.h"
#include "common/VbError.h"
#include "common/Zub.h"
#include "exif/BuiltinReader.h"
#include "exif/ExifParse.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <limits>

#include <signal.h>

namespace tarvello::exif {

namespace {

const QString kCopyName = QStringLiteral("/tarvello.tmp");
const QString kArgumentFileName = QStringLiteral("/exifToolInputFile.txt");

int milliseconds(std::chrono::milliseconds duration)
{
    return int(std::min<qint64>(duration.count(), std::numeric_limits<int>::max()));
}

} // namespace

ExifReader::ExifReader(ExifOptions options, ExifCache &cache)
    : m_options(std::move(options))
    , m_cache(cache)
{
    // Reading is bound by the disk as much as by the processor.
    m_pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
}

ExifReader::~ExifReader()
{
    m_pool.clear();
    m_pool.waitForDone();
    stopBatch();
}

void ExifReader::setChoice(int choice)
{
    m_options.choice = choice;
}

void ExifReader::setExtensions(const QString &jhead, const QString &exiftool)
{
    m_options.jheadExtensions = jhead;
    m_options.exiftoolExtensions = exiftool;
}

bool ExifReader::listed(const QString &list, const QString &extension) const
{
    // Only the file's extension is upper-cased: an entry typed in lower case
    // never matches. An empty list has no entries, not one empty entry.
    return !list.isEmpty() && list.split(QLatin1Char(' ')).contains(extension);
}

QString ExifReader::toolPath(const QString &name) const
{
    const QString beside = m_options.programFolder + QStringLiteral("/bin/") + name;
    if (!m_options.programFolder.isEmpty() && QFileInfo(beside).isFile())
        return beside;
    return QStandardPaths::findExecutable(name, m_options.searchPath);
}

ExifInfo ExifReader::getExif(const QString &path)
{
    const QString extension = common::vbUCase(common::ZubGetExtension(path));
    const int choice = m_options.choice;
    const bool exiftoolListed = listed(m_options.exiftoolExtensions, extension);
    ExifInfo info;
    bool jheadUsed = false;
    if (choice == ChoiceNone || choice == ChoiceJhead || choice == ChoiceMixed) {
        jheadUsed = listed(m_options.jheadExtensions, extension);
        if (jheadUsed)
            info = readStandard(Tool::Jhead, path);
    }
    if ((choice == ChoiceExifTool || (choice == ChoiceMixed && !jheadUsed)) && exiftoolListed)
        info = readStandard(Tool::ExifTool, path);
    if (choice == ChoiceExifToolBatch && exiftoolListed)
        info = readBatch(path);
    if (choice == ChoiceBuiltin && exiftoolListed)
        info = readBuiltinCached(path);
    if (m_events.shown)
        m_events.shown(info);
    return info;
}

ExifInfo ExifReader::readStandard(Tool tool, const QString &path)
{
    if (const ExifInfo *cached = m_cache.find(path))
        return *cached;
    const QString program = toolPath(tool == Tool::Jhead ? QStringLiteral("jhead") : QStringLiteral("exiftool"));
    if (program.isEmpty() || !common::ZubFileExists(path) || m_options.tempFolder.isEmpty()
        || m_options.outputFile.isEmpty())
        return {};
    // The tool reads a copy, as it always has; the copy stays until the next one.
    const QString copy = m_options.tempFolder + kCopyName;
    QFile::remove(copy);
    if (!QFile::copy(path, copy))
        return {};

    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(m_options.outputFile);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {copy});
    const int timeout = milliseconds(m_options.toolTimeout);
    if (!process.waitForStarted(timeout) || !process.waitForFinished(timeout)) {
        process.kill();
        process.waitForFinished();
        QFile::remove(m_options.outputFile);
        return {};
    }
    QFile output(m_options.outputFile);
    if (!output.open(QIODevice::ReadOnly))
        return {};
    const ExifInfo info = ExifTextParser::parse(
        tool == Tool::Jhead ? ExifTextParser::Format::Jhead : ExifTextParser::Format::ExifTool,
        QString::fromUtf8(output.readAll()));
    output.close();
    m_cache.append(path, info);
    QFile::remove(m_options.outputFile);
    return info;
}

bool ExifReader::appendToArgumentFile(const QByteArray &bytes)
{
    QFile file(m_options.tempFolder + kArgumentFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    // exiftool looks at its argument file again only every 10 ms, or at once
    // when it receives SIGCONT.
    if (m_batch && m_batch->processId() > 0)
        ::kill(pid_t(m_batch->processId()), SIGCONT);
    return written;
}

bool ExifReader::startBatch()
{
    if (m_batchRunning)
        return true;
    const QString program = toolPath(QStringLiteral("exiftool"));
    if (program.isEmpty())
        return false;
    const QString argumentFile = m_options.tempFolder + kArgumentFileName;
    QFile arguments(argumentFile);
    bool started = !m_options.tempFolder.isEmpty() && !m_options.outputFile.isEmpty()
        && arguments.open(QIODevice::WriteOnly | QIODevice::Truncate);
    arguments.close();
    if (started) {
        m_batch = std::make_unique<QProcess>();
        m_batch->setStandardInputFile(QProcess::nullDevice());
        m_batch->setStandardOutputFile(m_options.outputFile);
        m_batch->setStandardErrorFile(QProcess::nullDevice());
        m_batch->start(program, {QStringLiteral("-stay_open"), QStringLiteral("True"), QStringLiteral("-@"), argumentFile});
        started = m_batch->waitForStarted(milliseconds(m_options.batchStopWait));
    }
    if (!started) {
        m_batch.reset();
        m_options.choice = ChoiceExifTool;
        if (m_events.batchStartFailed)
            m_events.batchStartFailed();
        return false;
    }
    m_batchOffset = 0;
    m_batchRunning = true;
    return true;
}

void ExifReader::stopBatch()
{
    if (!m_batchRunning)
        return;
    appendToArgumentFile(QByteArrayLiteral("-stay_open\nfalse\n"));
    m_batchRunning = false;
    m_batchOffset = 0;
    if (!m_batch->waitForFinished(milliseconds(m_options.batchStopWait))) {
        m_batch->kill();
        m_batch->waitForFinished();
    }
    m_batch.reset();
}

void ExifReader::restartBatch()
{
    stopBatch();
    QFile::remove(m_options.outputFile);
    startBatch();
}

ExifReader::BatchAnswer ExifReader::sendBatchRequest(const QString &path, QByteArray &answer)
{
    const int number = m_batchCounter++;
    appendToArgumentFile(QFile::encodeName(path) + "\n-execute" + QByteArray::number(number) + '\n');
    QFile output(m_options.outputFile);
    if (!output.exists())
        return BatchAnswer::NoOutput;
    if (!output.open(QIODevice::ReadOnly) || !output.seek(m_batchOffset)) {
        if (m_events.batchReadFailed)
            m_events.batchReadFailed(common::VbError::PermissionDenied, output.errorString());
        m_batchOffset = output.size();
        return BatchAnswer::ReadFailed;
    }
    // The answer is complete at exiftool's "{readyN}" line: the file may grow
    // in several writes.
    const QByteArray ready = "{ready" + QByteArray::number(number) + "}\n";
    QElapsedTimer silence;
    silence.start();
    QElapsedTimer total;
    total.start();
    for (int round = 0;; ++round) {
        const QByteArray more = output.readAll();
        if (!more.isEmpty()) {
            answer += more;
            silence.restart();
            if (answer.endsWith(ready)) {
                m_batchOffset += answer.size();
                answer.chop(ready.size());
                return BatchAnswer::Answered;
            }
            continue;
        }
        if (silence.elapsed() > m_options.batchSilence.count() || total.elapsed() > m_options.toolTimeout.count())
            return BatchAnswer::Silent;
        // A tool that ended will not answer.
        if (round % 50 == 0 && m_batch->waitForFinished(0))
            return BatchAnswer::Silent;
        QThread::usleep(200);
    }
}

ExifInfo ExifReader::readBatch(const QString &path)
{
    ExifInfo info;
    if (const ExifInfo *cached = m_cache.find(path)) {
        info = *cached;
    } else if (common::ZubFileExists(path) && !path.contains(QLatin1Char('\n'))) {
        // A request silent too long restarts exiftool and is sent again.
        for (int attempt = 0; attempt < m_options.batchAttempts && m_batchRunning; ++attempt) {
            QByteArray answer;
            const BatchAnswer outcome = sendBatchRequest(path, answer);
            if (outcome == BatchAnswer::Answered || outcome == BatchAnswer::ReadFailed) {
                info = ExifTextParser::parse(ExifTextParser::Format::ExifTool, QString::fromUtf8(answer));
                m_cache.append(path, info);
                break;
            }
            if (outcome == BatchAnswer::NoOutput)
                break;
            restartBatch();
        }
    }
    if (m_batchCounter > m_options.batchRestartAfter && m_batchRunning) {
        restartBatch();
        m_batchCounter = 1;
    }
    return info;
}

void ExifReader::prefetch(const QStringList &paths)
{
    if (m_options.choice != ChoiceBuiltin)
        return;
    for (const QString &path : paths) {
        if (m_pending.contains(path) || m_cache.find(path)
            || !listed(m_options.exiftoolExtensions, common::vbUCase(common::ZubGetExtension(path))))
            continue;
        auto task = std::make_shared<std::packaged_task<std::optional<ExifInfo>()>>([path] { return readBuiltin(path); });
        m_pending.insert(path, task->get_future().share());
        m_pool.start([task] { (*task)(); });
    }
}

ExifInfo ExifReader::readBuiltinCached(const QString &path)
{
    if (const ExifInfo *cached = m_cache.find(path))
        return *cached;
    std::optional<ExifInfo> read;
    const auto pending = m_pending.find(path);
    if (pending != m_pending.end()) {
        read = pending->get();
        m_pending.erase(pending);
    } else {
        read = readBuiltin(path);
    }
    if (!read)
        return {};
    m_cache.append(path, *read);
    return *read;
}

void ExifReader::clearCache()
{
    m_pool.clear();
    m_pool.waitForDone();
    m_pending.clear();
    m_cache.clear();
}

} // namespace tarvello::exif
