#pragma once

#include "common/NativePath.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tarvello::filelist {

// One entry of the list of files to rename: current name, its folder (no
// trailing separator) and the new name computed for it (or the text of the
// message that tells why it will not be renamed).
struct FileEntry {
    // As shown: bytes that are not UTF-8 show as U+FFFD.
    QString name;
    QString folder;
    QString newName;
    // The name's bytes when its text does not spell them, else empty: the
    // file is renamed by these bytes.
    QByteArray notTextName;

    // The entry of the file at the path; a folder part that is not text
    // reads as U+FFFD and no longer finds the file.
    static FileEntry of(const common::NativePath &path);

    // The full path, always rebuilt from folder and name.
    QString path() const;
    // The path as the disk holds it.
    common::NativePath nativePath() const;
    // The name a rule reads: the name itself when it is text, else its bytes
    // read as Windows-1252, where such names mostly come from, so that the
    // rule "*" gives the name its characters back.
    QString readableName() const;
    // The folder and the readable name.
    QString readablePath() const;
    // The same written over path, whose room a loop over many entries reuses.
    void readablePathInto(QString &path) const;
    bool nameIsText() const { return notTextName.isEmpty(); }
    bool operator==(const FileEntry &) const = default;
};

} // namespace tarvello::filelist

// A list of a million entries grows by moving its block, not by copying
// every entry into a new one beside the old.
Q_DECLARE_TYPEINFO(tarvello::filelist::FileEntry, Q_RELOCATABLE_TYPE);

namespace tarvello::filelist {

// Makes the entries of many files, most of them in a few folders: the
// entries of one folder share one copy of its text (a million entries of one
// folder would otherwise hold a million copies).
class EntryMaker
{
public:
    // As FileEntry::of(path).
    FileEntry make(const common::NativePath &path);

private:
    QByteArray m_folderBytes;
    QString m_folder;
};

// The ordered list behind `lstrename`: column 0 the current name, column 1 the
// new name, column 2 why that name would not be given (empty when it would).
// The order is the counter's order. Built for 100,000 entries: rows are
// appended in batches and views repaint once per batch.
class FileList : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Column headers (messages 14 and 15, then the status column's).
    void setHeaders(const QString &currentName, const QString &newName, const QString &status);

    // A row's status: 0 when its new name would be given, else the number of
    // its reason among the texts given here (the reason n is texts[n - 1]).
    // Rows keep their status as they move; statuses of rows added since the
    // last setStatuses are 0.
    void setStatusTexts(const QStringList &texts);
    void setStatuses(QList<quint8> statuses);
    quint8 status(int row) const { return m_statuses.value(row); }
    // Data role of every column: true for a row whose status is not 0.
    static constexpr int kConflictRole = Qt::UserRole + 1;
    // What marks a name that is not text: a text after the name, and its tip
    // with the path ("%1") and the name as the rule reads it ("%2").
    void setNotTextMark(const QString &mark, const QString &tip);

    int count() const { return int(m_entries.size()); }
    const FileEntry &entry(int row) const { return m_entries.at(row); }
    const QList<FileEntry> &entries() const { return m_entries; }

    // Gives the row a new name without telling the views: newNamesChanged()
    // tells them of every row at once.
    void setNewName(int row, const QString &newName) { m_entries[row].newName = newName; }
    void newNamesChanged();
    // Appends one entry at the end and returns its row.
    int append(const FileEntry &entry);
    // Appends many entries with one notification to the views. Entries not
    // shared elsewhere are moved in, not copied; the list given keeps its
    // room for the next ones.
    void appendAll(QList<FileEntry> &&entries);
    // Makes room for count entries in all, so that an add whose number is
    // known writes its entries once rather than move them as the list grows.
    void reserve(qsizetype count);
    // Removes every entry.
    void clear();
    // Removes the given rows (any order, duplicates ignored).
    void removeEntries(QList<int> rows);
    // Exchanges the whole content of two rows.
    void swapEntries(int a, int b);
    // Takes the entry out of `from` and puts it at `to`, the rows between shifting by one.
    void moveEntry(int from, int to);
    // Puts the entries in a new order: rows[i] is the row that becomes row i
    // (every row once).
    void reorder(const QList<int> &rows);

private:
    QList<FileEntry> m_entries;
    QList<quint8> m_statuses; // as many as the entries
    QStringList m_statusTexts;
    QString m_headers[3];
    QString m_notTextMark;
    QString m_notTextTip;
};

} // namespace tarvello::filelist
