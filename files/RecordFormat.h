#pragma once

#include "files/FileOps.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// The program's own record files (the rename journal, the undo record): a
// header line, rows of fields separated by one space, "END" with the number
// of rows, and for the journal marks appended after it. Bytes are
// percent-encoded (all but letters, digits, "-._~" and "/"), so spaces, line
// breaks and any other byte survive and common names stay readable. A path is
// written as the number of a folder row ("F number folder") and its name, so a
// folder shared by many files is written once.
namespace tarvello::files {

// Reads the three identity fields from fields[at]; false when they are malformed.
bool parseIdentityFields(const QList<QByteArray> &fields, qsizetype at, std::optional<FileIdentity> &identity);

// Builds the text of a record file, row by row, field by field.
class RecordWriter
{
public:
    explicit RecordWriter(QByteArray header);

    // Starts a row with its tag.
    void beginRow(char tag);
    void addNumber(qint64 number);
    void addIdentity(const std::optional<FileIdentity> &identity);
    // Two fields: the number of the path's folder, and its name.
    void addPath(const QByteArray &path);
    // A name alone (a name in the folder of another path).
    void addName(const QByteArray &name);

    QByteArray text() const;

private:
    QByteArray m_header;
    QHash<QByteArray, int> m_folders;
    QByteArray m_lastFolderPath;
    int m_lastFolder = -1;
    QByteArray m_folderRows;
    QByteArray m_rows;
    qsizetype m_count = 0;
};

// A record file as read: its rows other than folder rows, split in fields,
// and the lines after the closing line.
class RecordFile
{
public:
    // nullopt with error ENOENT (no file), EACCES (unreadable) or EBADMSG (not
    // such a file, or cut short).
    static std::optional<RecordFile> read(const QString &path, const QByteArray &header, int *error);

    const QList<QList<QByteArray>> &rows() const { return m_rows; }
    const QList<QByteArray> &trailer() const { return m_trailer; }

    // The path written at fields[at] and fields[at + 1]; nullopt when malformed.
    std::optional<QByteArray> path(const QList<QByteArray> &fields, qsizetype at) const;
    // The path of a name field in the folder of a folder-number field.
    std::optional<QByteArray> path(const QByteArray &folderField, const QByteArray &nameField) const;

private:
    QHash<QByteArray, QByteArray> m_folders;
    QList<QList<QByteArray>> m_rows;
    QList<QByteArray> m_trailer;
};

} // namespace tarvello::files
