#include "rename/RenamePlan.h"

#include "settings/Settings.h"
#include "common/NativePath.h"
#include "common/Vb.h"
#include "lang/Language.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <QVarLengthArray>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

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

// How many of the plan's paths lie in each folder. Paths come folder after
// folder, so runs are counted before they reach the table.
class FolderTally
{
public:
    void add(const QByteArray &path)
    {
        const QByteArrayView folder(path.constData(), qMax<qsizetype>(lastSlash(path), 0));
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
        const qsizetype slash = lastSlash(path);
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
                return (*m_last)->contains(QByteArrayView(path).sliced(slash + 1));
        }
        return m_fs.exists(path);
    }

private:
    FileOps &m_fs;
    QHash<QByteArray, qsizetype> m_lookups;
    QHash<QByteArray, std::optional<common::FolderNames>> m_listings;
    QByteArray m_lastFolder;
    const std::optional<common::FolderNames> *m_last = nullptr;
};

// An old path must name one entry, written one way only: folders are told
// apart from what lies inside them by their paths alone.
bool validSource(const QByteArray &oldPath)
{
    // The one empty part allowed is the one before a leading "/".
    return hasCleanParts(oldPath.startsWith('/') ? QByteArrayView(oldPath).sliced(1) : QByteArrayView(oldPath));
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

// A path as the plan's tables compare it: its bytes, or its bytes raised,
// a-z read as A-Z, which is the case key of a plain ASCII path. Raised on
// the fly, as a table hashes and compares it, such a key needs no copy: a
// plan of a million paths would hold a million keys more.
struct PathKey {
    const char *data = nullptr;
    qint32 size = 0;
    bool raised = false;

    static PathKey exact(QByteArrayView path) { return {path.data(), qint32(path.size()), false}; }
    QByteArrayView view() const { return {data, size}; }
    PathKey first(qsizetype n) const { return {data, qint32(n), raised}; }
    bool isEmpty() const { return size == 0; }
};

// Eight ASCII bytes with a-z raised to A-Z: no sum carries out of its byte.
quint64 raisedWord(quint64 word)
{
    constexpr quint64 kOnes = 0x0101010101010101ull;
    const quint64 fromA = word + kOnes * (0x80 - 'a');
    const quint64 pastZ = word + kOnes * (0x80 - 'z' - 1);
    return word - ((fromA & ~pastZ & kOnes * 0x80) >> 2);
}

// Word number at of the key, eight bytes or what is left, as compared.
quint64 keyWord(PathKey key, qint32 at)
{
    quint64 word = 0;
    if (key.size - at >= 8)
        std::memcpy(&word, key.data + at, 8);
    else
        std::memcpy(&word, key.data + at, size_t(key.size - at));
    return key.raised ? raisedWord(word) : word;
}

// pathHash of the key's bytes as compared, raised or not.
quint32 keyHash(PathKey key)
{
    if (!key.raised)
        return quint32(pathHash(key.view()));
    return quint32(hashWords(key.size, [key](qsizetype at) { return keyWord(key, qint32(at)); }));
}

bool sameKey(PathKey a, PathKey b)
{
    if (a.size != b.size)
        return false;
    if (!a.raised && !b.raised)
        return a.view() == b.view();
    // Eight bytes a step, as keyHash reads them.
    for (qint32 at = 0; at < a.size; at += 8) {
        if (keyWord(a, at) != keyWord(b, at))
            return false;
    }
    return true;
}

struct KeyHash {
    size_t operator()(PathKey key) const { return keyHash(key); }
};
struct SameKey {
    bool operator()(PathKey a, PathKey b) const { return sameKey(a, b); }
};

// Positions of a plan under their keys, in flat arrays: no allocation per
// key, which matters at a million positions. The table keeps no key: it asks
// keyOf(position) for the key of a position it holds, which must not change
// while the table lives. Positions under equal keys are chained, the first
// one added first.
template<typename KeyOf>
class PositionTable
{
public:
    // Room for the expected positions with the table at most three quarters
    // full, so that it need not grow.
    PositionTable(qsizetype expected, KeyOf keyOf)
        : m_keyOf(std::move(keyOf))
    {
        m_nodes.reserve(size_t(expected));
        m_slots.assign(std::bit_ceil(size_t(expected) * 4 / 3 + 2), -1);
    }

    // Adds the position under its key; the position first added under it,
    // or -1 when the key is new.
    qsizetype add(qsizetype position)
    {
        if (m_nodes.size() * 4 >= m_slots.size() * 3)
            grow();
        const PathKey key = m_keyOf(position);
        const quint32 hash = keyHash(key);
        const size_t slot = find(key, hash);
        const auto node = qint32(m_nodes.size());
        if (m_slots[slot] < 0) {
            m_nodes.push_back({hash, qint32(position), -1});
            m_slots[slot] = node;
            return -1;
        }
        Node &first = m_nodes[size_t(m_slots[slot])];
        m_nodes.push_back({hash, qint32(position), first.next});
        m_nodes[size_t(m_slots[slot])].next = node;
        return m_nodes[size_t(m_slots[slot])].position;
    }

    bool contains(PathKey key) const { return m_slots[find(key, keyHash(key))] >= 0; }

    // Calls each(position) for every position under the key.
    template<typename Each>
    void forEach(PathKey key, Each each) const
    {
        for (qint32 node = m_slots[find(key, keyHash(key))]; node >= 0; node = m_nodes[size_t(node)].next)
            each(qsizetype(m_nodes[size_t(node)].position));
    }

private:
    // Twelve bytes: a plan of a million positions holds three such tables.
    struct Node {
        quint32 hash;
        qint32 position;
        qint32 next;
    };

    size_t find(PathKey key, quint32 hash) const
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const qint32 node = m_slots[slot];
            if (node < 0)
                return slot;
            const Node &held = m_nodes[size_t(node)];
            if (held.hash == hash && sameKey(m_keyOf(held.position), key))
                return slot;
        }
    }

    void grow()
    {
        const std::vector<qint32> old = std::move(m_slots);
        m_slots.assign(old.size() * 2, -1);
        const size_t mask = m_slots.size() - 1;
        for (const qint32 node : old) {
            if (node < 0)
                continue;
            size_t slot = m_nodes[size_t(node)].hash & mask;
            while (m_slots[slot] >= 0)
                slot = (slot + 1) & mask;
            m_slots[slot] = node;
        }
    }

    KeyOf m_keyOf;
    std::vector<Node> m_nodes;
    std::vector<qint32> m_slots;
};

