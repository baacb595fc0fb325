#include "cli/Cli.h"
#include "app/DataFolder.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

#include <malloc.h>

int main(int argc, char **argv)
{
    // The process ends with its one operation: one heap for its threads
    // keeps what they free (a rename's tables, its records' texts) for what
    // comes next, rather than hand it back and take every page afresh, a
    // fault each (32 MB: the largest mapping threshold the allocator takes).
    ::mallopt(M_ARENA_MAX, 1);
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
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
