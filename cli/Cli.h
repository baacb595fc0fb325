#pragma once

#include <QByteArrayList>
#include <QString>

class QIODevice;

namespace tarvello::cli {

// Exit codes of tarvello-cli.
enum CliExit {
    CliSuccess = 0,
    // Some names could not be computed (a run-time error, or the $REPP
    // position error that stops the computation).
    CliNameErrors = 1,
    // The command line or a file it names cannot be used.
    CliUsageError = 2,
    // rename: new names are in conflict, so nothing was renamed.
    CliConflicts = 3,
    // rename, undo, recover: files that were to move did not (a failure, a
    // stop, files moved since, an interrupted rename that waits, ...).
    CliIncomplete = 4,
    // rename, preview: paths whose folders do not read as text were left out
    // (and named); the others were done.
    CliPathsNotText = 5,
    // No language file can be read: without a text to say anything, nothing
    // is done.
    CliBrokenInstallation = 6,
};

// The whole of tarvello-cli: arguments after the program's name, standard
// input, output and error, and the folder holding langages/. Paths are read
// and printed as the bytes given, made absolute against the current folder
// on their bytes; a name that is not text is read by the rule as
// Windows-1252 and renamed by its bytes, and paths whose folders do not read
// as text are left out and named. rename,
// undo and recover keep their journal and undo record in the settings folder
// ($XDG_CONFIG_HOME/Tarvello, else ~/.config/Tarvello), as the window does.
int runCli(const QByteArrayList &arguments, QIODevice &in, QIODevice &out, QIODevice &err,
           const QString &programFolder);

} // namespace tarvello::cli