// The case keys of the paths whose keys are not raised on the fly, packed in
// large blocks that never move, so that views of them stay put; one
// allocation for thousands of keys.
class KeyStore
{
public:
    // The path as caseKey gives it.
    QByteArrayView caseKeyOf(QByteArrayView path)
    {
        for (const char c : path) {
            if (uchar(c) >= 0x80)
                return add(caseKey(path.toByteArray()));
        }
        char *key = room(path.size());
        for (qsizetype i = 0; i < path.size(); ++i) {
            const char c = path[i];
            key[i] = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        }
        return {key, path.size()};
    }

private:
    static constexpr qsizetype kBlock = 1 << 20;

    QByteArrayView add(QByteArrayView bytes)
    {
        char *key = room(bytes.size());
        std::memcpy(key, bytes.data(), size_t(bytes.size()));
        return {key, bytes.size()};
    }

    char *room(qsizetype size)
    {
        if (size > m_left) {
            m_left = qMax(kBlock, size);
            m_blocks.push_back(std::make_unique<char[]>(size_t(m_left)));
            m_free = m_blocks.back().get();
        }
        char *start = m_free;
        m_free += size;
        m_left -= size;
        return start;
    }

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char *m_free = nullptr;
    qsizetype m_left = 0;
};

// The entries of a plan by the case-ignoring keys of their old paths, and
// for any path the nearest of them that holds it. Folders already walked are
// remembered, so walking the paths of a plan costs about one lookup a path.
// The keys, keyOf(entry), must stay put while this lives.
template<typename KeyOf>
class ListedAncestors
{
public:
    ListedAncestors(qsizetype expected, KeyOf keyOf) : m_entries(expected, std::move(keyOf)) {}

