#include "exif/ExifReader.h"

#include "common/Vb.h"
#include "common/Zub.h"
#include "exif/BuiltinReader.h"
#include "exif/ExifParse.h"
#include "settings/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <limits>

namespace tarvello::exif {

namespace {

const QString kCopyName = QStringLiteral("/tarvello.tmp");
const QString kArgumentFileName = QStringLiteral("/exifToolInputFile.txt");

int milliseconds(std::chrono::milliseconds duration)
{
    return int(std::min<qint64>(duration.count(), std::numeric_limits<int>::max()));
}

} // namespace

ExifOptions exifOptions(const settings::Settings &settings)
{
    ExifOptions options;
    options.choice = settings.Option_OutilExifChoisi;
    options.jheadExtensions = settings.Option_ExtensionTraiteAvecJHEAD;
    options.exiftoolExtensions = settings.Option_ExtensionTraiteAvecEXIFTOOL;
    return options;
}

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

void ExifReader::setOptions(ExifOptions options)
{
    stopBatch();
    m_options = std::move(options);
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

void ExifReader::batchStartFailed()
{
    m_options.choice = ChoiceExifTool;
    if (m_events.batchStartFailed)
        m_events.batchStartFailed();
}

bool ExifReader::startBatch()
{
    if (batchRunning())
        return true;
    const QString program = toolPath(QStringLiteral("exiftool"));
    if (program.isEmpty())
        return false;
    if (m_batch)
        m_batchCounter = m_batch->counter();
    m_batch = std::make_unique<ExifToolBatch>(ExifToolBatch::Options{
        .program = program,
        .argumentFile = m_options.tempFolder.isEmpty() ? QString() : m_options.tempFolder + kArgumentFileName,
        .outputFile = m_options.outputFile,
        .silence = m_options.batchSilence,
        .attempts = m_options.batchAttempts,
        .stopWait = m_options.batchStopWait,
        .restartAfter = m_options.batchRestartAfter,
        .timeout = m_options.toolTimeout,
        .counter = m_batchCounter,
    });
    if (!m_batch->start()) {
        m_batch.reset();
        batchStartFailed();
        return false;
    }
    return true;
}

void ExifReader::stopBatch()
{
    if (!m_batch)
        return;
    m_batch->stop();
    m_batchCounter = m_batch->counter();
    m_batch.reset();
}

ExifInfo ExifReader::readBatch(const QString &path)
{
    if (const ExifInfo *cached = m_cache.find(path))
        return *cached;
    if (!batchRunning() || !common::ZubFileExists(path))
        return {};
    const std::optional<ExifInfo> info = m_batch->read(path);
    if (info)
        m_cache.append(path, *info);
    // A restart that failed leaves exiftool standard mode.
    if (!m_batch->running()) {
        stopBatch();
        batchStartFailed();
    }
    return info.value_or(ExifInfo());
}

void ExifReader::prefetch(const QStringList &paths)
{
    if (m_options.choice == ChoiceExifToolBatch && batchRunning()) {
        QStringList ahead;
        for (const QString &path : paths) {
            if (!m_cache.find(path) && listed(m_options.exiftoolExtensions, common::vbUCase(common::ZubGetExtension(path))))
                ahead.append(path);
        }
        m_batch->sendAhead(ahead);
    }
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
    if (m_batch)
        m_batch->forget();
    m_pool.clear();
    m_pool.waitForDone();
    m_pending.clear();
    m_cache.clear();
}

} // namespace tarvello::exif
