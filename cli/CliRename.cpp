#include "cli/CliRename.h"

#include "cli/Cli.h"
#include "common/NativePath.h"

#include "common/Zub.h"
#include "controller/NameBatch.h"
#include "exif/ExifReader.h"
#include "filelist/FileList.h"
#include "rename/RecordFormat.h"
#include "rename/RenameOperation.h"
#include "rename/RenameTexts.h"
#include "lang/Language.h"
#include "settings/Settings.h"

#include <QHash>
#include <QIODevice>

#include <cerrno>
#include <csignal>
#include <string>
#include <utility>

namespace tarvello::cli {

using rename::Outcome;

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void noteStopSignal(int)
{
    g_stopSignal = 1;
}

// While a rename or an undo runs, Ctrl-C, a hang-up or a termination asks it
// to stop instead of killing the process between two moves; the handlers
// that were there before come back afterwards.
class StopOnSignals : public rename::RenameObserver
{
public:
    StopOnSignals()
    {
        g_stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = noteStopSignal;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kSignals[i], &action, &m_previous[i]);
    }
    ~StopOnSignals() override
    {
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    StopOnSignals(const StopOnSignals &) = delete;
    StopOnSignals &operator=(const StopOnSignals &) = delete;

    bool stopRequested() override { return g_stopSignal != 0; }

private:
    static constexpr int kSignalCount = 3;
    static constexpr int kSignals[kSignalCount] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_previous[kSignalCount] {};
};

void writeMove(QIODevice &out, const QByteArray &from, const QByteArray &to)
{
    writeLine(out, from + '\t' + to);
}

// The files of a run that now have other names, in list order, written a
// block of lines at a time.
void writeMoves(QIODevice &out, const rename::RenamePlan &plan, const rename::RenameReport &report)
{
    constexpr size_t kBlock = 1 << 16;
    std::string lines;
    lines.reserve(kBlock + 8192);
    // A run that could not begin has no outcomes.
    for (qsizetype i = 0; i < report.outcomes.size(); ++i) {
        const rename::PlannedRename &entry = plan.entries[i];
        if (report.outcomes[i] != Outcome::Renamed || entry.newPath == entry.oldPath)
            continue;
        lines.append(entry.oldPath.constData(), size_t(entry.oldPath.size())).push_back('\t');
        lines.append(entry.newPath.constData(), size_t(entry.newPath.size())).push_back('\n');
        if (lines.size() >= kBlock) {
            out.write(lines.data(), qint64(lines.size()));
            lines.clear();
        }
    }
    out.write(lines.data(), qint64(lines.size()));
}

// The positions a stop left untouched, told in one line.
void writeStopped(QIODevice &err, const CliTexts &texts, const rename::RenameReport &report)
{
    if (report.stopped)
        writeMessage(err, texts.text("cliStopped", QString::number(report.outcomes.count(Outcome::NotReached))));
}

// What a record the program refuses still names, and how to get past it.
void writeDamaged(QIODevice &err, const lang::Language &language, const rename::DamagedRecord &damaged)
{
    writeMessage(err, rename::damagedRecordText(language, damaged, 0));
    const bool journal = damaged.kind == rename::RecordKind::Journal;
    writeMessage(err, CliTexts(language).text(journal ? "cliSetAsideHint" : "cliSetAsideHintUndo"));
}

// What to do about a journal that blocks an operation: recover it, or set it
// aside when it cannot be read.
void writeJournalHint(QIODevice &err, const lang::Language &language, const QString &settingsFolder)
{
    rename::FileOps fs;
    if (const auto damaged = rename::damagedRecord(rename::RecordKind::Journal, settingsFolder, fs))
        writeDamaged(err, language, *damaged);
    else
        writeMessage(err, CliTexts(language).text("cliRecoverHint"));
}

} // namespace

