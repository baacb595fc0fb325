#pragma once

#include "cli/Cli.h"
#include "lang/Language.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <filesystem>


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

} // namespace tarvello::clitest
