#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// What the name computation asks of the world outside it, behind small
// interfaces so that tests give exact answers.
namespace tarvello::rules {

// The current date and time.
class Clock
{
public:
    virtual ~Clock() = default;
    // Local date and time now.
    virtual QDateTime now() const = 0;
};

// Facts about files and folders.
class FileFacts
{
public:
    virtual ~FileFacts() = default;
    // Size in bytes of an existing file or folder; nullopt when nothing is there.
    virtual std::optional<qint64> size(const QString &path) const = 0;
    // Last-write time of an existing file; nullopt when nothing is there.
    virtual std::optional<QDateTime> lastWriteTime(const QString &path) const = 0;
    // Names of the folder's entries that are not folders themselves, hidden
    // ones included, in the order the system lists them; empty for a missing
    // folder, nullopt for a folder that exists but cannot be read.
    virtual std::optional<QStringList> folderEntries(const QString &folder) const = 0;
};

// The system clock.
class SystemClock : public Clock
{
public:
    // QDateTime::currentDateTime().
    QDateTime now() const override;
};

// The real file system. "" as a folder stands for the root, since the folder
// part of "/a.jpg" is empty.
class DiskFileFacts : public FileFacts
{
public:
    // Follows links; a dangling link is absent.
    std::optional<qint64> size(const QString &path) const override;
    // Follows links; a dangling link is absent.
    std::optional<QDateTime> lastWriteTime(const QString &path) const override;
    // A link to a folder counts as a folder; other links count as entries.
    std::optional<QStringList> folderEntries(const QString &folder) const override;
};

} // namespace tarvello::rules
