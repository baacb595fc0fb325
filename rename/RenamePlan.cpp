#include "rename/RenamePlan.h"

#include "settings/Settings.h"
#include "common/NativePath.h"
#include "common/Vb.h"
#include "lang/Language.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <limits>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tarvello::rename {

namespace {

constexpr qsizetype kNameMax = 255;
const QString kMkdirMark = QStringLiteral("$MKDIR");

int decimalDigits(qint64 value)
{
    return int(QByteArray::number(value < 0 ? -value : value).size());
}

// The capacity check only applies when the rule has a counter and the start
// is a number (continuation mode takes its numbers from the folder).
std::optional<CounterCapacity> capacityShortfall(const RenameRequest &request, int count)
{
    const int digits = int(request.rule.count(QLatin1Char('#')));
    if (digits == 0 || !common::vbIsNumeric(request.startText))
        return std::nullopt;
    const qint64 start = common::vbCLng(request.startText);
    const qint64 step = common::vbCInt(request.stepText);
    const qint64 last = step * (count - 1) + start;
    // 10^19 no longer fits, and no last value reaches 10^18.
    if (digits >= 19)
        return std::nullopt;
    qint64 limit = 1;
    for (int i = 0; i < digits; ++i)
        limit *= 10;
    if (limit > last)
        return std::nullopt;
    return CounterCapacity{digits, QString(digits, QLatin1Char('9')), last, decimalDigits(last)};
}

std::string_view view(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), size_t(bytes.size()));
}

// How many of the plan's paths lie in each folder. Paths come folder after
// folder, so runs are counted before they reach the table.
class FolderTally
{
public:
    void add(const QByteArray &path)
    {
        const QByteArrayView folder(path.constData(), qMax<qsizetype>(path.lastIndexOf('/'), 0));
        if (m_run > 0 && folder == QByteArrayView(m_folder)) {
            ++m_run;
            return;
        }
        flush();
        m_folder = folder.toByteArray();
        m_run = 1;
    }

    QHash<QByteArray, qsizetype> counts()
    {
        flush();
        return m_counts;
    }

private:
    void flush()
    {
        if (m_run > 0)
            m_counts[m_folder] += m_run;
        m_run = 0;
    }

    QHash<QByteArray, qsizetype> m_counts;
    QByteArray m_folder;
    qsizetype m_run = 0;
};

// Whether paths exist, from one reading of a folder where the plan looks up
// many names in it, else by asking the file system path by path.
class ExistenceProbe
{
public:
    ExistenceProbe(FileOps &fs, QHash<QByteArray, qsizetype> lookups)
        : m_fs(fs)
        , m_lookups(std::move(lookups))
    {
    }

    bool exists(const QByteArray &path)
    {
        const qsizetype slash = path.lastIndexOf('/');
        if (slash > 0) {
            // Paths come folder after folder: the last folder is asked first.
            const QByteArrayView folder(path.constData(), slash);
            if (!m_last || folder != QByteArrayView(m_lastFolder)) {
                m_lastFolder = folder.toByteArray();
                auto listing = m_listings.find(m_lastFolder);
                if (listing == m_listings.end())
                    listing = m_listings.insert(m_lastFolder, m_fs.folderNames(m_lastFolder, m_lookups.value(m_lastFolder)));
                m_last = &*listing;
            }
            if (*m_last)
                return (*m_last)->contains(QByteArray::fromRawData(path.constData() + slash + 1, path.size() - slash - 1));
        }
        return m_fs.exists(path);
    }

private:
    FileOps &m_fs;
    QHash<QByteArray, qsizetype> m_lookups;
    QHash<QByteArray, std::optional<QSet<QByteArray>>> m_listings;
    QByteArray m_lastFolder;
    const std::optional<QSet<QByteArray>> *m_last = nullptr;
};

// An old path must name one entry, written one way only: folders are told
// apart from what lies inside them by their paths alone.
bool validSource(const QByteArray &oldPath)
{
    const QByteArray name = nativeNameOf(oldPath);
    return !name.isEmpty() && name != "." && name != ".." && !oldPath.contains("//") && !oldPath.contains("/./")
        && !oldPath.contains("/../") && !oldPath.startsWith("./") && !oldPath.startsWith("../");
}

