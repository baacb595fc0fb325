#pragma once

#include "rename/FileOps.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>
#include <string>
#include <vector>

// The program's own record files (the rename journal, the undo record): a
// header line, rows of fields separated by one space, then the closing line
// "END", the number of rows and a checksum: the CRC-32 of every byte before
// that checksum, in eight lower-case hexadecimal digits. The journal is
// appended to after its closing line, one mark a line; each mark ends with its
// own check, the CRC-32 of the record's checked bytes followed by the mark, so
// a mark cannot be altered, nor carried over from another record. A last mark
// cut short by a crash (a beginning of a well-formed mark line) is tolerated;
// any other change makes the whole record unreadable, never read as something
// else. Bytes are percent-encoded (all but letters, digits, "-._~" and "/"),
// so spaces, line breaks and any other byte survive and common names stay
// readable. A path is written as the number of a folder row ("F number
// folder", numbered from 0 in order, before any other row) and its name, so a
// folder shared by many files is written once.
namespace tarvello::rename {

// The bytes percent-encoded as the records write them (all but letters,
// digits, "-._~" and "/"), and back; decodeBytes refuses an empty field and
// any other spelling of the same bytes.
QByteArray encodeBytes(QByteArrayView bytes);
void appendEncoded(std::string &out, QByteArrayView bytes);
std::optional<QByteArray> decodeBytes(const QByteArray &field);

// Reads the three identity fields from fields[at]; false when they are malformed.
bool parseIdentityFields(const QList<QByteArray> &fields, qsizetype at, std::optional<FileIdentity> &identity);
// Writes them as they are read: "- - -" for a file without one.
void appendIdentityFields(std::string &out, const std::optional<FileIdentity> &identity);

// True for an absolute path without empty, "." or ".." parts and without a
// trailing "/": the only form the records hold.
bool isCleanAbsolutePath(QByteArrayView path);

// Views of paths, each held once, in one flat table: the checks of a record
// of a million rows ask it twice a row. The paths must stay put while it lives.
class UniquePaths
{
public:
    explicit UniquePaths(qsizetype expected);

    // Adds a view of the path; false when it was there already.
    bool add(QByteArrayView path);
    bool contains(QByteArrayView path) const;
    bool isEmpty() const { return m_count == 0; }

private:
    struct Slot {
        const char *data = nullptr;
        qint32 size = -1; // -1: a free slot
        quint32 hash = 0;
    };
    size_t find(QByteArrayView path, quint32 hash) const;
    void grow();

    std::vector<Slot> m_slots;
    qsizetype m_count = 0;
};

// The number a field holds when it is written as this program writes numbers.
std::optional<int> parseCount(const QByteArray &field);

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
    void addPath(QByteArrayView path);
    // A name alone (a name in the folder of another path).
    void addName(QByteArrayView name);

    // The whole record with its closing line; seal, when given, receives its
    // checksum, which the marks appended later are checked against.
    QByteArray text(quint32 *seal = nullptr);

    // The same as pieces to write one after the other, without gathering a
    // copy of the whole: they stay valid while this writer lives unchanged.
    QList<QByteArrayView> pieces(quint32 *seal = nullptr);

private:
    QByteArray m_header; // with its line end
    QByteArray m_closing;
    QHash<QByteArray, int> m_folders;
    QByteArray m_lastFolderPath;
    int m_lastFolder = -1;
    // Rows are built with the standard string, whose appends are inline (a
    // record of a million rows makes some ten million of them), in blocks of
    // about a megabyte: such a record is never copied to grow, nor held twice
    // while it grows.
    std::string m_folderRows;
    std::vector<std::string> m_blocks;
    std::string *m_rows = nullptr; // the block being filled
    qsizetype m_count = 0;
};

// A mark to append after the closing line of the record of that seal: an
// upper-case word, a space and a number where it names a position.
QByteArray markLine(quint32 seal, const QByteArray &mark);

// A record file as read: its rows other than folder rows, split in fields,
// and the marks after the closing line.
class RecordFile
{
public:
    enum class Marks { Refused, Allowed };

    // nullopt with error ENOENT (no file), EACCES (unreadable) or EBADMSG
    // (not such a file, cut short, or changed since it was written).
    static std::optional<RecordFile> read(const QString &path, const QByteArray &header, Marks marks, int *error);

    // Whatever can still be made out of a file that read refuses: the folder
    // rows that decode and every other line up to a closing line, unchecked.
    // For telling the user which files such a record names, never for acting.
    static RecordFile salvage(const QString &path);

    // The rows, each split in fields as it is reached: the fields are views
    // of the record's bytes, valid while the record lives, so a record of a
    // million rows is not held a second time as a million lists of fields.
    class Rows
    {
    public:
        class Iterator
        {
        public:
            Iterator(const QList<QByteArrayView> *lines, qsizetype at) : m_lines(lines), m_at(at) {}
            QList<QByteArray> operator*() const;
            Iterator &operator++()
            {
                ++m_at;
                return *this;
            }
            bool operator!=(const Iterator &other) const { return m_at != other.m_at; }

        private:
            const QList<QByteArrayView> *m_lines;
            qsizetype m_at;
        };
        explicit Rows(const QList<QByteArrayView> &lines) : m_lines(lines) {}
        Iterator begin() const { return {&m_lines, 0}; }
        Iterator end() const { return {&m_lines, m_lines.size()}; }

    private:
        const QList<QByteArrayView> &m_lines;
    };
    Rows rows() const { return Rows(m_rows); }
    const QList<QByteArray> &marks() const { return m_marks; }
    quint32 seal() const { return m_seal; }
    // The folders the record names.
    QList<QByteArray> folders() const { return m_folders.values(); }

    // The path written at fields[at] and fields[at + 1]; nullopt when malformed.
    std::optional<QByteArray> path(const QList<QByteArray> &fields, qsizetype at) const;
    // The path of a name field in the folder of a folder-number field.
    std::optional<QByteArray> path(const QByteArray &folderField, const QByteArray &nameField) const;

private:
    QHash<QByteArray, QByteArray> m_folders;
    QByteArray m_bytes;              // the whole file, which the rows view
    QList<QByteArrayView> m_rows;    // the lines of the rows other than folder rows
    QList<QByteArray> m_marks;
    quint32 m_seal = 0;
};

// A file a record that cannot be trusted names, worth the user's look.
struct FileToCheck {
    QByteArray path;       // where it is now
    QByteArray formerPath; // its path before the rename, as the record gives it; empty when unknown
    bool temporary = false; // under a temporary name of a rename
    bool operator==(const FileToCheck &) const = default;
};

// Moves a record that cannot be read out of the way, to a name in its folder
// with the date and time, never over another file, so that renames can go on
// and the record stays for whoever wants to read it. 0 or errno; asidePath
// receives the new name.
int moveAside(const QString &path, QString &asidePath);

} // namespace tarvello::rename