namespace {

// The pairs of the files to rename, built as the names are computed, and
// what the command tells of the names.
struct NamedPairs {
    QList<rename::PathPair> pairs;
    // The paths as given, where they are not the path renamed: all the
    // plan's messages need of the names.
    QHash<qsizetype, QByteArray> givenOtherwise;
    QStringList passedOver; // the files the rule leaves alone, told once no name failed
    bool nameErrors = false;
};

// Takes in the name computed for one file.
void addNamed(NamedPairs &named, const QByteArray &given, const QByteArray &native, const QString &path,
              rules::NameResult &result, rename::IdentitiesAhead &ahead, QIODevice &err)
{
    if (const QByteArray line = nameErrorLine(given, result); !line.isEmpty()) {
        writeLine(err, line);
        named.nameErrors = true;
        return;
    }
    if (result.kind != rules::NameResult::Kind::Name) {
        named.passedOver.append(common::NativePath::fromBytes(given).text() + QStringLiteral(": ") + result.name);
        return;
    }
    // Only a new name with a folder part reads the file's folder.
    filelist::FileEntry entry;
    entry.newName = std::move(result.name);
    if (entry.newName.contains(QLatin1Char('/')) || entry.newName.contains(QLatin1Char('\\')))
        entry.folder = common::ZubGetPath(path);
    if (given != native)
        named.givenOtherwise.insert(named.pairs.size(), given);
    named.pairs.append(rename::pathPairFor(native, entry));
    ahead.add(named.pairs.constLast().oldPath);
}

// The names of a sort, or of a rule that reads metadata: the whole list is
// computed first (exif reading the photographs ahead), each name let go as
// its pair is made.
NamedPairs namesOfWholeList(QByteArrayList paths, settings::RuleOptions rule, const settings::Settings &settings,
                            lang::Language &language, exif::ExifReader &exif,
                            const std::optional<controller::ListSort> &sort, rename::IdentitiesAhead &ahead,
                            QIODevice &err)
{
    QList<ComputedName> names = computeNames(paths, std::move(rule), settings, language, exif, sort);
    paths = {};
    NamedPairs named;
    named.pairs.reserve(names.size());
    for (ComputedName &name : names) {
        addNamed(named, name.given, name.native, name.path, name.result, ahead, err);
        name = {};
    }
    return named;
}

// The names in the order given, each computed as its pair is made: no
// list of a million computed names.
NamedPairs namesInOrder(QByteArrayList paths, settings::RuleOptions rule, const settings::Settings &settings,
                        lang::Language &language, exif::ExifReader &exif, rename::IdentitiesAhead &ahead,
                        QIODevice &err)
{
    CliNamer namer(std::move(rule), settings, language, exif);
    controller::NameBatch &batch = namer.batch();
    batch.expectNames(paths.size());
    NamedPairs named;
    named.pairs.reserve(paths.size());
    QString path; // refilled for each file
    for (qsizetype i = 0; i < paths.size(); ++i) {
        QByteArray given = std::exchange(paths[i], {});
        QByteArray native;
        // Most paths of a long list are ASCII, absolute and clean: their
        // text and the bytes renamed are the path as given.
        if (common::isAscii(given) && rename::isCleanAbsolutePath(given)) {
            native = given;
            path.resize(0);
            path.append(QLatin1StringView(given));
        } else {
            const common::NativePath absolute = absolutePath(given);
            native = absolute.bytes();
            path = filelist::FileEntry::of(absolute).readablePath();
        }
        controller::NameStep step = batch.next(path, int(i + 1));
        addNamed(named, given, native, path, step.result, ahead, err);
        if (step.stop)
            break;
    }
    return named;
}

} // namespace

int renameFiles(QByteArrayList paths, settings::RuleOptions rule, const settings::Settings &settings,
                lang::Language &language, exif::ExifReader &exif, const std::optional<controller::ListSort> &sort,
                bool skipConflicts, const QString &settingsFolder, QIODevice &out, QIODevice &err)
{
    const CliTexts texts(language);
    const bool wholeList = sort || rules::ruleReadsExif(rule.rule);
    rename::FileOps fs;
    rename::IdentitiesAhead ahead(fs, paths.size());
    NamedPairs named = wholeList
        ? namesOfWholeList(std::move(paths), std::move(rule), settings, language, exif, sort, ahead, err)
        : namesInOrder(std::move(paths), std::move(rule), settings, language, exif, ahead, err);
    if (named.nameErrors) {
        writeMessage(err, texts.text("cliNameErrorsNothingRenamed"));
        return CliNameErrors;
    }
    for (const QString &message : std::as_const(named.passedOver))
        writeMessage(err, message);
    if (named.pairs.isEmpty())
        return CliSuccess;

    const rename::RenamePlan plan = rename::planRename(std::move(named.pairs), fs, ahead);
    for (const rename::PlannedRename &entry : plan.entries) {
        if (!entry.heldBack())
            continue;
        const QByteArray given = named.givenOtherwise.value(entry.position - 1, entry.oldPath);
        const QString moving = common::NativePath::fromBytes(given).text() + QStringLiteral(" -> ")
            + rename::displayPath(entry.newPath);
        writeMessage(err, texts.text("RenameFailureLine", moving,
                                     rename::conflictReason(language, entry.conflict, plan.conflictPath(entry))));
    }
    if (plan.conflictCount() > 0 && !skipConflicts) {
        writeMessage(err, texts.text("cliConflictsNothingRenamed"));
        return CliConflicts;
    }

    StopOnSignals observer;
    const rename::RenameRun run = rename::runRename(plan, settingsFolder, observer, fs);
    writeMoves(out, plan, run.report);
    if (const QString text = rename::renameRunText(language, run, settingsFolder); !text.isEmpty())
        writeMessage(err, text);
    if (run.journalError == EEXIST)
        writeJournalHint(err, language, settingsFolder);
    writeStopped(err, texts, run.report);
    const int expected = int(plan.entries.size()) - plan.conflictCount();
    return run.journalError == 0 && run.report.renamed == expected ? CliSuccess : CliIncomplete;
}