// The end of the kept part when a name is cut to at most room bytes: never
// inside a UTF-8 character, so a name that was text stays text.
qsizetype cutAtCharacter(QByteArrayView name, qsizetype room)
{
    if (name.size() <= room)
        return name.size();
    qsizetype keep = qMax<qsizetype>(room, 0);
    while (keep > 0 && (uchar(name[keep]) & 0xC0) == 0x80)
        --keep;
    return keep;
}

// The entries of a plan by the case-ignoring keys of their old paths, and
// for any path the nearest of them that holds it. Folders already walked are
// remembered, so walking the paths of a plan costs about one lookup a path.
class ListedAncestors
{
public:
    // The key must stay put while this lives.
    void add(const QByteArray &key, qsizetype entry)
    {
        const auto [first, fresh] = m_first.try_emplace(view(key), entry);
        if (!fresh && first->second != entry)
            m_more.insert(key, entry);
    }

    // The key of the nearest listed folder holding the path of this key; ""
    // for none.
    QByteArray above(const QByteArray &key)
    {
        QByteArray found;
        QByteArrayList walked;
        for (qsizetype slash = key.lastIndexOf('/'); slash > 0; slash = key.lastIndexOf('/', slash - 1)) {
            const QByteArray folder = key.left(slash);
            if (const auto known = m_nearest.constFind(folder); known != m_nearest.constEnd()) {
                found = *known;
                break;
            }
            walked.append(folder);
            if (m_first.count(view(folder)) > 0) {
                found = folder;
                break;
            }
        }
        for (const QByteArray &folder : walked)
            m_nearest.insert(folder, found);
        return found;
    }

    // Every entry listed under the key (a folder listed twice, or under names
    // differing in case only).
    QList<qsizetype> entriesAt(const QByteArray &key) const
    {
        QList<qsizetype> entries = m_more.values(key);
        if (const auto first = m_first.find(view(key)); first != m_first.end())
            entries.append(first->second);
        return entries;
    }

private:
    std::unordered_map<std::string_view, qsizetype> m_first;
    QMultiHash<QByteArray, qsizetype> m_more;
    QHash<QByteArray, QByteArray> m_nearest;
};

// Paths with the links of their folder followed, as the system follows them
// when it renames; each folder is resolved once.
class ResolvedPaths
{
public:
    explicit ResolvedPaths(FileOps &fs) : m_fs(fs) {}

    // "" when the folder cannot be resolved or has no link to follow.
    QByteArray of(const QByteArray &path)
    {
        const QByteArray folder = nativeFolderOf(path);
        if (folder.isEmpty())
            return {};
        auto resolved = m_folders.find(folder);
        if (resolved == m_folders.end())
            resolved = m_folders.insert(folder, m_fs.resolvedFolder(folder));
        if (resolved->isEmpty() || *resolved == folder)
            return {};
        return (*resolved == "/" ? QByteArray() : *resolved) + '/' + nativeNameOf(path);
    }

private:
    FileOps &m_fs;
    QHash<QByteArray, QByteArray> m_folders;
};

} // namespace

QByteArray caseKey(const QByteArray &path)
{
    // Plain ASCII paths, the common case, skip the trip through text.
    for (const char c : path) {
        if (uchar(c) < 0x80)
            continue;
        // Bytes that are not text have no case: U+FFFD would make different
        // names one.
        const common::NativePath native = common::NativePath::fromBytes(path);
        return native.textIsExact() ? common::vbUCase(native.text()).toUtf8() : path;
    }
    return path.toUpper();
}

bool validTarget(const QByteArray &newPath)
{
    const QByteArray name = nativeNameOf(newPath);
    return !name.isEmpty() && name != "." && name != ".." && name.size() <= kNameMax && !newPath.contains('\0');
}

Precheck precheckRename(const QList<filelist::FileEntry> &list, const RenameRequest &request)
{
    Precheck check;
    for (qsizetype row = 0; row < list.size(); ++row) {
        const QString &newName = list[row].newName;
        if (newName == request.forbiddenFileText || newName == request.outsideFilterText)
            check.dropped.append(int(row));
        else
            check.entries.append(list[row]);
    }
    if (request.rule.isEmpty()) {
        check.outcome = PrecheckOutcome::EmptyRule;
        return check;
    }
    if (check.entries.isEmpty() || common::vbTrim(request.rule).isEmpty()) {
        check.outcome = PrecheckOutcome::NothingToDo;
        return check;
    }
    if (const auto shortfall = capacityShortfall(request, int(check.entries.size()))) {
        check.outcome = PrecheckOutcome::CounterTooSmall;
        check.capacity = *shortfall;
        return check;
    }
    check.outcome = PrecheckOutcome::Ready;
    return check;
}

