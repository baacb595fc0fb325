#include "files/UndoRecord.h"

#include "files/RecordFormat.h"

#include <QFile>

#include <cerrno>

#include <unistd.h>

namespace tarvello::files {

namespace {

const QByteArray kHeader = "TARVELLO UNDO 1";
const QString kFileName = QStringLiteral("rename.undo");

} // namespace

UndoRecord::UndoRecord(QString folder)
    : m_folder(std::move(folder))
{
}

QString UndoRecord::path() const
{
    return m_folder + QLatin1Char('/') + kFileName;
}

int UndoRecord::save(const QList<UndoPair> &pairs) const
{
    const QByteArray native = QFile::encodeName(path());
    if (pairs.isEmpty()) {
        if (::unlink(native.constData()) != 0 && errno != ENOENT)
            return errno;
        return 0;
    }
    FileOps fs;
    if (const int error = fs.makeFolders(QFile::encodeName(m_folder)))
        return error;
    RecordWriter writer(kHeader);
    for (const UndoPair &pair : pairs) {
        writer.beginRow('U');
        writer.addIdentity(pair.identity);
        writer.addPath(pair.oldPath);
        writer.addPath(pair.newPath);
    }
    return writeFileDurably(native, writer.text(), true);
}

std::optional<QList<UndoPair>> UndoRecord::load(int *error) const
{
    int readError = 0;
    const auto record = RecordFile::read(path(), kHeader, &readError);
    if (error)
        *error = readError == ENOENT ? 0 : readError;
    if (!record)
        return readError == ENOENT ? std::make_optional(QList<UndoPair>()) : std::nullopt;
    QList<UndoPair> pairs;
    for (const QList<QByteArray> &fields : record->rows()) {
        // "U identity oldFolder oldName newFolder newName"
        UndoPair pair;
        const bool shaped = fields.size() == 8 && fields[0] == "U";
        const auto oldPath = shaped ? record->path(fields, 4) : std::nullopt;
        const auto newPath = shaped ? record->path(fields, 6) : std::nullopt;
        if (!oldPath || !newPath || !parseIdentityFields(fields, 1, pair.identity)) {
            if (error)
                *error = EBADMSG;
            return std::nullopt;
        }
        pair.oldPath = *oldPath;
        pair.newPath = *newPath;
        pairs.append(pair);
    }
    return pairs;
}

} // namespace tarvello::files