    void add(qsizetype entry) { m_entries.add(entry); }

    // The key of the nearest listed folder holding the path of this key; ""
    // for none.
    PathKey above(PathKey key)
    {
        PathKey found;
        QVarLengthArray<PathKey, 16> walked;
        for (qsizetype slash = lastSlash(key.view()); slash > 0; slash = lastSlash(key.view().first(slash))) {
            const PathKey folder = key.first(slash);
            if (const auto known = m_nearest.find(folder); known != m_nearest.end()) {
                found = known->second;
                break;
            }
            walked.append(folder);
            if (m_entries.contains(folder)) {
                found = folder;
                break;
            }
        }
        for (const PathKey folder : walked)
            m_nearest.emplace(folder, found);
        return found;
    }

    // Every entry listed under the key (a folder listed twice, or under names
    // differing in case only).
    template<typename Each>
    void forEachAt(PathKey key, Each each) const
    {
        m_entries.forEach(key, each);
    }

private:
    PositionTable<KeyOf> m_entries;
    std::unordered_map<PathKey, PathKey, KeyHash, SameKey> m_nearest;
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
        const qsizetype slash = lastSlash(path);
        if (slash < 0)
            return {};
        // Paths come folder after folder: the last folder is asked first.
        const QByteArrayView folder(path.constData(), qMax<qsizetype>(slash, 1));
        if (m_lastFolder.isNull() || folder != QByteArrayView(m_lastFolder)) {
            m_lastFolder = folder.toByteArray();
            auto resolved = m_folders.constFind(m_lastFolder);
            if (resolved == m_folders.constEnd())
                resolved = m_folders.insert(m_lastFolder, m_fs.resolvedFolder(m_lastFolder));
            m_lastResolved = *resolved;
        }
        if (m_lastResolved.isEmpty() || m_lastResolved == m_lastFolder)
            return {};
        return (m_lastResolved == "/" ? QByteArray() : m_lastResolved) + '/' + nativeNameOf(path);
    }

private:
    FileOps &m_fs;
    QHash<QByteArray, QByteArray> m_folders;
    QByteArray m_lastFolder;
    QByteArray m_lastResolved;
};

} // namespace

QByteArray caseKey(const QByteArray &path)
{
    // Plain ASCII paths, the common case, skip the trip through text.
    if (common::isAscii(path))
        return path.toUpper();
    // Bytes that are not text have no case: U+FFFD would make different
    // names one.
    const common::NativePath native = common::NativePath::fromBytes(path);
    return native.textIsExact() ? common::vbUCase(native.text()).toUtf8() : path;
}

