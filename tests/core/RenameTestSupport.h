#pragma once

#include "rename/FileOps.h"
#include "rename/RenameJournal.h"
#include "rename/RenamePlan.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvello::rename::testing {

// A temporary folder tree, addressed by native relative paths so that tests
// can use names with any bytes.
class Tree
{
public:
    // With a template path, the tree lies there (on another file system, say).
    explicit Tree(const QString &templatePath = {})
        : m_dir(templatePath.isEmpty() ? QTemporaryDir() : QTemporaryDir(templatePath))
    {
        EXPECT_TRUE(m_dir.isValid());
        m_dir.setAutoRemove(false);
    }
    // Qt cannot name every file a test makes; the tree is removed by its bytes.
    ~Tree()
    {
        ::nftw(nativeRoot().constData(), [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); },
               16, FTW_DEPTH | FTW_PHYS);
    }
    Tree(const Tree &) = delete;
    Tree &operator=(const Tree &) = delete;

    QString root() const { return m_dir.path(); }
    QByteArray nativeRoot() const { return QFile::encodeName(m_dir.path()); }
    QByteArray path(const QByteArray &relative) const { return nativeRoot() + '/' + relative; }

    void write(const QByteArray &relative, const QByteArray &content) const
    {
        FileOps().makeFolders(nativeFolderOf(path(relative)));
        const int fd = ::open(path(relative).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << relative.constData();
        ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
        ::close(fd);
    }

    // An empty file (and its folders); its full path.
    QByteArray create(const QByteArray &relative) const
    {
        write(relative, {});
        return path(relative);
    }

    // The content of a file; "<missing>" when it cannot be read.
    QByteArray read(const QByteArray &relative) const
    {
        const int fd = ::open(path(relative).constData(), O_RDONLY);
        if (fd < 0)
            return "<missing>";
        QByteArray content;
        char block[4096];
        ssize_t got = 0;
        while ((got = ::read(fd, block, sizeof block)) > 0)
            content.append(block, got);
        ::close(fd);
        return content;
    }

    bool exists(const QByteArray &relative) const { return FileOps().exists(path(relative)); }

    // Every file under the root (relative native paths) with its content,
    // folders left out.
    QHash<QByteArray, QByteArray> files() const
    {
        QHash<QByteArray, QByteArray> found;
        collect(QByteArray(), found, true);
        return found;
    }

    // The relative paths of every file, without reading them.
    QList<QByteArray> names() const
    {
        QHash<QByteArray, QByteArray> found;
        collect(QByteArray(), found, false);
        return found.keys();
    }

private:
    void collect(const QByteArray &relative, QHash<QByteArray, QByteArray> &found, bool withContent) const
    {
        DIR *dir = ::opendir((relative.isEmpty() ? nativeRoot() : path(relative)).constData());
        ASSERT_NE(dir, nullptr);
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray child = relative.isEmpty() ? name : relative + '/' + name;
            struct stat st {};
            ::lstat(path(child).constData(), &st);
            if (S_ISDIR(st.st_mode))
                collect(child, found, withContent);
            else
                found.insert(child, withContent ? read(child) : QByteArray());
        }
        ::closedir(dir);
    }

    QTemporaryDir m_dir;
};

// File operations that fail, or stop dead as a killed process would, at a
// chosen moment. Each operation asks hook first: a non-zero answer is the
// operation's error; a thrown Killed ends the run on the spot.
struct Killed : std::runtime_error {
    Killed() : std::runtime_error("killed") {}
};

class FaultyOps : public FileOps
{
public:
    enum class Op { Rename, Copy, Remove };
    std::function<int(Op, const QByteArray &, const QByteArray &)> hook;

    int renameNoReplace(const QByteArray &from, const QByteArray &to) override
    {
        if (const int error = ask(Op::Rename, from, to))
            return error;
        return FileOps::renameNoReplace(from, to);
    }
    int copyNoReplace(const QByteArray &from, const QByteArray &to, AttributesLost *lost = nullptr) override
    {
        if (const int error = ask(Op::Copy, from, to))
            return error;
        return FileOps::copyNoReplace(from, to, lost);
    }
    int removeFile(const QByteArray &path) override
    {
        if (const int error = ask(Op::Remove, path, {}))
            return error;
        return FileOps::removeFile(path);
    }

private:
    int ask(Op op, const QByteArray &from, const QByteArray &to) { return hook ? hook(op, from, to) : 0; }
};

using Renames = QList<std::pair<QByteArray, QByteArray>>;

// Writes each source of the renames, holding its own name.
inline void writeSources(const Tree &tree, const Renames &renames)
{
    for (const auto &[from, to] : renames)
        tree.write(from, from);
}

// Plans the renames between paths of the tree; with makeFolders, the folders
// of the new paths are made as needed.
inline RenamePlan planIn(const Tree &tree, const Renames &renames, FileOps &fs, bool makeFolders = false)
{
    QList<PathPair> pairs;
    for (const auto &[from, to] : renames)
        pairs.append({tree.path(from), tree.path(to), makeFolders, Conflict::None});
    return planRename(pairs, fs);
}

// True when the name is one of the operation's temporary names.
inline bool isTemporaryName(const QByteArray &relative)
{
    return nativeNameOf(relative).startsWith("tmp_Tarv");
}

// Where a path is once a run has moved it: the run may rename the path
// itself or one of its folders.
inline QByteArray movedBy(const Renames &run, const QByteArray &path)
{
    for (const auto &[from, to] : run) {
        if (path == from || path.startsWith(from + '/'))
            return to + path.mid(from.size());
    }
    return path;
}

// After a run and its recovery (files as Tree::files() gives them): the same
// files with their contents, each at its place before the run or the place
// the run gives it, and no name, of a file or of a folder, is a temporary
// one. Names of one file may trade places.
inline void expectEachAtOldOrNew(const QHash<QByteArray, QByteArray> &before, const QHash<QByteArray, QByteArray> &after,
                                 const Renames &run)
{
    QHash<QByteArray, QSet<QByteArray>> places;
    QHash<QByteArray, int> count;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        places[it.value()] << it.key() << movedBy(run, it.key());
        ++count[it.value()];
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        EXPECT_TRUE(places.value(it.value()).contains(it.key())) << it.key().constData() << " holds " << it.value().constData();
        --count[it.value()];
        for (const QByteArray &part : it.key().split('/'))
            EXPECT_FALSE(part.startsWith("tmp_Tarv")) << it.key().constData();
    }
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        EXPECT_EQ(it.value(), 0) << it.key().constData() << " lost or doubled";
}

// The recovery counted each position where the disk has it and found every
// one; a position whose file both its paths hold (two names of one file)
// may count either way.
inline void expectCounted(const RecoveryReport &report, const QHash<QByteArray, QByteArray> &before,
                          const QHash<QByteArray, QByteArray> &after, const Renames &run)
{
    int atNew = 0;
    int either = 0;
    for (const auto &[from, to] : run) {
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (it.key() != from && !it.key().startsWith(from + '/'))
                continue;
            if (after.value(movedBy(run, it.key())) == it.value()) {
                if (after.value(it.key()) == it.value())
                    ++either;
                else
                    ++atNew;
            }
            break;
        }
    }
    EXPECT_GE(report.atNew, atNew);
    EXPECT_LE(report.atNew, atNew + either);
    EXPECT_EQ(report.atNew + report.atOld, run.size());
    EXPECT_TRUE(report.missing.isEmpty());
    EXPECT_TRUE(report.leftAtTemporary.isEmpty());
}

} // namespace tarvello::rename::testing
