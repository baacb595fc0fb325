#pragma once

#include "rename/FileOps.h"
#include "rename/RenameJournal.h"
#include "rename/RenameOperation.h"
#include "rename/RenamePlan.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <stdexcept>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvello::rename::testing {

using Files = QHash<QByteArray, QByteArray>;
using Renames = QList<std::pair<QByteArray, QByteArray>>;

// A temporary folder tree, addressed by native relative paths so that tests
// can use names with any bytes.
class Tree
{
public:
    // With a template path, the tree lies there (on another file system, say).
    explicit Tree(const QString &templatePath = {})
        : m_dir(templatePath.isEmpty() ? QTemporaryDir() : QTemporaryDir(templatePath))
    {
        // Without its folder, every path of the tree would start at "/".
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder: " + m_dir.errorString().toStdString());
        m_dir.setAutoRemove(false);
    }
    // Qt cannot name every file a test makes; the tree is removed by its bytes.
    ~Tree()
    {
        ::nftw(nativeRoot().constData(), [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); },
               16, FTW_DEPTH | FTW_PHYS);
    }

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
        for (ssize_t got = 0; (got = ::read(fd, block, sizeof block)) > 0;)
            content.append(block, got);
        ::close(fd);
        return content;
    }

    bool exists(const QByteArray &relative) const { return FileOps().exists(path(relative)); }

    // Every file under the root (relative native paths) with its content,
    // folders left out.
    Files files() const
    {
        Files found;
        collect({}, found);
        return found;
    }
    QList<QByteArray> names() const { return files().keys(); }

private:
    void collect(const QByteArray &relative, Files &found) const
    {
        DIR *dir = ::opendir(path(relative).constData());
        ASSERT_NE(dir, nullptr);
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray child = relative.isEmpty() ? name : relative + '/' + name;
            struct stat st {};
            ::lstat(path(child).constData(), &st);
            if (S_ISDIR(st.st_mode))
                collect(child, found);
            else
                found.insert(child, read(child));
        }
        ::closedir(dir);
    }

    QTemporaryDir m_dir;
};

// What a file operation throws to stop a run dead, as a killed process would.
struct Killed : std::runtime_error {
    Killed() : std::runtime_error("killed") {}
};

// File operations that ask hook first: a non-zero answer is the operation's
// error; a thrown Killed ends the run on the spot. With linkThenUnlink, a
// rename is the fallback of file systems without renameat2, which asks again
// between its two steps.
class FaultyOps : public FileOps
{
public:
    enum class Op { Rename, Copy, Remove };
    std::function<int(Op, const QByteArray &, const QByteArray &)> hook;
    bool linkThenUnlink = false;

    int renameNoReplace(const QByteArray &from, const QByteArray &to) override
    {
        if (const int error = ask(Op::Rename, from, to))
            return error;
        if (!linkThenUnlink)
            return FileOps::renameNoReplace(from, to);
        if (::link(from.constData(), to.constData()) != 0)
            return errno;
        const int error = ask(Op::Remove, from, {});
        return error ? error : ::unlink(from.constData()) == 0 ? 0 : errno;
    }
    int copyNoReplace(const QByteArray &from, const QByteArray &to, AttributesLost *lost = nullptr) override
    {
        const int error = ask(Op::Copy, from, to);
        return error ? error : FileOps::copyNoReplace(from, to, lost);
    }
    int removeFile(const QByteArray &path) override
    {
        const int error = ask(Op::Remove, path, {});
        return error ? error : FileOps::removeFile(path);
    }

private:
    int ask(Op op, const QByteArray &from, const QByteArray &to) { return hook ? hook(op, from, to) : 0; }
};

// True when the name is one of the operation's temporary names.
inline bool isTemporaryName(const QByteArray &relative)
{
    return nativeNameOf(relative).startsWith("tmp_Tarv");
}

