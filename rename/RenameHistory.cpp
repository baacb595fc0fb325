#include "rename/RenameHistory.h"

#include "rename/RecordFormat.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvello::rename {

namespace {

const QByteArray kHeader = "TARVELLO HISTORY 1\n";

int writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += size_t(wrote);
    }
    return 0;
}

// One line as written, or nullopt.
std::optional<std::pair<HistoryRun, UndoPair>> parseLine(const QByteArray &line)
{
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() != 8 || (fields[2] != "R" && fields[2] != "U") || fields[1].size() != 16)
        return std::nullopt;
    HistoryRun run;
    run.time = QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs);
    run.id = fields[1];
    run.undo = fields[2] == "U";
    UndoPair pair;
    const auto oldPath = decodeBytes(fields[3]);
    const auto newPath = decodeBytes(fields[4]);
    if (!run.time.isValid() || !oldPath || !newPath || !isCleanAbsolutePath(*oldPath) || !isCleanAbsolutePath(*newPath)
        || !parseIdentityFields(fields, 5, pair.identity))
        return std::nullopt;
    pair.oldPath = *oldPath;
    pair.newPath = *newPath;
    return std::pair(run, pair);
}

// The runs of one day file in the order they were written.
QList<HistoryRun> readDay(const QString &path)
{
    QFile file(path);
    QList<HistoryRun> runs;
    if (!file.open(QIODevice::ReadOnly))
        return runs;
    const QByteArray content = file.readAll();
    if (!content.startsWith(kHeader))
        return runs;
    QHash<QByteArray, qsizetype> byId;
    qsizetype start = kHeader.size();
    // A last line without its line end was cut short: it is not read.
    for (qsizetype end = content.indexOf('\n', start); end >= 0; start = end + 1, end = content.indexOf('\n', start)) {
        const auto parsed = parseLine(content.sliced(start, end - start));
        if (!parsed)
            continue;
        auto known = byId.constFind(parsed->first.id);
        if (known == byId.constEnd()) {
            known = byId.insert(parsed->first.id, runs.size());
            runs.append(parsed->first);
        }
        runs[*known].files.append(parsed->second);
    }
    return runs;
}

QByteArray csvField(const QByteArray &field)
{
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r'))
        return field;
    QByteArray quoted = field;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

} // namespace

RenameHistory::RenameHistory(QString settingsFolder)
    : m_settingsFolder(std::move(settingsFolder))
{
}

QString RenameHistory::folder() const
{
    return m_settingsFolder + QStringLiteral("/history");
}

namespace {

void appendLine(std::string &text, const QByteArray &head, const UndoPair &pair)
{
    text.append(head.constData(), size_t(head.size()));
    appendEncoded(text, pair.oldPath);
    text.push_back(' ');
    appendEncoded(text, pair.newPath);
    text.push_back(' ');
    appendIdentityFields(text, pair.identity);
    text.push_back('\n');
}

} // namespace

RenameHistory::Lines::Lines(const QDateTime &time, bool undo, const QList<UndoPair> &files, std::size_t room)
    : m_time(time)
    , m_head(time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1() + ' '
             + QByteArray::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, '0')
             + (undo ? " U " : " R "))
{
    for (; m_made < files.size() && m_text.size() < room; ++m_made)
        appendLine(m_text, m_head, files[m_made]);
}

int RenameHistory::append(const QDateTime &time, bool undo, const QList<UndoPair> &files) const
{
    return append(Lines(time, undo, files, 0), files);
}

int RenameHistory::append(const Lines &lines, const QList<UndoPair> &files) const
{
    if (files.isEmpty())
        return 0;
    const QByteArray nativeFolder = QFile::encodeName(folder());
    FileOps fs;
    if (const int error = fs.makeFolders(nativeFolder))
        return error;
    const QByteArray path = nativeFolder + '/' + lines.m_time.date().toString(Qt::ISODate).toLatin1() + ".txt";
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) == 0 && st.st_size == 0) {
        text.append(kHeader.constData(), size_t(kHeader.size()));
    } else {
        // A line cut short by a crash ends here, before the new ones.
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
            text.push_back('\n');
    }
    int error = 0;
    if (!lines.m_text.empty()) {
        error = writeAll(fd, text);
        text.clear();
        if (error == 0)
            error = writeAll(fd, lines.m_text);
    }
    // A line a file, built in place and written a megabyte at a time: a run
    // of a million files writes a million lines, which need not all be held.
    constexpr size_t kChunk = 1 << 20;
    text.reserve(kChunk + 4096);
    for (qsizetype i = lines.m_made; i < files.size(); ++i) {
        appendLine(text, lines.m_head, files[i]);
        if (text.size() >= kChunk) {
            if (error == 0)
                error = writeAll(fd, text);
            text.clear();
        }
    }
    if (error == 0)
        error = writeAll(fd, text);
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    if (error == 0 && st.st_size == 0)
        error = fs.syncFolder(nativeFolder);
    return error;
}

QList<HistoryRun> RenameHistory::runs(int limit) const
{
    const QStringList days =
        QDir(folder()).entryList({QStringLiteral("[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9].txt")}, QDir::Files, QDir::Name | QDir::Reversed);
    QList<HistoryRun> runs;
    for (const QString &day : days) {
        const QList<HistoryRun> ofDay = readDay(folder() + QLatin1Char('/') + day);
        for (auto run = ofDay.crbegin(); run != ofDay.crend(); ++run) {
            if (limit > 0 && runs.size() >= limit)
                return runs;
            runs.append(*run);
        }
    }
    return runs;
}

int filesInPlace(const HistoryRun &run, FileOps &fs)
{
    int count = 0;
    for (const UndoPair &pair : run.files) {
        const auto now = fs.identity(pair.newPath);
        count += now && (!pair.identity || now == pair.identity) ? 1 : 0;
    }
    return count;
}

QByteArray historyCsv(const QList<HistoryRun> &runs)
{
    QByteArray csv = "run,time,kind,old path,new path\r\n";
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const HistoryRun &run = runs[i];
        const QByteArray head = QByteArray::number(i + 1) + ',' + run.time.toString(Qt::ISODateWithMs).toLatin1() + ','
            + (run.undo ? "undo" : "rename") + ',';
        for (const UndoPair &pair : run.files)
            csv += head + csvField(pair.oldPath) + ',' + csvField(pair.newPath) + "\r\n";
    }
    return csv;
}

} // namespace tarvello::rename