QString counterCapacityQuestion(lang::Messages &messages, const CounterCapacity &capacity)
{
    return messages.GetMessage(32, QString::number(capacity.digits), capacity.largest)
        + messages.GetMessage(33, QString::number(capacity.last), QString::number(capacity.needed))
        + QStringLiteral("\r\n") + messages.GetMessage(34);
}

namespace {

// The new path of a row whose folder is already in native form with its "/".
void newPathIn(const QByteArray &nativeFolder, const filelist::FileEntry &entry, PathPair &pair)
{
    QString newName = entry.newName;
    newName.remove(kMkdirMark);
    newName.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!newName.contains(QLatin1Char('/'))) {
        pair.newPath = nativeFolder + common::NativePath::fromText(newName).bytes();
        return;
    }
    const QString lastPart = newName.mid(newName.lastIndexOf(QLatin1Char('/')) + 1);
    if (lastPart.isEmpty() || lastPart == QLatin1String(".") || lastPart == QLatin1String(".."))
        pair.preset = Conflict::InvalidName;
    const QString folder = entry.folder + QLatin1Char('/');
    QString target;
    if (newName.startsWith(QLatin1Char('.'))) {
        target = folder + newName;
    } else if (newName.startsWith(QLatin1Char('/'))) {
        target = newName;
    } else {
        target = folder + newName;
        if (pair.preset == Conflict::None)
            pair.preset = Conflict::NoFolderRoot;
    }
    pair.newPath = common::NativePath::fromText(pair.preset == Conflict::None ? QDir::cleanPath(target) : target).bytes();
    pair.makeFolder = pair.preset == Conflict::None;
}

// The pair of a row whose folder is already in native form with its "/".
PathPair pathPairIn(const QByteArray &nativeFolder, const filelist::FileEntry &entry)
{
    PathPair pair;
    pair.oldPath = nativeFolder
        + (entry.nameIsText() ? common::NativePath::fromText(entry.name).bytes() : entry.notTextName);
    newPathIn(nativeFolder, entry, pair);
    return pair;
}

} // namespace

PathPair pathPairFor(const filelist::FileEntry &entry)
{
    return pathPairIn(common::NativePath::fromText(entry.folder + QLatin1Char('/')).bytes(), entry);
}

PathPair pathPairFor(const QByteArray &nativePath, const filelist::FileEntry &entry)
{
    PathPair pair;
    pair.oldPath = nativePath;
    newPathIn(nativePath.left(nativePath.lastIndexOf('/') + 1), entry, pair);
    return pair;
}

QByteArray temporaryPath(const QByteArray &oldPath, const QByteArray &prefix, int position)
{
    const qsizetype nameStart = oldPath.lastIndexOf('/') + 1;
    const QByteArray number = QByteArray::number(position);
    // A long name would push its temporary name past the system's limit: the
    // position alone keeps it unique, so the name is cut.
    const QByteArrayView name = QByteArrayView(oldPath).sliced(nameStart);
    const qsizetype kept = cutAtCharacter(name, kNameMax - (prefix.size() + number.size() + 2));
    QByteArray path;
    path.reserve(nameStart + prefix.size() + number.size() + 2 + kept);
    path.append(oldPath.constData(), nameStart).append(prefix).append('_').append(number).append('_');
    return path.append(name.first(kept));
}

int RenamePlan::conflictCount() const
{
    int count = 0;
    for (const PlannedRename &entry : entries)
        count += entry.heldBack() ? 1 : 0;
    return count;
}

