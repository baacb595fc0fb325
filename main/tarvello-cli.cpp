#include "cli/Cli.h"
#include "app/DataFolder.h"
#include "common/LargePages.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    tarvello::common::keepFreedMemory();
    QCoreApplication app(argc, argv);
    // The raw bytes, so that a path that is not valid UTF-8 prints back as given.
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    QFile in;
    QFile out;
    QFile err;
    in.open(stdin, QIODevice::ReadOnly);
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return tarvello::cli::runCli(arguments, in, out, err,
                                  tarvello::app::dataFolder(QCoreApplication::applicationDirPath()));
}
