#pragma once

#include "cli/Cli.h"
#include "lang/Language.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <ftw.h>

// Running tarvello-cli in the test process, on temporary folder trees.
namespace tarvello::clitest {

// The folder of the test program, where the build puts langages/ and the CLI.
inline QString binFolder()
{
    return QFileInfo(QString::fromStdString(std::filesystem::read_symlink("/proc/self/exe").string())).path();
}

inline QString message(int number, const QString &language = QStringLiteral("Français"))
{
    lang::Language lang(binFolder());
    lang.setLanguage(language);
    return lang.GetMessage(number);
}

inline QString extra(const char *key, const QString &param1 = {}, const QString &param2 = {})
{
    lang::Language lang(binFolder());
    lang.setLanguage(QStringLiteral("Français"));
    return lang.extra(QLatin1String(key), param1, param2);
}

struct CliRun {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

inline CliRun runCli(const QByteArrayList &arguments, const QByteArray &input = {},
                     const QString &programFolder = binFolder())
{
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    CliRun run;
    run.code = cli::runCli(arguments, in, out, err, programFolder);
    run.out = out.data();
    run.err = err.data();
    return run;
}

inline void touch(const QByteArray &path)
{
    FILE *file = std::fopen(path.constData(), "w");
    ASSERT_NE(file, nullptr) << path.constData();
    std::fclose(file);
}

// A folder tree for the command line: every file of a case is created in it.
class CliFolder
{
public:
    CliFolder()
    {
        EXPECT_TRUE(m_dir.isValid());
        m_dir.setAutoRemove(false);
    }
    // Qt cannot name a file whose name is not text: the tree goes by its bytes.
    ~CliFolder()
    {
        ::nftw(QFile::encodeName(m_dir.path()).constData(),
               [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); }, 16,
               FTW_DEPTH | FTW_PHYS);
    }
    CliFolder(const CliFolder &) = delete;
    CliFolder &operator=(const CliFolder &) = delete;

    QByteArray path(const QByteArray &relative) const { return QFile::encodeName(m_dir.path()) + '/' + relative; }

    QByteArray create(const QByteArray &relative) const
    {
        const QByteArray full = path(relative);
        QDir().mkpath(QFileInfo(QFile::decodeName(full)).path());
        touch(full);
        return full;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace tarvello::clitest