namespace {

int tellUndo(const rename::UndoReport &undo, const QString &settingsFolder, const lang::Language &language,
             QIODevice &out, QIODevice &err, rename::FileOps &fs)
{
    const CliTexts texts(language);
    writeMoves(out, undo.plan, undo.report);
    const auto damaged = undo.recordError != 0 ? rename::damagedRecord(rename::RecordKind::Undo, settingsFolder, fs)
                                               : std::nullopt;
    if (damaged)
        writeDamaged(err, language, *damaged);
    else
        writeMessage(err, rename::undoText(language, undo, settingsFolder));
    if (undo.journalError == EEXIST)
        writeJournalHint(err, language, settingsFolder);
    writeStopped(err, texts, undo.report);
    if (undo.nothingToUndo)
        return CliSuccess;
    const bool complete = undo.recordError == 0 && undo.journalError == 0 && undo.movedSince.isEmpty()
        && undo.report.renamed == int(undo.plan.entries.size());
    return complete ? CliSuccess : CliIncomplete;
}

} // namespace

int undoFiles(const QString &settingsFolder, const lang::Language &language, QIODevice &out, QIODevice &err)
{
    rename::FileOps fs;
    StopOnSignals observer;
    return tellUndo(rename::undoLastRename(settingsFolder, observer, fs), settingsFolder, language, out, err, fs);
}

int undoHistoryRun(const QString &settingsFolder, int number, const lang::Language &language, QIODevice &out,
                   QIODevice &err)
{
    rename::FileOps fs;
    StopOnSignals observer;
    const rename::UndoReport undo = rename::undoHistoryRun(settingsFolder, number, observer, fs);
    if (undo.nothingToUndo) {
        writeMessage(err, CliTexts(language).text("HistoryNoRun", QString::number(number),
                                                  QString::number(rename::RenameHistory::kUndoableRuns)));
        return CliUsageError;
    }
    return tellUndo(undo, settingsFolder, language, out, err, fs);
}

int showHistory(const QString &settingsFolder, bool csv, const lang::Language &language, QIODevice &out, QIODevice &err)
{
    const CliTexts texts(language);
    const rename::RenameHistory history(settingsFolder);
    if (csv) {
        out.write(rename::historyCsv(history.runs()));
        return CliSuccess;
    }
    const QList<rename::HistoryRun> runs = history.runs(rename::RenameHistory::kUndoableRuns);
    if (runs.isEmpty())
        writeMessage(err, texts.text("HistoryEmpty"));
    rename::FileOps fs;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const rename::HistoryRun &run = runs[i];
        const QString kind = texts.text(run.undo ? "HistoryKindUndo" : "HistoryKindRename");
        const QString inPlace = texts.text("HistoryInPlace", QString::number(rename::filesInPlace(run, fs)),
                                           QString::number(run.files.size()));
        writeLine(out, QByteArray::number(i + 1) + '\t' + run.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8()
                           + '\t' + kind.toUtf8() + '\t' + inPlace.toUtf8());
        for (const rename::UndoPair &pair : run.files)
            writeLine(out, '\t' + pair.oldPath + '\t' + pair.newPath);
    }
    return CliSuccess;
}

int recoverFiles(const QString &settingsFolder, const lang::Language &language, QIODevice &out, QIODevice &err)
{
    const CliTexts texts(language);
    rename::FileOps fs;
    const rename::RecoveryReport report = rename::recoverInterruptedRename(settingsFolder, fs);
    if (!report.found && !report.busy) {
        writeMessage(err, texts.text("cliNothingToRecover"));
        return CliSuccess;
    }
    for (const rename::JournalEntry &entry : report.renamed)
        writeMove(out, entry.oldPath, entry.newPath);
    const auto damaged = report.unreadable ? rename::damagedRecord(rename::RecordKind::Journal, settingsFolder, fs)
                                           : std::nullopt;
    if (damaged)
        writeDamaged(err, language, *damaged);
    else
        writeMessage(err, rename::recoveryText(language, report, settingsFolder));
    // An unfinished copy or a file found nowhere is the user's to look at, so it counts as not done.
    return report.complete() ? CliSuccess : CliIncomplete;
}

int setRecordAside(rename::RecordKind kind, const QString &settingsFolder, const lang::Language &language,
                   QIODevice &err)
{
    rename::FileOps fs;
    // Once aside, the record is out of sight: this is the last word on its files.
    if (const auto damaged = rename::damagedRecord(kind, settingsFolder, fs))
        writeMessage(err, rename::damagedRecordText(language, *damaged, 0));
    const rename::SetAsideResult result = rename::setAsideRecord(kind, settingsFolder);
    writeMessage(err, rename::setAsideText(language, result));
    if (result.sound && kind == rename::RecordKind::Journal)
        writeMessage(err, CliTexts(language).text("cliRecoverHint"));
    const bool setAside = result.error == 0 && !result.sound;
    return setAside || result.error == ENOENT ? CliSuccess : CliIncomplete;
}

} // namespace tarvello::cli
