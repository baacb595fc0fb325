#pragma once

#include "rename/FileOps.h"
#include "rename/UndoRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <string>

// Every rename and every undo the program makes, from the window or a
// terminal, kept in the settings folder: "history/YYYY-MM-DD.txt", one file
// a local day, appended to and flushed to disk once a run has ended. A file
// starts with the line "TARVELLO HISTORY 1"; then one line a file moved:
//   time run kind oldPath newPath device inode birth
// separated by one space: the run's local time in ISO 8601 with milliseconds
// and offset, the run's id (16 hexadecimal digits shared by its lines), "R"
// for a rename or "U" for an undo, the two paths percent-encoded as the
// journal writes them (every byte but letters, digits, "-._~" and "/"), so a
// name with spaces, line breaks or bytes that are not text survives whole,
// then the file's identity at its new path ("- - -" when unknown). A line
// that does not read so (cut short by a crash, edited) is passed over.
namespace tarvello::rename {

struct HistoryRun {
    QDateTime time;
    QByteArray id;
    bool undo = false;      // the undo of an earlier run, else a rename
    QList<UndoPair> files;  // in the order they were written; identity at the new path
};

class RenameHistory
{
public:
    // How many of the latest runs can be undone.
    static constexpr int kUndoableRuns = 10;

    explicit RenameHistory(QString settingsFolder);

    QString folder() const;

    // The lines of a run, made before they are appended: a rename makes them
    // while its files move. At most about room bytes of them; the lines of
    // the files past those are made as they are appended.
    class Lines
    {
    public:
        Lines(const QDateTime &time, bool undo, const QList<UndoPair> &files, std::size_t room);

    private:
        friend class RenameHistory;
        QDateTime m_time;
        QByteArray m_head; // the run's time, id and kind, which begin each of its lines
        std::string m_text;
        qsizetype m_made = 0; // the files whose lines are in m_text
    };

    // Appends a run of files moved at that time (none: nothing is written).
    // 0 or errno.
    int append(const QDateTime &time, bool undo, const QList<UndoPair> &files) const;
    // The same with lines made of those files.
    int append(const Lines &lines, const QList<UndoPair> &files) const;

    // The runs, newest first; at most limit of them when limit > 0.
    QList<HistoryRun> runs(int limit = 0) const;

private:
    QString m_settingsFolder;
};

// How many files of the run are still where it put them: the same file
// (by its identity, when known) at its new path.
int filesInPlace(const HistoryRun &run, FileOps &fs);

// The runs as CSV (RFC 4180, comma-separated, CRLF line ends): a header
// line, then one line a file: run number (1 for the newest), time, "rename" or
// "undo", old path, new path. Paths are written as their bytes.
QByteArray historyCsv(const QList<HistoryRun> &runs);

} // namespace tarvello::rename