RenamePlan planRename(const QList<PathPair> &pairs, FileOps &fs, Targets targets)
{
    const qsizetype n = pairs.size();
    RenamePlan plan;
    plan.entries.resize(n);

    const QByteArray tempStart = "tmp_Tarv";
    QHash<QByteArray, Conflict> folders;
    QSet<QByteArray> temporaryLookalikes; // new paths named like a temporary name
    FolderTally lookups;
    for (qsizetype i = 0; i < n; ++i) {
        PlannedRename &entry = plan.entries[i];
        entry.position = int(i + 1);
        entry.oldPath = pairs[i].oldPath;
        entry.newPath = pairs[i].newPath;
        entry.conflict = validSource(entry.oldPath) ? pairs[i].preset : Conflict::InvalidSource;
        if (entry.conflict == Conflict::None && !validTarget(entry.newPath))
            entry.conflict = Conflict::InvalidName;
        if (entry.conflict == Conflict::None && pairs[i].makeFolder) {
            const QByteArray folder = nativeFolderOf(entry.newPath);
            auto known = folders.constFind(folder);
            if (known == folders.constEnd())
                known = folders.insert(folder, fs.makeFolders(folder) == 0 ? Conflict::None : Conflict::FolderUnavailable);
            entry.conflict = *known;
        }
        if (QByteArrayView(entry.newPath).sliced(entry.newPath.lastIndexOf('/') + 1).startsWith(tempStart))
            temporaryLookalikes.insert(entry.newPath);
        lookups.add(entry.oldPath);
        lookups.add(entry.newPath);
    }
    ExistenceProbe probe(fs, lookups.counts());

    // The prefix grows for good at the first temporary name that is taken, so
    // later positions keep the longer prefix; a name another position will
    // take as its new path counts as taken too.
    QByteArray prefix = tempStart;
    for (PlannedRename &entry : plan.entries) {
        for (;;) {
            entry.tempPath = temporaryPath(entry.oldPath, prefix, entry.position);
            if (!temporaryLookalikes.contains(entry.tempPath) && !probe.exists(entry.tempPath))
                break;
            prefix += '_';
        }
        entry.identity = fs.identity(entry.oldPath);
    }
    plan.tempPrefix = prefix;

    // A file listed twice, and new paths equal (as new names: without regard
    // to case). Keyed by views of the paths and keys held by the plan, which
    // stay put.
    QList<QByteArray> oldKeys(n);
    QList<QByteArray> newKeys(n);
    for (qsizetype i = 0; i < n; ++i) {
        oldKeys[i] = caseKey(plan.entries[i].oldPath);
        newKeys[i] = caseKey(plan.entries[i].newPath);
    }
    const bool exactTargets = targets == Targets::FormerNames;
    auto targetKey = [&](qsizetype i) -> const QByteArray & { return exactTargets ? plan.entries[i].newPath : newKeys[i]; };
    std::unordered_set<std::string_view> oldPaths;
    oldPaths.reserve(size_t(n));
    std::unordered_map<std::string_view, qsizetype> firstWithNewKey;
    firstWithNewKey.reserve(size_t(n));
    for (qsizetype i = 0; i < n; ++i) {
        PlannedRename &entry = plan.entries[i];
        if (!oldPaths.insert(view(entry.oldPath)).second && entry.conflict == Conflict::None)
            entry.conflict = Conflict::DuplicateSource;
        const auto [first, fresh] = firstWithNewKey.try_emplace(view(targetKey(i)), i);
        if (fresh)
            continue;
        for (PlannedRename *same : {&entry, &plan.entries[first->second]}) {
            if (same->conflict == Conflict::None)
                same->conflict = Conflict::DuplicateTarget;
        }
    }

    // Built only when needed: the old paths by case-ignoring key.
    std::optional<QMultiHash<QByteArray, qsizetype>> oldByKey;
    for (qsizetype i = 0; i < n; ++i) {
        PlannedRename &entry = plan.entries[i];
        if (entry.conflict != Conflict::None || oldPaths.count(view(entry.newPath)) > 0 || !probe.exists(entry.newPath))
            continue;
        const std::optional<FileIdentity> occupant = fs.identity(entry.newPath);
        if (!occupant)
            continue;
        // Case ignored, the target may still be a file this operation moves
        // away, when the file system itself ignores case: it is then the same file.
        if (!oldByKey) {
            oldByKey.emplace();
            for (qsizetype k = 0; k < n; ++k)
                oldByKey->insert(oldKeys[k], k);
        }
        bool movedAway = false;
        for (auto it = oldByKey->constFind(newKeys[i]); it != oldByKey->constEnd() && it.key() == newKeys[i]; ++it)
            movedAway = movedAway || plan.entries[*it].identity == occupant;
        if (!movedAway)
            entry.conflict = Conflict::TargetExists;
    }

    // A folder that moves while an entry inside it moves too takes that
    // entry's temporary and new paths along, and the entry would be found at
    // neither. The folder stays, so its entries move in place; case is
    // ignored, as a file system may ignore it, and so are links in the
    // folders. Every entry counts, even one held back itself: the user
    // renames the folder in a later run.
    QList<QByteArray> resolvedOldKeys(n);
    QList<QByteArray> resolvedNewKeys(n);
    ResolvedPaths resolved(fs);
    ListedAncestors ancestors;
    for (qsizetype i = 0; i < n; ++i) {
        ancestors.add(oldKeys[i], i);
        if (const QByteArray path = resolved.of(plan.entries[i].oldPath); !path.isEmpty()) {
            resolvedOldKeys[i] = caseKey(path);
            ancestors.add(resolvedOldKeys[i], i);
        }
        if (const QByteArray path = resolved.of(plan.entries[i].newPath); !path.isEmpty())
            resolvedNewKeys[i] = caseKey(path);
    }
    auto holdFolderBack = [&](const QByteArray &folderKey, qsizetype inside, const QByteArray &insidePath) {
        if (folderKey.isEmpty())
            return;
        for (const qsizetype k : ancestors.entriesAt(folderKey)) {
            // A folder moved into itself fails when it runs, and harms nothing.
            if (k == inside || plan.entries[k].conflict != Conflict::None)
                continue;
            plan.entries[k].conflict = Conflict::RenamedInside;
            plan.entries[k].conflictPath = insidePath;
        }
    };
    for (qsizetype i = 0; i < n; ++i) {
        for (const QByteArray *key : {&oldKeys[i], &resolvedOldKeys[i]})
            holdFolderBack(ancestors.above(*key), i, plan.entries[i].oldPath);
        for (const QByteArray *key : {&newKeys[i], &resolvedNewKeys[i]})
            holdFolderBack(ancestors.above(*key), i, plan.entries[i].newPath);
    }

    // A file left in place keeps its path taken: whoever would move onto it
    // is left alone too, and so on until nothing changes.
    QList<qsizetype> pending;
    for (qsizetype i = 0; i < n; ++i) {
        if (plan.entries[i].conflict != Conflict::None)
            pending.append(i);
    }
    if (pending.isEmpty())
        return plan;
    QMultiHash<QByteArray, qsizetype> newByKey;
    newByKey.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        newByKey.insert(targetKey(i), i);
    while (!pending.isEmpty()) {
        const qsizetype left = pending.takeLast();
        const QByteArray &taken = exactTargets ? plan.entries[left].oldPath : oldKeys[left];
        for (auto it = newByKey.constFind(taken); it != newByKey.constEnd() && it.key() == taken; ++it) {
            PlannedRename &blocked = plan.entries[*it];
            if (blocked.conflict == Conflict::None) {
                blocked.conflict = Conflict::TargetHeldBack;
                pending.append(*it);
            }
        }
    }
    return plan;
}

