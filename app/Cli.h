#pragma once

#include <QByteArrayList>
#include <QString>

class QIODevice;

namespace tarvello::app {

// Exit codes of tarvello-cli.
enum CliExit {
    CliSuccess = 0,
    // Some names could not be computed (a run-time error, or the $REPP
    // position error that stops the computation).
    CliNameErrors = 1,
    // The command line or a file it names cannot be used.
    CliUsageError = 2,
};

// The whole of tarvello-cli: arguments after the program's name, standard
// input, output and error, and the folder holding langages/. Paths are read
// and printed as the bytes given; they are decoded (QFile::decodeName) and
// made absolute against the current folder only for the computation.
int runCli(const QByteArrayList &arguments, QIODevice &in, QIODevice &out, QIODevice &err,
           const QString &programFolder);

} // namespace tarvello::app
