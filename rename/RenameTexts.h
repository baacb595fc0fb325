#pragma once

#include "rename/RenameOperation.h"

#include <QString>
#include <QStringList>

namespace tarvello::lang {
class Language;
}

// The texts of the rename operation for the user, from the language file's
// EXTRA section. Paths are shown as text; each failure is one line with its
// path and reason, and all of an operation's failures are shown together.
namespace tarvello::rename {

// Why a file operation failed, from its errno (or FileOps::kCopyMismatch).
QString errorReason(const lang::Language &language, int error);

// Why a position was held back by the plan; path is the plan's conflictPath.
QString conflictReason(const lang::Language &language, Conflict conflict, const QByteArray &path = {});

// The failures of a run, a header and one line each; "" when there are none.
QString failuresText(const lang::Language &language, const QList<RenameFailure> &failures);

// What the user must hear after a rename: the journal that could not be
// written, the failures, the undo record that could not be written; "" when
// everything went well.
QString renameRunText(const lang::Language &language, const RenameRun &run, const QString &settingsFolder);

// The question asked at start-up when an interrupted rename waits.
QString recoveryQuestion(const lang::Language &language);
// Its two answers as button captions: recover now, leave it for later.
QStringList recoveryAnswers(const lang::Language &language);

// The result of a recovery.
QString recoveryText(const lang::Language &language, const RecoveryReport &report, const QString &settingsFolder);

// What the user must hear about a record the program refuses to act on: that
// nothing was done, what to look for, and the files it names, at most
// maxFiles of them (all when maxFiles is 0) and then how many more.
QString damagedRecordText(const lang::Language &language, const DamagedRecord &record, int maxFiles);

// The window's question before it sets a damaged record aside.
QString setAsideQuestion(const lang::Language &language, RecordKind kind);

// How setting a record aside ended.
QString setAsideText(const lang::Language &language, const SetAsideResult &result);

// The result of an undo.
QString undoText(const lang::Language &language, const UndoReport &report, const QString &settingsFolder);

} // namespace tarvello::rename
