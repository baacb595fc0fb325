#pragma once

#include "cli/CliSupport.h"
#include "rename/RenameOperation.h"

#include <QList>
#include <QString>

class QIODevice;

namespace tarvello::lang {
class Language;
}

// The commands of tarvello-cli that move files: rename, undo and recover,
// through the rename operation of the window (plan, journal, two phases, undo
// record), so that a terminal and the window can undo and recover each
// other's renames. Each prints one line per file moved, "from<TAB>to" as the
// bytes of the absolute paths, in list order, and tells the rest on the error
// output. An interrupt or termination signal stops a rename or an undo before
// its next file; the files already on their way still reach a name. Each
// returns a CliExit. A record that cannot be trusted is never acted on: the
// commands say which files it names and how to set it aside.
namespace tarvello::cli {

// Renames the files of the paths to the names the rule gives them, in the
// order of the sort when there is one (as computeNames gives them). Files the
// rule leaves alone (forbidden files, extensions outside the filter) are
// passed over. Nothing is renamed when a name could not be computed, nor,
// unless skipConflicts, when a new name is in conflict.
int renameFiles(QByteArrayList paths, settings::RuleOptions rule, const settings::Settings &settings,
                lang::Language &language, exif::ExifReader &exif, const std::optional<controller::ListSort> &sort,
                bool skipConflicts, const QString &settingsFolder, QIODevice &out, QIODevice &err);

// Gives the files of the last rename their old names back.
int undoFiles(const QString &settingsFolder, const lang::Language &language, QIODevice &out, QIODevice &err);

// Gives the files of run number (1 for the newest) of the history that are
// still where it put them their old names back.
int undoHistoryRun(const QString &settingsFolder, int number, const lang::Language &language, QIODevice &out,
                   QIODevice &err);

// The last runs of the history that can be undone, newest first, numbered
// as undo --run takes them: a line "number<TAB>time<TAB>kind<TAB>files in
// place", then a line "<TAB>old<TAB>new" a file, the paths as their bytes.
// With csv, the whole history as CSV.
int showHistory(const QString &settingsFolder, bool csv, const lang::Language &language, QIODevice &out, QIODevice &err);

// Finishes or rolls back a rename that was cut short, without asking.
int recoverFiles(const QString &settingsFolder, const lang::Language &language, QIODevice &out, QIODevice &err);

// Moves the rename journal or the undo record aside when it is damaged, after
// telling once more which files it names.
int setRecordAside(rename::RecordKind kind, const QString &settingsFolder, const lang::Language &language,
                   QIODevice &err);

} // namespace tarvello::cli