// /dev/shm when it is a folder on another file system than the temporary
// folder's, so that moves there must copy; empty otherwise.
inline QString otherFileSystem()
{
    struct stat here {};
    struct stat there {};
    const bool usable = ::stat(QFile::encodeName(QDir::tempPath()).constData(), &here) == 0 && ::stat("/dev/shm", &there) == 0
        && S_ISDIR(there.st_mode) && ::access("/dev/shm", W_OK) == 0 && here.st_dev != there.st_dev;
    return usable ? QStringLiteral("/dev/shm") : QString();
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

// The scene of a rename-safety test: files in a temporary tree (a name that
// starts with "@" lies in a second tree, on another file system), each
// holding its own name unless it is a hard link (links: name to the name it
// shares a file with), and a settings folder for the operation's records.
class Scene
{
public:
    explicit Scene(const QList<QByteArray> &names = {}, const Files &links = {}, bool acrossFileSystems = false)
    {
        if (acrossFileSystems)
            m_there = std::make_unique<Tree>(otherFileSystem() + QStringLiteral("/tarvello-test-XXXXXX"));
        for (const QByteArray &name : names)
            treeOf(name).write(local(name), name);
        for (auto it = links.cbegin(); it != links.cend(); ++it)
            EXPECT_EQ(::link(path(it.value()).constData(), path(it.key()).constData()), 0);
    }

    QString settings() const { return m_settings.path(); }
    const Tree &tree() const { return m_here; }
    QByteArray path(const QByteArray &name) const { return treeOf(name).path(local(name)); }

    // Every file of both trees; each unfinished copy a recovery reported must
    // hold the part a killed copy wrote, and is left out.
    Files files(const QList<QByteArray> &unfinishedCopies = {}) const
    {
        Files found = m_here.files();
        if (m_there) {
            const Files there = m_there->files();
            for (auto it = there.cbegin(); it != there.cend(); ++it)
                found.insert('@' + it.key(), it.value());
        }
        for (const QByteArray &copy : unfinishedCopies)
            EXPECT_EQ(found.take(copy.mid(m_here.nativeRoot().size() + 1)), QByteArray("part"));
        return found;
    }

    RenamePlan plan(const Renames &run, FileOps &fs, bool makeFolders = false) const
    {
        QList<PathPair> pairs;
        for (const auto &[from, to] : run)
            pairs.append({path(from), path(to), makeFolders, Conflict::None});
        return planRename(pairs, fs);
    }
    RenameRun rename(const Renames &run, FileOps &fs, const QDateTime &when = {}) const
    {
        RenameObserver quiet;
        return runRename(plan(run, fs), settings(), quiet, fs, when);
    }
    UndoReport undo(FileOps &fs) const
    {
        RenameObserver quiet;
        return undoLastRename(settings(), quiet, fs);
    }

    // After a run cut short and recovered: the files there were before it,
    // each at its place before the run or the place the run gives it (names
    // of one file may trade places), none under a temporary name, the
    // journal gone, and the recovery counted each position where the disk
    // has it (either way for a file both of whose paths hold it) and wrote
    // those it finished in the history.
    void expectRecovered(const Files &before, const Renames &run, const RecoveryReport &report) const
    {
        const Files after = files(report.incompleteCopies);
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
                EXPECT_FALSE(isTemporaryName(part)) << it.key().constData();
        }
        for (auto it = count.cbegin(); it != count.cend(); ++it)
            EXPECT_EQ(it.value(), 0) << it.key().constData() << " lost or doubled";
        EXPECT_FALSE(RenameJournal(settings()).exists());
        if (!report.found)
            return;
        int atNew = 0;
        int either = 0;
        for (const auto &[from, to] : run) {
            for (auto it = before.cbegin(); it != before.cend(); ++it) {
                if (it.key() != from && !it.key().startsWith(from + '/'))
                    continue;
                if (after.value(movedBy(run, it.key())) == it.value())
                    ++(after.value(it.key()) == it.value() ? either : atNew);
                break;
            }
        }
        EXPECT_GE(report.atNew, atNew);
        EXPECT_LE(report.atNew, atNew + either);
        EXPECT_EQ(report.atNew + report.atOld, run.size());
        EXPECT_TRUE(report.missing.isEmpty());
        EXPECT_TRUE(report.leftAtTemporary.isEmpty());
        // The files found at their new paths are a run of the history.
        EXPECT_EQ(report.atNew ? RenameHistory(settings()).runs(1).value(0).files.size() : 0, report.atNew);
    }

private:
    const Tree &treeOf(const QByteArray &name) const { return name.startsWith('@') ? *m_there : m_here; }
    static QByteArray local(const QByteArray &name) { return name.startsWith('@') ? name.mid(1) : name; }

    Tree m_here;
    std::unique_ptr<Tree> m_there;
    QTemporaryDir m_settings;
};

} // namespace tarvello::rename::testing
