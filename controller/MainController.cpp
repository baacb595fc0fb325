#include "controller/MainController.h"

#include "common/FreeInBackground.h"
#include "common/LargePages.h"
#include "common/Vb.h"
#include "common/Zub.h"
#include "controller/EventPacer.h"
#include "controller/OffThread.h"
#include "exif/ExifReader.h"
#include "filelist/DisplayFilter.h"
#include "filelist/FolderScan.h"
#include "lang/Language.h"
#include "rename/RenameOperation.h"
#include "rules/RuleCheck.h"
#include "settings/Settings.h"

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QScopeGuard>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <utility>

namespace tarvello::controller {

namespace {

// Brings the news of a rename that runs on a thread of its own to the frame
// it runs in, on the window's thread: the run leaves its news here and
// relay() hands them on.
class RelayObserver : public rename::RenameObserver
{
public:
    // Without perFile, the run's renamed() news stay where they are: an undo's
    // frame has no use for them, and a million copies cost seconds.
    RelayObserver(rename::RenameObserver &frame, bool perFile)
        : m_frame(frame)
        , m_perFile(perFile)
    {
    }

    void progress(int step, int total) override
    {
        const QMutexLocker lock(&m_mutex);
        m_step = step;
        m_total = total;
    }
    // Asked on the run's thread, before each file, as the frame says it may be.
    bool stopRequested() override { return m_frame.stopRequested(); }
    void renamed(const rename::PlannedRename &entry) override
    {
        if (!m_perFile)
            return;
        const QMutexLocker lock(&m_mutex);
        m_renamed.append(entry);
    }

