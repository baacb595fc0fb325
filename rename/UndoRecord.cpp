#include "rename/UndoRecord.h"

#include "common/NativePath.h"
#include "rename/RecordFormat.h"
#include "rename/SideBySide.h"


#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace tarvello::rename {

namespace {

const QByteArray kHeader = "TARVELLO UNDO 2";
const QString kFileName = QStringLiteral("rename.undo");

// A row "U identity oldFolder oldName newFolder newName": its two paths.
std::pair<std::optional<QByteArray>, std::optional<QByteArray>> rowPaths(const RecordFile &record,
                                                                         const QList<QByteArray> &fields)
{
    if (fields.size() != 8 || fields[0] != "U")
        return {};
    return {record.path(fields, 4), record.path(fields, 6)};
}

// Whether the pairs are such as a rename leaves: absolute clean paths, no
// old path and no new path given twice.
bool pairsHoldTogether(const QList<UndoPair> &pairs)
{
    UniquePaths oldPaths(pairs.size());
    UniquePaths newPaths(pairs.size());
    for (const UndoPair &pair : pairs) {
        if (!isCleanAbsolutePath(pair.oldPath) || !isCleanAbsolutePath(pair.newPath)
            || !oldPaths.add(pair.oldPath) || !newPaths.add(pair.newPath))
            return false;
    }
    return true;
}

} // namespace

UndoRecord::UndoRecord(QString folder)
    : m_folder(std::move(folder))
{
}

QString UndoRecord::path() const
{
    return m_folder + QLatin1Char('/') + kFileName;
}

UndoRecord::Text::Text(const QList<UndoPair> &pairs, Threads threads)
    : m_writer(kHeader)
    , m_empty(pairs.isEmpty())
{
    if (m_empty)
        return;
    // Never a record that its own reading would refuse: checked while its
    // text is made, both passes over every pair.
    const auto check = [&] { m_holdsTogether = pairsHoldTogether(pairs); };
    const auto write = [&] {
        for (const UndoPair &pair : pairs) {
            m_writer.beginRow('U');
            m_writer.addIdentity(pair.identity);
            m_writer.addPath(pair.oldPath);
            m_writer.addPath(pair.newPath);
        }
    };
    if (threads == Threads::One) {
        check();
        write();
    } else {
        sideBySide(check, write);
    }
}

int UndoRecord::save(const QList<UndoPair> &pairs) const
{
    Text text(pairs);
    return save(text);
}

int UndoRecord::save(Text &text) const
{
    const QByteArray native = common::NativePath::fromText(path()).bytes();
    if (text.m_empty) {
        if (::unlink(native.constData()) != 0 && errno != ENOENT)
            return errno;
        return 0;
    }
    FileOps fs;
    if (const int error = fs.makeFolders(common::NativePath::fromText(m_folder).bytes()))
        return error;
    if (!text.m_holdsTogether)
        return EINVAL;
    return writeFileDurably(native, text.m_writer.pieces(), true);
}

std::optional<QList<UndoPair>> UndoRecord::load(int *error) const
{
    int readError = 0;
    const auto record = RecordFile::read(path(), kHeader, RecordFile::Marks::Refused, &readError);
    if (error)
        *error = readError == ENOENT ? 0 : readError;
    if (!record)
        return readError == ENOENT ? std::make_optional(QList<UndoPair>()) : std::nullopt;
    QList<UndoPair> pairs;
    for (const QList<QByteArray> &fields : record->rows()) {
        UndoPair pair;
        const auto [oldPath, newPath] = rowPaths(*record, fields);
        if (!oldPath || !newPath || !parseIdentityFields(fields, 1, pair.identity)) {
            if (error)
                *error = EBADMSG;
            return std::nullopt;
        }
        pair.oldPath = *oldPath;
        pair.newPath = *newPath;
        pairs.append(pair);
    }
    if (!pairsHoldTogether(pairs)) {
        if (error)
            *error = EBADMSG;
        return std::nullopt;
    }
    return pairs;
}

QList<FileToCheck> UndoRecord::filesToCheck(FileOps &fs) const
{
    const RecordFile record = RecordFile::salvage(path());
    QList<FileToCheck> files;
    for (const QList<QByteArray> &fields : record.rows()) {
        const auto [oldPath, newPath] = rowPaths(record, fields);
        if (newPath && fs.exists(*newPath))
            files.append({*newPath, oldPath.value_or(QByteArray()), false});
    }
    std::sort(files.begin(), files.end(), [](const FileToCheck &a, const FileToCheck &b) { return a.path < b.path; });
    return files;
}

} // namespace tarvello::rename
