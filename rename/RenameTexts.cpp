#include "rename/RenameTexts.h"

#include "lang/Language.h"

#include <QStringList>

#include <cerrno>
#include <cstring>

namespace tarvello::rename {

namespace {

QString extra(const lang::Language &language, const char *key, const QString &p1 = {}, const QString &p2 = {})
{
    return language.extra(QLatin1String(key), p1, p2);
}

QString failureReason(const lang::Language &language, const RenameFailure &failure)
{
    if (failure.stage == FailureStage::TargetStayed)
        return extra(language, "RenameErrorTargetStayed");
    // The plan found the temporary name free: something took it since.
    if (failure.stage == FailureStage::ToTemporary && (failure.error == EEXIST || failure.error == ENOTEMPTY))
        return extra(language, "RenameErrorTemporaryTaken", displayPath(failure.tempPath));
    return errorReason(language, failure.error);
}

// Both paths, so that the user knows which name was in the way.
QString failureLine(const lang::Language &language, const RenameFailure &failure)
{
    const QString moving = displayPath(failure.oldPath) + QStringLiteral(" -> ") + displayPath(failure.newPath);
    QString line = extra(language, "RenameFailureLine", moving, failureReason(language, failure));
    if (!failure.leftAt.isEmpty())
        line += QLatin1Char(' ') + extra(language, "RenameFailureLeftAt", displayPath(failure.leftAt));
    return line;
}

// The files carried to another disk without all of their attributes, one line each.
QStringList attributesLines(const lang::Language &language, const QList<AttributesNotKept> &files)
{
    QStringList lines;
    for (const AttributesNotKept &file : files) {
        QStringList lost;
        if (file.lost.owner)
            lost.append(extra(language, "RenameAttributeOwner"));
        if (file.lost.mode)
            lost.append(extra(language, "RenameAttributeMode"));
        if (file.lost.times)
            lost.append(extra(language, "RenameAttributeTimes"));
        lines.append(extra(language, "RenameAttributesNotKept", displayPath(file.path), lost.join(QStringLiteral(", "))));
    }
    return lines;
}

QString journalErrorText(const lang::Language &language, int error, const QString &settingsFolder)
{
    if (error == EEXIST)
        return extra(language, "RenameJournalWaiting");
    if (error == EBUSY)
        return extra(language, "RenameBusy");
    return extra(language, "RenameJournalFailed", RenameJournal(settingsFolder).path(), errorReason(language, error));
}

QString fileToCheckLine(const lang::Language &language, const FileToCheck &file)
{
    const QString former = file.formerPath.isEmpty() ? extra(language, "RecordUnknownName") : displayPath(file.formerPath);
    return extra(language, file.temporary ? "RecordTemporaryLine" : "RecordRenamedLine", displayPath(file.path), former);
}

} // namespace

QString errorReason(const lang::Language &language, int error)
{
    switch (error) {
    case EEXIST:
    case ENOTEMPTY:
        return extra(language, "RenameErrorExists");
    case ENOENT:
        return extra(language, "RenameErrorMissing");
    case EACCES:
        return extra(language, "RenameErrorDenied");
    case EPERM:
        return extra(language, "RenameErrorRefused");
    case EROFS:
        return extra(language, "RenameErrorReadOnly");
    case ENOSPC:
    case EDQUOT:
        return extra(language, "RenameErrorNoSpace");
    case ENAMETOOLONG:
        return extra(language, "RenameErrorNameTooLong");
    case ENOTDIR:
        return extra(language, "RenameErrorNotFolder");
    case EBUSY:
    case ETXTBSY:
        return extra(language, "RenameErrorBusy");
    case EXDEV:
        return extra(language, "RenameErrorOtherDisk");
    case FileOps::kCopyMismatch:
        return extra(language, "RenameErrorCopyMismatch");
    default:
        return extra(language, "RenameErrorSystem", QString::number(error), QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString conflictReason(const lang::Language &language, Conflict conflict, const QByteArray &path)
{
    switch (conflict) {
    case Conflict::None:
        break;
    case Conflict::TargetExists:
        return extra(language, "ConflictTargetExists");
    case Conflict::DuplicateTarget:
        return extra(language, "ConflictDuplicateTarget");
    case Conflict::TargetHeldBack:
        return extra(language, "ConflictTargetHeldBack");
    case Conflict::InvalidName:
        return extra(language, "ConflictInvalidName");
    case Conflict::NoFolderRoot:
        return extra(language, "ConflictNoFolderRoot");
    case Conflict::FolderUnavailable:
        return extra(language, "ConflictFolderUnavailable");
    case Conflict::DuplicateSource:
        return extra(language, "ConflictDuplicateSource");
    case Conflict::InvalidSource:
        return extra(language, "ConflictInvalidSource");
    case Conflict::RenamedInside:
        return extra(language, "ConflictRenamedInside", displayPath(path));
    }
    return {};
}

QString failuresText(const lang::Language &language, const QList<RenameFailure> &failures)
{
    if (failures.isEmpty())
        return {};
    QStringList lines{extra(language, "RenameFailuresHeader", QString::number(failures.size()))};
    for (const RenameFailure &failure : failures)
        lines.append(failureLine(language, failure));
    return lines.join(QStringLiteral("\r\n"));
}

QString renameRunText(const lang::Language &language, const RenameRun &run, const QString &settingsFolder)
{
    if (run.journalError != 0)
        return journalErrorText(language, run.journalError, settingsFolder);
    QStringList parts;
    if (const QString failures = failuresText(language, run.report.failures); !failures.isEmpty())
        parts.append(failures);
    if (run.undoError != 0)
        parts.append(extra(language, "RenameUndoRecordFailed", errorReason(language, run.undoError)));
    if (run.historyError != 0)
        parts.append(extra(language, "HistoryWriteFailed", RenameHistory(settingsFolder).folder(), errorReason(language, run.historyError)));
    if (const QStringList lines = attributesLines(language, run.report.attributesNotKept); !lines.isEmpty())
        parts.append(lines.join(QStringLiteral("\r\n")));
    return parts.join(QStringLiteral("\r\n\r\n"));
}

QString recoveryQuestion(const lang::Language &language)
{
    return extra(language, "RecoverQuestion");
}

QStringList recoveryAnswers(const lang::Language &language)
{
    return {extra(language, "RecoverNowCaption"), extra(language, "RecoverLaterCaption")};
}

QString recoveryText(const lang::Language &language, const RecoveryReport &report, const QString &settingsFolder)
{
    if (report.busy)
        return extra(language, "RenameBusy");
    if (report.unreadable)
        return extra(language, "RecoverUnreadable", RenameJournal(settingsFolder).path());
    QStringList lines{extra(language, report.kind == JournalKind::Undo ? "RecoverUndoDone" : "RecoverDone",
                            QString::number(report.atNew), QString::number(report.atOld))};
    for (const QByteArray &path : report.leftAtTemporary)
        lines.append(extra(language, "RecoverLeftAt", displayPath(path)));
    for (const QByteArray &path : report.incompleteCopies)
        lines.append(extra(language, "RecoverIncompleteCopy", displayPath(path)));
    for (const JournalEntry &entry : report.missing) {
        lines.append(extra(language, "RecoverMissing", displayPath(entry.oldPath), displayPath(entry.newPath)) + QLatin1Char(' ')
                     + extra(language, "RecoverMissingTemporary", displayPath(entry.tempPath)));
    }
    lines.append(attributesLines(language, report.attributesNotKept));
    if (!report.leftAtTemporary.isEmpty() || !report.missing.isEmpty())
        lines.append(extra(language, "RecoverJournalKept", RenameJournal(settingsFolder).path()));
    return lines.join(QStringLiteral("\r\n"));
}

QString undoText(const lang::Language &language, const UndoReport &report, const QString &settingsFolder)
{
    if (report.recordError != 0)
        return extra(language, "UndoUnreadable", UndoRecord(settingsFolder).path());
    if (report.nothingToUndo)
        return extra(language, "UndoNothing");
    if (report.journalError != 0)
        return journalErrorText(language, report.journalError, settingsFolder);
    QStringList parts{extra(language, "UndoDone", QString::number(report.report.renamed))};
    if (!report.movedSince.isEmpty()) {
        QStringList lines{extra(language, "UndoMovedSince")};
        for (const UndoPair &pair : report.movedSince)
            lines.append(displayPath(pair.newPath));
        parts.append(lines.join(QStringLiteral("\r\n")));
    }
    if (report.plan.conflictCount() > 0) {
        QStringList lines{extra(language, "UndoHeldBack")};
        for (const PlannedRename &entry : report.plan.entries) {
            if (entry.heldBack())
                lines.append(extra(language, "RenameFailureLine", displayPath(entry.oldPath),
                                   conflictReason(language, entry.conflict, report.plan.conflictPath(entry))));
        }
        parts.append(lines.join(QStringLiteral("\r\n")));
    }
    if (const QString failures = failuresText(language, report.report.failures); !failures.isEmpty())
        parts.append(failures);
    if (const QStringList lines = attributesLines(language, report.report.attributesNotKept); !lines.isEmpty())
        parts.append(lines.join(QStringLiteral("\r\n")));
    if (report.historyError != 0)
        parts.append(extra(language, "HistoryWriteFailed", RenameHistory(settingsFolder).folder(), errorReason(language, report.historyError)));
    return parts.join(QStringLiteral("\r\n\r\n"));
}

QString damagedRecordText(const lang::Language &language, const DamagedRecord &record, int maxFiles)
{
    const bool journal = record.kind == RecordKind::Journal;
    QStringList lines{extra(language, journal ? "RecoverUnreadable" : "UndoUnreadable", record.path)};
    if (journal)
        lines.append(extra(language, "RecordTemporaryHint"));
    // A record that could not even be opened names nothing.
    if (record.error == EBADMSG) {
        const qsizetype count = record.files.size();
        if (count == 0)
            lines.append(extra(language, "RecordNoFiles"));
        else
            lines.append(extra(language, "RecordFilesHeader", QString::number(count)));
        const qsizetype shown = maxFiles > 0 ? qMin<qsizetype>(maxFiles, count) : count;
        for (qsizetype i = 0; i < shown; ++i)
            lines.append(fileToCheckLine(language, record.files[i]));
        if (shown < count)
            lines.append(extra(language, "AddNotTextMore", QString::number(count - shown)));
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString setAsideQuestion(const lang::Language &language, RecordKind kind)
{
    return extra(language, kind == RecordKind::Journal ? "RecordSetAsideQuestion" : "RecordSetAsideQuestionUndo");
}

QString setAsideText(const lang::Language &language, const SetAsideResult &result)
{
    if (result.sound)
        return extra(language, "RecordSound", result.path);
    switch (result.error) {
    case 0:
        return extra(language, "RecordSetAside", result.path, result.asidePath);
    case ENOENT:
        return extra(language, "RecordNothingToSetAside", result.path);
    case EBUSY:
        return extra(language, "RenameBusy");
    default:
        return extra(language, "RecordSetAsideFailed", result.path, errorReason(language, result.error));
    }
}

} // namespace tarvello::rename
