#pragma once

#include "files/FileOps.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tarvello::files {

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

    // Replaces the record, flushed to disk; an empty list removes it. 0 or errno.
    int save(const QList<UndoPair> &pairs) const;

    // The record; an empty list when there is none. nullopt with error
    // EBADMSG when the file cannot be read as a record.
    std::optional<QList<UndoPair>> load(int *error = nullptr) const;

private:
    QString m_folder;
};

} // namespace tarvello::files
