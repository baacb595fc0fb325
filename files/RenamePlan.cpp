#include "files/RenamePlan.h"

#include "app/Settings.h"
#include "common/Vb.h"
#include "lang/Language.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include <limits>

namespace tarvello::files {

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

QString caseKey(const QByteArray &path)
{
    return common::vbUCase(QFile::decodeName(path));
}

bool validTarget(const QByteArray &newPath)
{
    const QByteArray name = nativeNameOf(newPath);
    return !name.isEmpty() && name != "." && name != ".." && name.size() <= kNameMax && !newPath.contains('\0');
}

} // namespace

Precheck precheckRename(const QList<ListEntry> &list, const RenameRequest &request)
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

PathPair pathPairFor(const ListEntry &entry)
{
    const QString folder = entry.folder + QLatin1Char('/');
    PathPair pair;
    pair.oldPath = QFile::encodeName(folder + entry.name);
    QString newName = entry.newName;
    newName.remove(kMkdirMark);
    newName.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!newName.contains(QLatin1Char('/'))) {
        pair.newPath = QFile::encodeName(folder + newName);
        return pair;
    }
    const QString lastPart = newName.mid(newName.lastIndexOf(QLatin1Char('/')) + 1);
    if (lastPart.isEmpty() || lastPart == QLatin1String(".") || lastPart == QLatin1String(".."))
        pair.preset = Conflict::InvalidName;
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
    pair.newPath = QFile::encodeName(pair.preset == Conflict::None ? QDir::cleanPath(target) : target);
    pair.makeFolder = pair.preset == Conflict::None;
    return pair;
}

int RenamePlan::conflictCount() const
{
    int count = 0;
    for (const PlannedRename &entry : entries)
        count += entry.heldBack() ? 1 : 0;
    return count;
}

RenamePlan planRename(const QList<PathPair> &pairs, FileOps &fs)
{
    const qsizetype n = pairs.size();
    RenamePlan plan;
    plan.entries.resize(n);

    QHash<QByteArray, Conflict> folders;
    QSet<QByteArray> newPaths;
    newPaths.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        PlannedRename &entry = plan.entries[i];
        entry.position = int(i + 1);
        entry.oldPath = pairs[i].oldPath;
        entry.newPath = pairs[i].newPath;
        entry.conflict = pairs[i].preset;
        if (entry.conflict == Conflict::None && !validTarget(entry.newPath))
            entry.conflict = Conflict::InvalidName;
        if (entry.conflict == Conflict::None && pairs[i].makeFolder) {
            const QByteArray folder = nativeFolderOf(entry.newPath);
            auto known = folders.constFind(folder);
            if (known == folders.constEnd())
                known = folders.insert(folder, fs.makeFolders(folder) == 0 ? Conflict::None : Conflict::FolderUnavailable);
            entry.conflict = *known;
        }
        newPaths.insert(entry.newPath);
    }

    // The prefix grows for good at the first temporary name that is taken, so
    // later positions keep the longer prefix; a name another position will
    // take as its new path counts as taken too.
    QByteArray prefix = "tmp_Tarv";
    for (PlannedRename &entry : plan.entries) {
        const QByteArray base = entry.oldPath.left(entry.oldPath.lastIndexOf('/') + 1);
        const QByteArray tail = '_' + QByteArray::number(entry.position) + '_' + nativeNameOf(entry.oldPath);
        for (;;) {
            entry.tempPath = base + prefix + tail;
            if (!newPaths.contains(entry.tempPath) && !fs.exists(entry.tempPath))
                break;
            prefix += '_';
        }
        entry.identity = fs.identity(entry.oldPath);
    }
    plan.tempPrefix = prefix;

    QHash<QByteArray, qsizetype> exactOld;
    QMultiHash<QString, qsizetype> oldByKey;
    QMultiHash<QString, qsizetype> newByKey;
    QHash<QString, int> newCount;
    QList<QString> oldKeys(n);
    QList<QString> newKeys(n);
    exactOld.reserve(n);
    oldByKey.reserve(n);
    newByKey.reserve(n);
    newCount.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        PlannedRename &entry = plan.entries[i];
        oldKeys[i] = caseKey(entry.oldPath);
        newKeys[i] = caseKey(entry.newPath);
        if (exactOld.contains(entry.oldPath)) {
            if (entry.conflict == Conflict::None)
                entry.conflict = Conflict::DuplicateSource;
        } else {
            exactOld.insert(entry.oldPath, i);
        }
        oldByKey.insert(oldKeys[i], i);
        newByKey.insert(newKeys[i], i);
        ++newCount[newKeys[i]];
    }

    for (qsizetype i = 0; i < n; ++i) {
        PlannedRename &entry = plan.entries[i];
        if (entry.conflict != Conflict::None)
            continue;
        if (newCount.value(newKeys[i]) > 1) {
            entry.conflict = Conflict::DuplicateTarget;
            continue;
        }
        const std::optional<FileIdentity> occupant = fs.identity(entry.newPath);
        if (!occupant || exactOld.contains(entry.newPath))
            continue;
        // Case ignored, the target may still be a file this operation moves
        // away, when the file system itself ignores case: it is then the same file.
        bool movedAway = false;
        for (auto it = oldByKey.constFind(newKeys[i]); it != oldByKey.constEnd() && it.key() == newKeys[i]; ++it)
            movedAway = movedAway || plan.entries[*it].identity == occupant;
        if (!movedAway)
            entry.conflict = Conflict::TargetExists;
    }

    // A file left in place keeps its path taken: whoever would move onto it
    // is left alone too, and so on until nothing changes.
    QList<qsizetype> pending;
    for (qsizetype i = 0; i < n; ++i) {
        if (plan.entries[i].conflict != Conflict::None)
            pending.append(i);
    }
    while (!pending.isEmpty()) {
        const qsizetype stay = pending.takeLast();
        for (auto it = newByKey.constFind(oldKeys[stay]); it != newByKey.constEnd() && it.key() == oldKeys[stay]; ++it) {
            PlannedRename &blocked = plan.entries[*it];
            if (blocked.conflict == Conflict::None) {
                blocked.conflict = Conflict::TargetHeldBack;
                pending.append(*it);
            }
        }
    }
    return plan;
}

RenamePlan planRename(const QList<ListEntry> &entries, FileOps &fs)
{
    QList<PathPair> pairs;
    pairs.reserve(entries.size());
    for (const ListEntry &entry : entries)
        pairs.append(pathPairFor(entry));
    return planRename(pairs, fs);
}

QString displayPath(const QByteArray &nativePath)
{
    return QFile::decodeName(nativePath);
}

RuleAfterRename ruleAfterRename(const app::Settings &settings, qint32 start, qint16 step, int count)
{
    RuleAfterRename after;
    after.clearRule = settings.Option_RegleApresRenommage == 0;
    if (settings.Option_RegleDebutApresRenommage == 0) {
        after.startText = QString::number(settings.Option_RegleDebutResetRenommage);
    } else if (settings.Option_RegleDebutApresRenommage == 2 && start != app::kContinuationStart) {
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

} // namespace tarvello::files
