#pragma once

#include "files/FileOps.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// Fields of the program's own record files (the rename journal, the undo
// record): one line per file, fields separated by one space, paths as base64
// of their bytes so that spaces, line breaks and any other byte survive.
namespace tarvello::files {

// "device inode birth", or "- - -" when the file was not known.
QByteArray identityFields(const std::optional<FileIdentity> &identity);

// Reads the three identity fields from fields[at]; false when they are malformed.
bool parseIdentityFields(const QList<QByteArray> &fields, qsizetype at, std::optional<FileIdentity> &identity);

QByteArray pathField(const QByteArray &path);

// The path of a field; nullopt when it is not base64 or gives an empty path.
std::optional<QByteArray> parsePathField(const QByteArray &field);

// A record file as read: its rows (the fields of each line that starts with
// the row tag) and the lines after the closing "END count" line.
struct RecordFile {
    QList<QList<QByteArray>> rows;
    QList<QByteArray> trailer;
};

// Reads a record file of the given header and row tag; nullopt with error
// ENOENT (no file), EACCES (unreadable) or EBADMSG (not such a file, or cut short).
std::optional<RecordFile> readRecordFile(const QString &path, const QByteArray &header, const QByteArray &tag,
                                         int *error);

// The text of a record file: header, rows, and the closing line.
QByteArray recordFileText(const QByteArray &header, const QByteArray &rows, qsizetype count);

} // namespace tarvello::files