    void relay()
    {
        QList<rename::PlannedRename> renamed;
        int step = 0;
        int total = 0;
        {
            const QMutexLocker lock(&m_mutex);
            renamed.swap(m_renamed);
            step = std::exchange(m_step, 0);
            total = m_total;
        }
        for (const rename::PlannedRename &entry : std::as_const(renamed))
            m_frame.renamed(entry);
        if (step > 0)
            m_frame.progress(step, total);
    }

private:
    rename::RenameObserver &m_frame;
    const bool m_perFile;
    QMutex m_mutex;
    int m_step = 0;
    int m_total = 0;
    QList<rename::PlannedRename> m_renamed;
};

// Runs a rename or an undo off the window's thread in the frame given:
// reading records, writing the journal and planning take seconds for a
// million files, and the frame's window answers meanwhile.
template<typename Run>
auto runInFrame(rename::RenameObserver &frame, bool perFile, Run run)
{
    RelayObserver relay(frame, perFile);
    return offThread([&] { return run(relay); }, [&] { relay.relay(); });
}

} // namespace

QList<common::NativePath> chosenFiles(const QString &folder, const QStringList &names, const QList<QByteArray> &bytes)
{
    const common::NativePath native = common::NativePath::fromText(folder);
    QList<common::NativePath> paths;
    paths.reserve(names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray name = bytes.value(i);
        paths.append(native.child(name.isEmpty() ? common::NativePath::fromText(names.at(i))
                                                 : common::NativePath::fromBytes(name)));
    }
    return paths;
}

QList<QByteArray> thumbnailNativeNames(const QStringList &chosen, const QStringList &viewNames,
                                       const QList<QByteArray> &viewBytes)
{
    QHash<QString, QByteArray> bytesOf;
    for (qsizetype i = 0; i < viewNames.size() && i < viewBytes.size(); ++i)
        bytesOf.insert(viewNames.at(i), viewBytes.at(i));
    QList<QByteArray> bytes;
    bytes.reserve(chosen.size());
    for (const QString &name : chosen)
        bytes.append(bytesOf.value(name, QFile::encodeName(name)));
    return bytes;
}

MainController::MainController(settings::Settings &settings, const QString &settingsFolder, lang::Messages &messages,
                               ControllerUi &ui, exif::ExifReader &exif)
    : m_settings(settings)
    , m_settingsFolder(settingsFolder)
    , m_messages(messages)
    , m_ui(ui)
    , m_exif(exif)
{
    // A rename takes its rows out one by one: the check waits for its end.
    QObject::connect(&m_files, &QAbstractItemModel::rowsRemoved, [this] {
        if (!renaming())
            checkConflicts();
    });
    QObject::connect(&m_files, &QAbstractItemModel::modelReset, [this] {
        if (!busy())
            checkConflicts();
    });
}

void MainController::setState(State state)
{
    m_state = state;
    m_ui.stateChanged(state);
}

void MainController::beginNames()
{
    if (m_batch)
        return;
    m_batch.emplace(m_settings.rule,
                    rules::NameEngine(rules::NameSettings::fromSettings(m_settings), m_clock, m_fileFacts, m_exif, m_messages),
                    m_identical,
                    rules::ruleRefusal(m_settings.rule.rule) || rules::holdsControlCharacter(m_settings.rule.rule));
}

void MainController::flushNames()
{
    if (!m_batch || m_pending.isEmpty())
        return;
    m_files.appendAll(std::move(m_pending));
    m_pending.clear();
}

void MainController::endNames()
{
    if (!m_batch)
        return;
    flushNames();
    // In normal counter mode the start and step read from their texts are
    // the values last used, kept for the next save.
    m_settings.rule.counterStart = m_batch->rule().counterStart;
    m_settings.rule.counterStep = m_batch->rule().counterStep;
    m_batch.reset();
    checkConflicts();
    m_ui.namesEnded();
}

void MainController::checkConflicts()
{
    rename::NameRules rules;
    for (const settings::ForbiddenCharacterRow &row : m_settings.forbiddenCharacters)
        rules.forbiddenCharacters += row.characters;
    rules.notRenamed = {m_messages.GetMessage(91), m_messages.GetMessage(97)};
    // A check of a million names takes seconds: while nothing may change the
    // list (an add, a recomputation) it runs off the window's thread.
    const QList<filelist::FileEntry> entries = m_files.entries();
    const auto checkNames = [&] { return rename::checkConflicts(entries, rules, m_listings); };
    const rename::ConflictCheck check = busy() ? offThread(checkNames) : checkNames();
    QList<quint8> statuses;
    statuses.reserve(check.statuses.size());
    for (const rename::NameStatus status : check.statuses)
        statuses.append(quint8(status));
    m_files.setStatuses(std::move(statuses));
    m_conflictCount = check.count;
    m_ui.conflictsCounted(check.count);
}

bool MainController::namesReadExif() const
{
    return rules::ruleReadsExif(m_batch ? m_batch->rule().rule : m_settings.rule.rule);
}

void MainController::readAhead(const QList<filelist::FileEntry> &files)
{
    // The names still come one by one in list order; only the reading of the
    // photographs runs ahead of them.
    QStringList paths;
    paths.reserve(files.size());
    for (const filelist::FileEntry &file : files)
        paths.append(file.readablePath());
    m_exif.prefetch(paths);
}

void MainController::showName(filelist::FileEntry file, const NameStep &step)
{
    file.newName = step.result.name;
    m_pending.append(std::move(file));
    if (step.stop) {
        flushNames();
        m_ui.tellPositionError(step.result.message);
    } else if (step.tellError) {
        flushNames();
        m_ui.tellRunError(rules::afficheNomErrorText(*step.result.error));
    }
}

bool MainController::addName(const QString &path)
{
    return addFile(common::NativePath::fromText(path));
}

bool MainController::addFile(const common::NativePath &path)
{
    const bool ownBatch = !m_batch;
    if (ownBatch)
        beginNames();
    const int position = m_files.count() + int(m_pending.size()) + 1;
    filelist::FileEntry file = m_entryMaker.make(path);
    const NameStep step = m_batch->next(file.readablePath(), position);
    showName(std::move(file), step);
    if (ownBatch)
        endNames();
    return step.stop;
}

void MainController::recompute()
{
    if (m_state == State::Recomputing)
        return;
    if (m_state == State::Adding) {
        m_recomputeAfterAdd = true;
        return;
    }
    const State before = m_state;
    m_identical.reset();
    setState(State::Recomputing);
    const int count = m_files.count();
    if (count > 0 && m_ui.autoRefresh()) {
        m_ui.recomputeProgress(0, count);
        beginNames();
        m_batch->expectNames(count);
        if (namesReadExif())
            readAhead(m_files.entries());
        // The names change in place, the rows stay: the views are told once, at the end.
        EventPacer pacer;
        bool positionError = false;
        // Each row's path is made in this one buffer, not a new string a row.
        QString path;
        for (int row = 0; row < count && !positionError; ++row) {
            if (pacer.due())
                m_ui.recomputeProgress(row, count);
            m_files.entry(row).readablePathInto(path);
            const NameStep step = m_batch->next(path, row + 1);
            m_files.setNewName(row, step.result.name);
            positionError = step.stop;
            if (step.stop)
                m_ui.tellPositionError(step.result.message);
            else if (step.tellError)
                m_ui.tellRunError(rules::afficheNomErrorText(*step.result.error));
        }
        // The original program kept only the entries named before the error; the
        // list is the user's work, so every entry stays, and with no new name
        // none is renamed under a rule that cannot name them all.
        for (int row = 0; positionError && row < count; ++row)
            m_files.setNewName(row, QString());
        m_files.newNamesChanged();
        endNames();
    }
    m_ui.workEnded();
    setState(before);
}

void MainController::sortList(ListSort sort)
{
    if (busy() || m_files.count() < 2)
        return;
    if (sort.key == SortKey::Taken)
        readAhead(m_files.entries());
    m_files.reorder(sortedRows(m_files.entries(), sort, m_exif));
    recompute();
}

void MainController::beginAdd()
{
    m_stopRequested = false;
    setState(State::Adding);
    beginNames();
}

void MainController::resumeAdd()
{
    m_stopRequested = false;
    setState(State::Adding);
}

void MainController::endAdd()
{
    endNames();
    m_ui.workEnded();
    setState(State::Idle);
    if (std::exchange(m_recomputeAfterAdd, false))
        recompute();
}

bool MainController::addPaths(const QList<common::NativePath> &paths,
                              const std::function<bool(const common::NativePath &)> &isNew)
{
    return addPaths(int(paths.size()), [&paths](int i) { return paths.at(i); }, isNew);
}

bool MainController::addPaths(int count, const std::function<common::NativePath(int)> &pathAt,
                              const std::function<bool(const common::NativePath &)> &isNew)
{
    if (namesReadExif()) {
        QList<filelist::FileEntry> files;
        files.reserve(count);
        for (int i = 0; i < count; ++i)
            files.append(filelist::FileEntry::of(pathAt(i)));
        readAhead(files);
    }
    EventPacer pacer;
    for (int i = 0; i < count; ++i) {
        if (pacer.due() && !pauseAdd(i + 1))
            return false;
        const common::NativePath path = pathAt(i);
        if (isNew(path) && addFile(path))
            return false;
    }
    return true;
}

bool MainController::addCollected(const filelist::CollectedFiles &collected)
{
    const bool ownBatch = !m_batch;
    if (ownBatch)
        beginNames();
    const auto endBatch = qScopeGuard([&] {
        if (ownBatch)
            endNames();
    });
    const qsizetype count = collected.files.size();
    if (namesReadExif()) {
        QList<filelist::FileEntry> files;
        files.reserve(count);
        for (qsizetype i = 0; i < count; ++i)
            files.append(collected.entry(i));
        readAhead(files);
    }
    m_files.reserve(m_files.count() + m_pending.size() + count);
    m_batch->expectNames(count);
    EventPacer pacer;
    // Each entry's path is made in this one buffer, not a new string an entry.
    QString path;
    for (qsizetype i = 0; i < count; ++i) {
        if (pacer.due() && !pauseAdd(int(i) + 1))
            return false;
        filelist::FileEntry file = collected.entry(i);
        file.readablePathInto(path);
        const NameStep step = m_batch->next(path, m_files.count() + int(m_pending.size()) + 1);
        showName(std::move(file), step);
        if (step.stop)
            return false;
    }
    return true;
}

void MainController::addChosen(const QList<common::NativePath> &paths)
{
    if (paths.isEmpty())
        return;
    filelist::ListedFiles listed(filelist::ListedFiles::Match::Name);
    listed.addEntries(m_files.entries());
    m_ui.addPlanned(0, int(paths.size()));
    addPaths(paths, [&listed](const common::NativePath &path) { return listed.takeIfNew(path); });
}

void MainController::addShown(int count, const std::function<common::NativePath(int)> &pathAt)
{
    if (count <= 0)
        return;
    filelist::ListedFiles listed(filelist::ListedFiles::Match::Path);
    listed.addEntries(m_files.entries());
    m_ui.addPlanned(0, count);
    // The files shown are distinct: only the list's paths are looked up, and
    // the add's own paths are not noted, which a million of them would cost.
    addPaths(count, pathAt, [&listed](const common::NativePath &path) { return !listed.holds(path); });
}

QStringList MainController::addHierarchy(const QString &start, const QString &pattern)
{
    const filelist::DisplayFilter filter(pattern);
    EventPacer pacer;
    const qint64 began = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    filelist::FolderListings listings;
    const filelist::FolderTally tally =
        filelist::countFiles(start, true, filter, [&](int) { return !pacer.due() || pauseAdd(-1); }, &listings);
    if (tally.stopped || !m_ui.askToAddFolders(tally.files, -1) || tally.files <= 0)
        return {};
    m_ui.addPlanned(0, tally.files);
    filelist::ListedFiles listed(filelist::ListedFiles::Match::Name);
    listed.addEntries(m_files.entries());
    filelist::CollectedFiles collected = filelist::collectFiles(
        {start}, filter, listed, [&](int found) { return !pacer.due() || pauseAdd(found); }, &listings, tally.files);
    if (!collected.stopped) {
        keepFolderNames(collected, began);
        m_ui.addPlanned(0, int(collected.files.size()));
        addCollected(collected);
    }
    return collected.notText;
}

QStringList MainController::addDropped(const QList<QByteArray> &paths, const QString &pattern)
{
    m_ui.addPlanned(0, int(paths.size()));
    const filelist::DisplayFilter filter(pattern);
    filelist::ListedFiles listed(filelist::ListedFiles::Match::Path);
    listed.addEntries(m_files.entries());
    QStringList notText;
    QStringList folders;
    qint64 total = 0;
    const qint64 began = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
    filelist::FolderListings listings;
    EventPacer pacer;
    // Files go in at once, folders are counted for the question after.
    for (int i = 0; i < paths.size(); ++i) {
        if (pacer.due() && !pauseAdd(i + 1))
            break;
        const common::NativePath native = common::NativePath::fromBytes(paths.at(i)).cleaned();
        const QString path = native.text();
        struct stat st {};
        if (::stat(native.c_str(), &st) != 0)
            continue;
        // A folder is listed by its text, a file by its bytes.
        if (!filelist::isTextName(native.folder().bytes())
            || (S_ISDIR(st.st_mode) && !native.textIsExact())) {
            notText.append(path);
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            const filelist::FolderTally tally =
                filelist::countFiles(path, true, filter, [&](int) { return !pacer.due() || pauseAdd(-1); }, &listings);
            if (tally.stopped)
                break;
            total += tally.files;
            folders.append(path);
            continue;
        }
        if (listed.takeIfNew(native) && addFile(native))
            break;
    }
    if (!folders.isEmpty() && total >= 1 && m_ui.askToAddFolders(int(total), int(folders.size()))) {
        resumeAdd();
        m_ui.addPlanned(0, int(total));
        filelist::CollectedFiles collected = filelist::collectFiles(
            folders, filter, listed, [&](int found) { return !pacer.due() || pauseAdd(found); }, &listings, total);
        notText += collected.notText;
        if (!collected.stopped) {
            keepFolderNames(collected, began);
            m_ui.addPlanned(0, int(collected.files.size()));
            addCollected(collected);
        }
    }
    return notText;
}

void MainController::keepFolderNames(filelist::CollectedFiles &collected, qint64 began)
{
    // The check that ends the add looks up the names its files go to in
    // the folders the add has just read, rather than read them again.
    for (filelist::CollectedFiles::FolderReading &reading : collected.folderNames)
        m_listings.keep(reading.folder, reading.modified, std::move(reading.names), began);
}

bool MainController::pauseAdd(int done)
{
    flushNames();
    m_ui.addPaused(done);
    return !m_stopRequested;
}

void MainController::beginRename(State state)
{
    m_stopRequested = false;
    // The folders are about to change, and the listings of a million-file
    // folder are room the plan needs.
    m_listings.forget();
    setState(state);
}

void MainController::endRename()
{
    // Checked before the state ends: the million rows a stopped or held-back
    // rename leaves in the list are checked off the window's thread.
    checkConflicts();
    setState(State::Idle);
}

std::optional<std::pair<rename::RenamePlan, rename::RenameRun>> MainController::renameList(rename::FileOps &fs)
{
    const settings::RuleOptions &rule = m_settings.rule;
    const rename::RenameRequest request{m_messages.GetMessage(91), m_messages.GetMessage(97), rule.rule,
                                        rule.startText, rule.stepText};
    // A million rows are checked off the window's thread, the window in its
    // renaming state meanwhile; their copies are freed off it too.
    beginRename(State::Renaming);
    rename::Precheck check = offThread([&] {
        // What the last recomputation freed goes back before the plan grows.
        common::giveBackFreePages();
        return rename::precheckRename(m_files.entries(), request);
    });
    const bool stopped = m_stopRequested;
    setState(State::Idle);
    const auto freeCheck = qScopeGuard([&] { common::freeInBackground(std::move(check)); });
    if (stopped)
        return std::nullopt;
    if (!check.dropped.isEmpty()) {
        m_files.removeEntries(check.dropped);
        m_ui.workEnded();
    }
    const bool namesToMake =
        check.outcome == rename::PrecheckOutcome::Ready || check.outcome == rename::PrecheckOutcome::CounterTooSmall;
    if (namesToMake && rules::holdsControlCharacter(rule.rule)) {
        m_ui.tellRenameRefused(RenameRefusal::ControlCharacter);
        return std::nullopt;
    }
    // The names in the list may come from the rule before it: none is used.
    if (namesToMake && rules::ruleRefusal(rule.rule)) {
        m_ui.tellRenameRefused(RenameRefusal::RefusedRule);
        return std::nullopt;
    }
    switch (check.outcome) {
    case rename::PrecheckOutcome::EmptyRule:
        m_ui.tellRenameRefused(RenameRefusal::EmptyRule);
        return std::nullopt;
    case rename::PrecheckOutcome::NothingToDo:
        return std::nullopt;
    case rename::PrecheckOutcome::CounterTooSmall:
        if (!m_ui.acceptNarrowCounter(check.capacity))
            return std::nullopt;
        break;
    case rename::PrecheckOutcome::Ready:
        break;
    }
    // The frame holds from the plan on: the plan reads every target folder
    // and is made off the window's thread, as the run is; a stop asked for
    // meanwhile ends the rename before it begins.
    m_stopRequested = false;
    std::unique_ptr<rename::RenameObserver> frame = m_ui.renameFrame(State::Renaming);
    rename::RenamePlan plan = offThread([&] { return rename::planRename(check.entries, fs); });
    // The plan has its own paths: the copy of the list goes before the run.
    common::freeInBackground(std::exchange(check.entries, {}));
    if (m_stopRequested || !m_ui.reviewConflicts(plan))
        return std::nullopt;
    const rename::RenameRun run = runInFrame(*frame, true, [&](rename::RenameObserver &relay) {
        return rename::runRename(plan, m_settingsFolder, relay, fs);
    });
    frame.reset();
    if (m_quitRequested && run.report.stopped && !m_settingsFolder.isEmpty())
        rename::noteCutShortRun(m_settingsFolder,
                                {run.report.renamed, int(plan.entries.size()) - run.report.renamed});
    return std::pair(std::move(plan), std::move(run));
}

rename::RuleAfterRename MainController::takeRuleAfterRename(int count)
{
    settings::RuleOptions &rule = m_settings.rule;
    // "#" in the start box is continuation mode, whatever start was stored last.
    const qint32 start = rule.continuationMode() ? settings::kContinuationStart : rule.counterStart;
    const rename::RuleAfterRename after = rename::ruleAfterRename(m_settings, start, rule.counterStep, count);
    if (after.clearRule)
        rule.rule.clear();
    if (after.startText) {
        rule.startText = *after.startText;
        rule.counterStart = common::vbCLng(rule.startText);
    }
    if (after.stepText) {
        rule.stepText = *after.stepText;
        rule.counterStep = common::vbCInt(rule.stepText);
    }
    return after;
}

void MainController::noteRenamed(const rename::PlannedRename &entry)
{
    // Positions come in descending order: the rows of those still to do keep their places.
    m_renamedRows.append({entry.position - 1, rename::displayPath(entry.oldPath)});
    qint32 &total = m_settings.General_NombreFichierRenomme;
    if (total < std::numeric_limits<qint32>::max())
        ++total;
}

void MainController::dropRenamedRows()
{
    if (m_renamedRows.isEmpty())
        return;
    QList<int> rows;
    rows.reserve(m_renamedRows.size());
    for (const auto &[row, path] : std::as_const(m_renamedRows)) {
        if (row < m_files.count() && m_files.entry(row).path() == path)
            rows.append(row);
    }
    m_files.removeEntries(rows);
    m_renamedRows.clear();
}

bool MainController::undoAvailable() const
{
    return !m_settingsFolder.isEmpty() && QFile::exists(rename::UndoRecord(m_settingsFolder).path());
}

std::optional<int> MainController::furtherPass(const QString &passesText, const rename::RenamePlan &plan,
                                               const rename::RenameReport &report)
{
    if (!common::vbIsNumeric(passesText))
        return std::nullopt;
    const qint16 passes = common::vbCInt(passesText);
    if (passes < 1)
        return std::nullopt;
    addRenamedBack(plan, report);
    return passes - 1;
}

void MainController::addRenamedBack(const rename::RenamePlan &plan, const rename::RenameReport &report)
{
    QSet<QString> listedNames;
    for (const filelist::FileEntry &entry : m_files.entries())
        listedNames.insert(entry.name);
    beginNames();
    for (qsizetype i = 0; i < plan.entries.size(); ++i) {
        if (report.outcomes.value(i, rename::Outcome::NotReached) != rename::Outcome::Renamed)
            continue;
        const QString path = rename::displayPath(plan.entries[i].newPath);
        const QString name = common::ZubGetFileName(path);
        if (listedNames.contains(name))
            continue;
        listedNames.insert(name);
        if (addName(path))
            break;
    }
    endNames();
}

void MainController::dropUndone(const rename::UndoReport &undo)
{
    if (m_files.count() == 0)
        return;
    QSet<QString> left;
    for (qsizetype i = 0; i < undo.report.outcomes.size(); ++i) {
        if (undo.report.outcomes[i] == rename::Outcome::Renamed)
            left.insert(rename::displayPath(undo.plan.entries[i].oldPath));
    }
    if (left.isEmpty())
        return;
    QList<int> rows;
    for (int row = 0; row < m_files.count(); ++row) {
        if (left.contains(m_files.entry(row).path()))
            rows.append(row);
    }
    m_files.removeEntries(rows);
}

std::optional<rename::UndoReport> MainController::undo()
{
    rename::FileOps fs;
    // A record of a million renames takes seconds to read: it is read off the
    // window's thread, the window in its undoing state meanwhile, and the
    // same reading serves the question and the undo.
    beginRename(State::Undoing);
    std::unique_ptr<rename::PendingUndo> pending = offThread([&] {
        common::giveBackFreePages();
        return std::make_unique<rename::PendingUndo>(m_settingsFolder);
    });
    const bool stopped = m_stopRequested;
    setState(State::Idle);
    if (pending->lockError() == 0 && pending->recordError() != 0) {
        pending.reset();
        if (const auto damaged = rename::damagedRecord(rename::RecordKind::Undo, m_settingsFolder, fs))
            offerSetAside(*damaged);
        return std::nullopt;
    }
    // Nothing to ask about when the record holds nothing: the undo itself says what is wrong.
    if (stopped || (pending->count() > 0 && !m_ui.askUndo(int(pending->count()))))
        return std::nullopt;
    rename::UndoReport undo;
    {
        const std::unique_ptr<rename::RenameObserver> frame = m_ui.renameFrame(State::Undoing);
        undo = runInFrame(*frame, false, [&](rename::RenameObserver &relay) {
            return rename::undoLastRename(*pending, relay, fs);
        });
    }
    pending.reset();
    dropUndone(undo);
    return undo;
}

rename::UndoReport MainController::undoHistoryRun(int number)
{
    rename::FileOps fs;
    rename::UndoReport undo;
    {
        const std::unique_ptr<rename::RenameObserver> frame = m_ui.renameFrame(State::Undoing);
        undo = runInFrame(*frame, false, [&](rename::RenameObserver &relay) {
            return rename::undoHistoryRun(m_settingsFolder, number, relay, fs);
        });
    }
    dropUndone(undo);
    return undo;
}

bool MainController::offerRecovery()
{
    if (m_settingsFolder.isEmpty() || !rename::interruptedRenameWaiting(m_settingsFolder))
        return false;
    rename::FileOps fs;
    if (const auto damaged = rename::damagedRecord(rename::RecordKind::Journal, m_settingsFolder, fs)) {
        offerSetAside(*damaged);
        return true;
    }
    if (!m_ui.askRecovery())
        return true;
    setState(State::Recovering);
    const rename::RecoveryReport report = rename::recoverInterruptedRename(m_settingsFolder, fs);
    setState(State::Idle);
    // The recovery moved the files of the run: entries listed under their
    // old or temporary names would name nothing.
    dropMissingFiles();
    m_ui.tellRecovery(report);
    return true;
}

void MainController::tellCutShortRun()
{
    if (m_settingsFolder.isEmpty())
        return;
    if (const std::optional<rename::CutShortRun> run = rename::takeCutShortRun(m_settingsFolder))
        m_ui.tellCutShort(*run);
}

void MainController::dropMissingFiles()
{
    QList<int> rows;
    struct stat st {};
    for (int row = 0; row < m_files.count(); ++row) {
        if (::lstat(m_files.entry(row).nativePath().c_str(), &st) != 0)
            rows.append(row);
    }
    if (rows.isEmpty())
        return;
    m_files.removeEntries(rows);
    checkConflicts();
    m_ui.workEnded();
}

void MainController::offerSetAside(const rename::DamagedRecord &record)
{
    if (m_ui.askSetAside(record))
        m_ui.tellSetAside(rename::setAsideRecord(record.kind, m_settingsFolder));
}

} // namespace tarvello::controller
