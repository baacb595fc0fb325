#pragma once

#include "rename/FileOps.h"
#include "rename/RecordFormat.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tarvello::rename {

// One file of the last rename: where it was, where it went, and which file it
// was, so that a file put at that path since is not taken for it.
struct UndoPair {
    QByteArray oldPath;
    QByteArray newPath;
    std::optional<FileIdentity> identity;
};

// The last rename that changed names, kept in the settings folder so that it
// can be undone after a restart. Paths are stored as their bytes.
class UndoRecord
{
public:
    explicit UndoRecord(QString folder);

    QString path() const;

    // The text of a record of the pairs, made before it is saved: a rename
    // makes it while its files move, on the one core the renames leave idle
    // (alone), where a second thread of its own would take the renames' core.
    class Text
    {
    public:
        enum class Threads { Two, One };
        explicit Text(const QList<UndoPair> &pairs, Threads threads = Threads::Two);

    private:
        friend class UndoRecord;
        RecordWriter m_writer;
        bool m_empty = true;
        bool m_holdsTogether = false;
    };

    // Replaces the record, flushed to disk; an empty list removes it. 0 or
    // errno; EINVAL for pairs the record cannot hold (a path that is not
    // absolute and clean, a path given twice).
    int save(const QList<UndoPair> &pairs) const;
    int save(Text &text) const;

    // The record; an empty list when there is none. nullopt with error
    // EACCES when it cannot be opened, EBADMSG when it is not a record as this
    // program writes it (damaged, edited, cut short, or of an older form):
    // such a record is never acted on.
    std::optional<QList<UndoPair>> load(int *error = nullptr) const;

    // For a record load refuses: the files it still names at their new
    // path, with the old path it gives. Nothing is moved.
    QList<FileToCheck> filesToCheck(FileOps &fs) const;

private:
    QString m_folder;
};

} // namespace tarvello::rename