QList<PathPair> pathPairsFor(const QList<filelist::FileEntry> &entries)
{
    QList<PathPair> pairs;
    pairs.reserve(entries.size());
    QString folder;
    QByteArray nativeFolder;
    for (const filelist::FileEntry &entry : entries) {
        if (nativeFolder.isEmpty() || entry.folder != folder) {
            folder = entry.folder;
            nativeFolder = common::NativePath::fromText(folder + QLatin1Char('/')).bytes();
        }
        pairs.append(pathPairIn(nativeFolder, entry));
    }
    return pairs;
}

RenamePlan planRename(const QList<filelist::FileEntry> &entries, FileOps &fs)
{
    return planRename(pathPairsFor(entries), fs);
}

QString displayPath(const QByteArray &nativePath)
{
    return common::NativePath::fromBytes(nativePath).text();
}

RuleAfterRename ruleAfterRename(const settings::Settings &settings, qint32 start, qint16 step, int count)
{
    RuleAfterRename after;
    after.clearRule = settings.Option_RegleApresRenommage == 0;
    if (settings.Option_RegleDebutApresRenommage == 0) {
        after.startText = QString::number(settings.Option_RegleDebutResetRenommage);
    } else if (settings.Option_RegleDebutApresRenommage == 2 && start != settings::kContinuationStart) {
        // Continuation mode finds its numbers in the folder, so it stays; a
        // next start beyond 32 bits leaves the start as it is.
        const qint64 next = qint64(step) * count + start;
        if (next >= std::numeric_limits<qint32>::min() && next <= std::numeric_limits<qint32>::max())
            after.startText = QString::number(next);
    }
    if (settings.Option_ReglePasApresRenommage == 0)
        after.stepText = QString::number(settings.Option_ReglePasResetRenommage);
    return after;
}

} // namespace tarvello::rename
