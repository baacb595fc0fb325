#pragma once

#include "exif/ExifInfo.h"
#include "lang/Language.h"
#include "rules/Environment.h"

#include <QHash>

// Exact stand-ins for the world outside the name computation.
namespace tarvello::fakes {

class FixedClock : public rules::Clock
{
public:
    explicit FixedClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }

private:
    QDateTime m_now;
};

// Files and folders described by the test: a file exists when it has a size.
class FakeFiles : public rules::FileFacts
{
public:
    QHash<QString, qint64> sizes;
    QHash<QString, QDateTime> times;
    QHash<QString, QStringList> folders;
    QStringList unreadableFolders;
    mutable int listings = 0;

    std::optional<qint64> size(const QString &path) const override
    {
        return sizes.contains(path) ? std::optional(sizes.value(path)) : std::nullopt;
    }
    std::optional<QDateTime> lastWriteTime(const QString &path) const override
    {
        return times.contains(path) ? std::optional(times.value(path)) : std::nullopt;
    }
    std::optional<QStringList> folderEntries(const QString &folder) const override
    {
        ++listings;
        return unreadableFolders.contains(folder) ? std::nullopt : std::optional(folders.value(folder));
    }
};

class FakeExif : public exif::ExifSource
{
public:
    QHash<QString, exif::ExifInfo> records;
    int calls = 0;

    exif::ExifInfo getExif(const QString &path) override
    {
        ++calls;
        return records.value(path);
    }
};

// Message n reads "message n", whatever the language files say.
class FakeMessages : public lang::Messages
{
public:
    QString GetMessage(int number, const QString &, const QString &) override { return QString("message %1").arg(number); }
};

} // namespace tarvello::fakes
