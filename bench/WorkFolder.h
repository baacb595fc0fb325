#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace tarvello::bench {

// A bench's new folder under base, or the end of the bench: the paths of a
// folder that could not be made start at "/", and a bench would fill and
// rename the root of the disk.
inline QString workFolder(const QTemporaryDir &dir)
{
    if (!dir.isValid()) {
        std::fprintf(stderr, "no folder for the bench's files: %s\n", qPrintable(dir.errorString()));
        std::exit(1);
    }
    return dir.path();
}

} // namespace tarvello::bench