bool validTarget(const QByteArray &newPath)
{
    const QByteArrayView name = QByteArrayView(newPath).sliced(lastSlash(newPath) + 1);
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
void newPathIn(QByteArrayView nativeFolder, const filelist::FileEntry &entry, PathPair &pair)
{
    // Most new names are plain ASCII without a folder part or a mark: their
    // bytes are their characters.
    const QString &given = entry.newName;
    if (common::isAscii(QStringView(given)) && !given.contains(QLatin1Char('/')) && !given.contains(QLatin1Char('\\'))
        && !given.contains(QLatin1Char('$'))) {
        pair.newPath = QByteArray(nativeFolder.size() + given.size(), Qt::Uninitialized);
        char *out = std::copy(nativeFolder.cbegin(), nativeFolder.cend(), pair.newPath.data());
        for (const QChar c : given)
            *out++ = char(c.unicode());
        return;
    }
    QString newName = entry.newName;
    newName.remove(kMkdirMark);
    newName.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!newName.contains(QLatin1Char('/'))) {
        pair.newPath = nativeFolder.toByteArray() + common::NativePath::fromText(newName).bytes();
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
    newPathIn(QByteArrayView(nativePath).first(lastSlash(nativePath) + 1), entry, pair);
    return pair;
}

namespace {

// RenamePlan::temporaryPath with that prefix, written into path.
void temporaryPathOf(const QByteArray &oldPath, QByteArrayView prefix, int position, QByteArray &path)
{
    const qsizetype nameStart = lastSlash(oldPath) + 1;
    char digits[12];
    const QByteArrayView number(digits, std::to_chars(digits, digits + sizeof digits, position).ptr - digits);
    // A long name would push its temporary name past the system's limit: the
    // position alone keeps it unique, so the name is cut.
    const QByteArrayView name = QByteArrayView(oldPath).sliced(nameStart);
    const qsizetype kept = cutAtCharacter(name, kNameMax - (prefix.size() + number.size() + 2));
    path.resize(nameStart + prefix.size() + number.size() + 2 + kept);
    char *out = std::copy_n(oldPath.constData(), nameStart, path.data());
    out = std::copy(prefix.cbegin(), prefix.cend(), out);
    *out++ = '_';
    out = std::copy(number.cbegin(), number.cend(), out);
    *out++ = '_';
    std::copy_n(name.data(), kept, out);
}

} // namespace

void RenamePlan::temporaryPath(const PlannedRename &entry, QByteArray &path) const
{
    // Positions planned before a growth keep the shorter prefix.
    const auto later = prefixGrowths.cend() - std::upper_bound(prefixGrowths.cbegin(), prefixGrowths.cend(), entry.position);
    temporaryPathOf(entry.oldPath, QByteArrayView(tempPrefix).chopped(later), entry.position, path);
}

QByteArray RenamePlan::temporaryPath(const PlannedRename &entry) const
{
    QByteArray path;
    temporaryPath(entry, path);
    return path;
}

int RenamePlan::conflictCount() const
{
    int count = 0;
    for (const PlannedRename &entry : entries)
        count += entry.heldBack() ? 1 : 0;
    return count;
}

IdentitiesAhead::IdentitiesAhead(FileOps &fs, qsizetype most)
    : m_fs(fs)
    , m_most(std::max<qsizetype>(most, 0))
    , m_found(std::make_unique_for_overwrite<Found[]>(size_t(m_most)))
    , m_owner(std::this_thread::get_id())
{
    m_paths.reserve(size_t(m_most));
    m_given = m_paths.data();
    m_lookups.emplace(fs, [this] { lookUp(); });
}

IdentitiesAhead::~IdentitiesAhead()
{
    if (!m_delivered)
        m_dropped.store(true, std::memory_order_relaxed);
    close();
}

void IdentitiesAhead::add(const QByteArray &oldPath)
{
    if (m_added >= m_most) {
        ++m_added;
        return;
    }
    m_paths.push_back(oldPath);
    m_published.store(++m_added, std::memory_order_release);
    // The thread sleeps only once it has caught up: waking it now and then is enough.
    if (m_added % 256 == 0)
        m_published.notify_one();
}

void IdentitiesAhead::close()
{
    if (m_published.load(std::memory_order_relaxed) & kClosed)
        return;
    m_published.store(std::min(m_added, m_most) | kClosed, std::memory_order_release);
    m_published.notify_one();
}

bool IdentitiesAhead::lookUpNext(qsizetype given)
{
    // A few at a time: both threads claim from the same count.
    constexpr qsizetype kAtOnce = 16;
    qsizetype first = m_claimed.load(std::memory_order_relaxed);
    qsizetype end = 0;
    do {
        if (first >= given)
            return false;
        end = std::min(first + kAtOnce, given);
    } while (!m_claimed.compare_exchange_weak(first, end, std::memory_order_relaxed));
    for (qsizetype i = first; i < end; ++i) {
        const std::optional<FileIdentity> identity = m_fs.identity(m_given[i]);
        m_found[size_t(i)] = {identity.value_or(FileIdentity{}), identity.has_value()};
    }
    return true;
}

void IdentitiesAhead::lookUp()
{
    // Without a thread of its own this runs at once on the caller's, before
    // any path is given: the caller then looks every one up at delivery.
    if (std::this_thread::get_id() == m_owner)
        return;
    for (;;) {
        const qsizetype published = m_published.load(std::memory_order_acquire);
        while (!m_dropped.load(std::memory_order_relaxed) && lookUpNext(published & ~kClosed)) {
        }
        if ((published & kClosed) || m_dropped.load(std::memory_order_relaxed))
            return;
        m_published.wait(published, std::memory_order_acquire);
    }
}

void IdentitiesAhead::deliver(PlannedRename *entries, qsizetype count)
{
    if (m_delivered)
        return;
    m_delivered = true;
    close();
    const qsizetype given = std::min(m_added, m_most);
    while (lookUpNext(given)) {
    }
    m_lookups.reset();
    for (qsizetype i = 0; i < count; ++i) {
        // The pairs share their bytes with the paths given here; a path that
        // is not the one looked up is looked up now.
        const bool lookedUp = i < given
            && (m_given[i].constData() == entries[i].oldPath.constData() || m_given[i] == entries[i].oldPath);
        if (!lookedUp)
            entries[i].identity = m_fs.identity(entries[i].oldPath);
        else if (m_found[size_t(i)].present)
            entries[i].identity = m_found[size_t(i)].identity;
        else
            entries[i].identity.reset();
    }
    m_paths = {};
    m_found.reset();
}

namespace {

// The plan of the pairs; owned, when given, is the list the pairs are, let go
// once the plan's entries share their paths. With ahead, the identities are
// those it looked up.
RenamePlan planPairs(const QList<PathPair> &pairs, QList<PathPair> *owned, FileOps &fs, Targets targets,
                     IdentitiesAhead *ahead = nullptr)
{
    const FileOps::FolderHold hold(fs);
    const qsizetype n = pairs.size();
    RenamePlan plan;
    // Exactly n: resize alone would round the block up to a power of two.
    plan.entries.reserve(n);
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
        if (QByteArrayView(entry.newPath).sliced(lastSlash(entry.newPath) + 1).startsWith(tempStart))
            temporaryLookalikes.insert(entry.newPath);
        lookups.add(entry.oldPath);
        lookups.add(entry.newPath);
    }
    if (owned)
        *owned = {};
    std::optional<ExistenceProbe> probe(std::in_place, fs, lookups.counts());
    // The files' identities are looked up aside while the plan goes on;
    // nothing reads one before the wait.
    PlannedRename *const planned = plan.entries.data();
    std::optional<FileOps::LookupsAside> identities;
    if (!ahead) {
        identities.emplace(fs, [&fs, planned, n] {
            for (qsizetype i = 0; i < n; ++i)
                planned[i].identity = fs.identity(planned[i].oldPath);
        });
    }
    auto waitForIdentities = [&] {
        if (ahead)
            ahead->deliver(planned, n);
        else
            identities->wait();
    };

    // The prefix grows for good at the first temporary name that is taken, so
    // later positions keep the longer prefix; a name another position will
    // take as its new path counts as taken too.
    QByteArray prefix = tempStart;
    QByteArray tempPath;
    for (PlannedRename &entry : plan.entries) {
        for (;;) {
            temporaryPathOf(entry.oldPath, prefix, entry.position, tempPath);
            if (!temporaryLookalikes.contains(tempPath) && !probe->exists(tempPath))
                break;
            prefix += '_';
            plan.prefixGrowths.append(entry.position);
        }
    }
    plan.tempPrefix = prefix;
    // What has a new path now, asked while the folder listings are at hand:
    // they go before the tables below are made.
    std::vector<bool> newPathTaken(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i)
        newPathTaken[size_t(i)] = plan.entries[i].conflict == Conflict::None && probe->exists(plan.entries[i].newPath);
    probe.reset();

    // A file listed twice, and new paths equal (as new names: without regard
    // to case). Keyed by views of the plan's paths, raised as they are
    // compared, and of keys that stay put. Most paths are plain ASCII: a
    // table of the keys of others is made once one is not.
    KeyStore keys;
    std::vector<QByteArrayView> storedOldKeys;
    std::vector<QByteArrayView> storedNewKeys;
    auto keepKey = [n](std::vector<QByteArrayView> &keys, qsizetype i, QByteArrayView key) {
        if (keys.empty())
            keys.resize(size_t(n));
        keys[size_t(i)] = key;
    };
    for (qsizetype i = 0; i < n; ++i) {
        if (!common::isAscii(plan.entries[i].oldPath))
            keepKey(storedOldKeys, i, keys.caseKeyOf(plan.entries[i].oldPath));
        if (!common::isAscii(plan.entries[i].newPath))
            keepKey(storedNewKeys, i, keys.caseKeyOf(plan.entries[i].newPath));
    }
    // The stored key, or else the path raised.
    auto keyAt = [](const std::vector<QByteArrayView> &stored, qsizetype i, QByteArrayView path) {
        if (!stored.empty() && stored[size_t(i)].data())
            return PathKey::exact(stored[size_t(i)]);
        return PathKey{path.data(), qint32(path.size()), true};
    };
    auto oldKey = [&](qsizetype i) { return keyAt(storedOldKeys, i, plan.entries[i].oldPath); };
    auto newKey = [&](qsizetype i) { return keyAt(storedNewKeys, i, plan.entries[i].newPath); };
    const bool exactTargets = targets == Targets::FormerNames;
    auto targetKey = [&](qsizetype i) {
        return exactTargets ? PathKey::exact(plan.entries[i].newPath) : newKey(i);
    };
    auto exactOldPath = [&](qsizetype i) { return PathKey::exact(plan.entries[i].oldPath); };
    std::optional<PositionTable<decltype(exactOldPath)>> oldPaths(std::in_place, n, exactOldPath);
    PositionTable byTarget(n, targetKey);
    for (qsizetype i = 0; i < n; ++i) {
        PlannedRename &entry = plan.entries[i];
        if (oldPaths->add(i) >= 0 && entry.conflict == Conflict::None)
            entry.conflict = Conflict::DuplicateSource;
        const qsizetype first = byTarget.add(i);
        if (first < 0)
            continue;
        for (PlannedRename *same : {&entry, &plan.entries[first]}) {
            if (same->conflict == Conflict::None)
                same->conflict = Conflict::DuplicateTarget;
        }
    }

    // Built only when needed: the old paths by case-ignoring key.
    std::optional<PositionTable<decltype(oldKey)>> oldByKey;
    for (qsizetype i = 0; i < n; ++i) {
        PlannedRename &entry = plan.entries[i];
        if (entry.conflict != Conflict::None || oldPaths->contains(PathKey::exact(entry.newPath)) || !newPathTaken[size_t(i)])
            continue;
        const std::optional<FileIdentity> occupant = fs.identity(entry.newPath);
        if (!occupant)
            continue;
        waitForIdentities();
        // Case ignored, the target may still be a file this operation moves
        // away, when the file system itself ignores case: it is then the same file.
        if (!oldByKey) {
            oldByKey.emplace(n, oldKey);
            for (qsizetype k = 0; k < n; ++k)
                oldByKey->add(k);
        }
        bool movedAway = false;
        oldByKey->forEach(newKey(i), [&](qsizetype k) { movedAway = movedAway || plan.entries[k].identity == occupant; });
        if (!movedAway)
            entry.conflict = Conflict::TargetExists;
    }
    // Nothing below looks at the old paths as they are written: at a million
    // positions, that is room for what follows.
    oldPaths.reset();
    oldByKey.reset();

    // A folder that moves while an entry inside it moves too takes that
    // entry's temporary and new paths along, and the entry would be found at
    // neither. The folder stays, so its entries move in place; case is
    // ignored, as a file system may ignore it, and so are links in the
    // folders. Every entry counts, even one held back itself: the user
    // renames the folder in a later run.
    // Most folders have no link to follow: a table of resolved keys is made
    // once one differs.
    std::vector<QByteArrayView> resolvedOldKeys;
    std::vector<QByteArrayView> resolvedNewKeys;
    // An entry is listed under the key of its old path (as 2i) and, when a
    // link leads to its folder, under that of the path resolved (2i + 1).
    auto listedKey = [&](qsizetype listing) {
        const qsizetype i = listing / 2;
        return listing % 2 == 0 ? oldKey(i) : PathKey::exact(resolvedOldKeys[size_t(i)]);
    };
    ResolvedPaths resolved(fs);
    ListedAncestors ancestors(n, listedKey);
    for (qsizetype i = 0; i < n; ++i) {
        ancestors.add(2 * i);
        if (const QByteArray path = resolved.of(plan.entries[i].oldPath); !path.isEmpty()) {
            keepKey(resolvedOldKeys, i, keys.caseKeyOf(path));
            ancestors.add(2 * i + 1);
        }
        if (const QByteArray path = resolved.of(plan.entries[i].newPath); !path.isEmpty())
            keepKey(resolvedNewKeys, i, keys.caseKeyOf(path));
    }
    auto holdFolderBack = [&](PathKey folderKey, qsizetype inside, const QByteArray &insidePath) {
        if (folderKey.isEmpty())
            return;
        ancestors.forEachAt(folderKey, [&](qsizetype listing) {
            const qsizetype k = listing / 2;
            // A folder moved into itself fails when it runs, and harms nothing.
            if (k == inside || plan.entries[k].conflict != Conflict::None)
                return;
            plan.entries[k].conflict = Conflict::RenamedInside;
            plan.insidePaths.insert(plan.entries[k].position, insidePath);
        });
    };
    for (qsizetype i = 0; i < n; ++i) {
        for (const PathKey key : {oldKey(i), keyAt(resolvedOldKeys, i, {})})
            holdFolderBack(ancestors.above(key), i, plan.entries[i].oldPath);
        for (const PathKey key : {newKey(i), keyAt(resolvedNewKeys, i, {})})
            holdFolderBack(ancestors.above(key), i, plan.entries[i].newPath);
    }

    // A file left in place keeps its path taken: whoever would move onto it
    // is left alone too, and so on until nothing changes.
    QList<qsizetype> pending;
    for (qsizetype i = 0; i < n; ++i) {
        if (plan.entries[i].conflict != Conflict::None)
            pending.append(i);
    }
    while (!pending.isEmpty()) {
        const qsizetype left = pending.takeLast();
        const PathKey taken = exactTargets ? PathKey::exact(plan.entries[left].oldPath) : oldKey(left);
        byTarget.forEach(taken, [&](qsizetype k) {
            PlannedRename &blocked = plan.entries[k];
            if (blocked.conflict == Conflict::None) {
                blocked.conflict = Conflict::TargetHeldBack;
                pending.append(k);
            }
        });
    }
    waitForIdentities();
    return plan;
}

} // namespace

RenamePlan planRename(const QList<PathPair> &pairs, FileOps &fs, Targets targets)
{
    return planPairs(pairs, nullptr, fs, targets);
}

RenamePlan planRename(QList<PathPair> &&pairs, FileOps &fs, Targets targets)
{
    return planPairs(pairs, &pairs, fs, targets);
}

RenamePlan planRename(QList<PathPair> &&pairs, FileOps &fs, IdentitiesAhead &ahead)
{
    return planPairs(pairs, &pairs, fs, Targets::NewNames, &ahead);
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
