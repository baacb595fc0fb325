#include "rename/RecordFormat.h"

#include "common/NativePath.h"

#include <QDateTime>
#include <QFile>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <type_traits>
#include <utility>

namespace tarvello::rename {

namespace {

const QByteArray kNoFolder = "-";

// The bytes written as they are; every other one is percent-encoded.
constexpr std::array<bool, 256> kKeptAsIs = [] {
    std::array<bool, 256> kept{};
    for (int c = 0; c < 256; ++c)
        kept[size_t(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
            || c == '.' || c == '_' || c == '~' || c == '/';
    return kept;
}();

bool keptAsIs(char c)
{
    return kKeptAsIs[uchar(c)];
}

// The digits of a number written backwards from end, two a step and eight
// at a time in 32 bits, without counting them first as std::to_chars does: a
// row holds three numbers, a birth time of nineteen digits. Returns where
// they begin.
template<typename Number>
char *writeNumber(char *end, Number number)
{
    static constexpr auto kPairs = [] {
        std::array<char, 200> pairs{};
        for (int i = 0; i < 100; ++i) {
            pairs[size_t(2 * i)] = char('0' + i / 10);
            pairs[size_t(2 * i + 1)] = char('0' + i % 10);
        }
        return pairs;
    }();
    using Unsigned = std::make_unsigned_t<Number>;
    quint64 value = number < 0 ? quint64(Unsigned(0) - Unsigned(number)) : quint64(number);
    char *at = end;
    for (; value >= 100000000; value /= 100000000) {
        auto eight = quint32(value % 100000000);
        for (int i = 0; i < 4; ++i, eight /= 100) {
            at -= 2;
            std::memcpy(at, kPairs.data() + 2 * (eight % 100), 2);
        }
    }
    auto rest = quint32(value);
    for (; rest >= 100; rest /= 100) {
        at -= 2;
        std::memcpy(at, kPairs.data() + 2 * (rest % 100), 2);
    }
    if (rest >= 10) {
        at -= 2;
        std::memcpy(at, kPairs.data() + 2 * rest, 2);
    } else {
        *--at = char('0' + rest);
    }
    if (number < 0)
        *--at = '-';
    return at;
}

template<typename Number>
void appendNumber(std::string &out, Number number)
{
    char digits[24];
    char *const end = digits + sizeof digits;
    const char *start = writeNumber(end, number);
    out.append(start, size_t(end - start));
}

// The value of an upper-case hexadecimal digit, -1 for any other byte.
int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

void appendIdentityFields(std::string &out, const std::optional<FileIdentity> &identity)
{
    if (!identity) {
        out.append("- - -");
        return;
    }
    // One append for the three fields: each append is a call.
    char fields[72];
    char *const end = fields + sizeof fields;
    char *at = writeNumber(end, identity->birth);
    *--at = ' ';
    at = writeNumber(at, identity->inode);
    *--at = ' ';
    at = writeNumber(at, identity->device);
    out.append(at, size_t(end - at));
}

void appendEncoded(std::string &out, QByteArrayView bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char *plain = bytes.data();
    const char *end = bytes.data() + bytes.size();
    for (const char *at = plain; at != end; ++at) {
        // Eight bytes a test: most names have nothing to escape.
        while (end - at >= 8
               && (kKeptAsIs[uchar(at[0])] & kKeptAsIs[uchar(at[1])] & kKeptAsIs[uchar(at[2])] & kKeptAsIs[uchar(at[3])]
                   & kKeptAsIs[uchar(at[4])] & kKeptAsIs[uchar(at[5])] & kKeptAsIs[uchar(at[6])]
                   & kKeptAsIs[uchar(at[7])]))
            at += 8;
        if (at == end)
            break;
        if (keptAsIs(*at))
            continue;
        out.append(plain, size_t(at - plain));
        const char escape[3] = {'%', kHex[uchar(*at) >> 4], kHex[uchar(*at) & 15]};
        out.append(escape, 3);
        plain = at + 1;
    }
    out.append(plain, size_t(end - plain));
}

QByteArray encodeBytes(QByteArrayView bytes)
{
    std::string encoded;
    appendEncoded(encoded, bytes);
    return QByteArray(encoded.data(), qsizetype(encoded.size()));
}

// Only the form this program writes is read back (each byte kept as it is or
// escaped with upper-case digits, never both ways), so a damaged field is
// noticed rather than decoded into some other name.
std::optional<QByteArray> decodeBytes(const QByteArray &field)
{
    if (field.isEmpty())
        return std::nullopt;
    QByteArray bytes(field.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (keptAsIs(c)) {
            *out++ = c;
            continue;
        }
        const int high = c == '%' && i + 2 < field.size() ? hexValue(field[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(field[i + 2]) : -1;
        if (low < 0 || keptAsIs(char(high * 16 + low)))
            return std::nullopt;
        *out++ = char(high * 16 + low);
        i += 2;
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

namespace {

// The root folder is the empty text before its "/".
std::optional<QByteArray> decodeFolder(const QByteArray &field)
{
    return field == "/" ? std::make_optional(QByteArray()) : decodeBytes(field);
}

// CRC-32 as zlib and PNG compute it; crc is the value of the bytes before.
// Eight bytes a step through eight tables ("slicing by 8"): a record of a
// million rows is some hundred megabytes to check.
quint32 crc32(QByteArrayView bytes, quint32 crc = 0)
{
    static constexpr auto kTables = [] {
        std::array<std::array<quint32, 256>, 8> tables{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            tables[0][n] = c;
        }
        for (quint32 n = 0; n < 256; ++n) {
            for (size_t t = 1; t < 8; ++t)
                tables[t][n] = tables[0][tables[t - 1][n] & 0xFF] ^ (tables[t - 1][n] >> 8);
        }
        return tables;
    }();
    crc = ~crc;
    const auto *at = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *end = at + bytes.size();
    for (; end - at >= 8; at += 8) {
        const quint32 low = crc ^ (quint32(at[0]) | quint32(at[1]) << 8 | quint32(at[2]) << 16 | quint32(at[3]) << 24);
        const quint32 high = quint32(at[4]) | quint32(at[5]) << 8 | quint32(at[6]) << 16 | quint32(at[7]) << 24;
        crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF]
            ^ kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF]
            ^ kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
    }
    for (; at != end; ++at)
        crc = kTables[0][(crc ^ *at) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

constexpr qsizetype kCheckSize = 8;

QByteArray checkText(quint32 crc)
{
    return QByteArray::number(crc, 16).rightJustified(kCheckSize, '0');
}

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether text is the beginning (or the whole) of a mark: an upper-case word,
// then a space and a number.
bool beginsMark(QByteArrayView text)
{
    if (text.isEmpty())
        return true;
    if (!isUpper(text[0]))
        return false;
    qsizetype i = 1;
    while (i < text.size() && (isUpper(text[i]) || isDigit(text[i])))
        ++i;
    if (i == text.size())
        return true;
    if (text[i] != ' ')
        return false;
    const QByteArrayView number = text.sliced(i + 1);
    if (number.size() > 1 && number[0] == '0')
        return false;
    for (const char c : number) {
        if (!isDigit(c))
            return false;
    }
    return true;
}

bool isMark(QByteArrayView text)
{
    return !text.isEmpty() && !text.endsWith(' ') && beginsMark(text);
}

// A mark line cut short by a crash: the beginning of a mark, or a whole mark
// and the beginning of its check.
bool isTornMarkLine(QByteArrayView line, quint32 seal)
{
    if (beginsMark(line))
        return true;
    for (qsizetype space = line.indexOf(' '); space >= 0; space = line.indexOf(' ', space + 1)) {
        const QByteArrayView mark = line.first(space);
        const QByteArrayView check = line.sliced(space + 1);
        if (isMark(mark) && check.size() <= kCheckSize && checkText(crc32(mark, seal)).startsWith(check))
            return true;
    }
    return false;
}

// The marks after a closing line, checked; nullopt when one was changed.
std::optional<QList<QByteArray>> readMarks(QByteArrayView text, quint32 seal)
{
    QList<QByteArray> marks;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        if (end < 0)
            return isTornMarkLine(text, seal) ? std::make_optional(marks) : std::nullopt;
        const QByteArrayView line = text.first(end);
        text = text.sliced(end + 1);
        const qsizetype space = line.lastIndexOf(' ');
        if (space < 0)
            return std::nullopt;
        const QByteArrayView mark = line.first(space);
        const QByteArrayView check = line.sliced(space + 1);
        if (!isMark(mark) || check != checkText(crc32(mark, seal)))
            return std::nullopt;
        marks.append(mark.toByteArray());
    }
    return marks;
}

// The lines of the bytes, as split('\n') gives them, as views.
QList<QByteArrayView> splitLines(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    lines.reserve(bytes.count('\n') + 1);
    qsizetype start = 0;
    for (qsizetype end = bytes.indexOf('\n'); end >= 0; start = end + 1, end = bytes.indexOf('\n', start))
        lines.append(bytes.sliced(start, end - start));
    lines.append(bytes.sliced(start));
    return lines;
}

// The fields of a line, as split(' ') gives them, without copying their bytes.
QList<QByteArray> splitFields(QByteArrayView line)
{
    QList<QByteArray> fields;
    fields.reserve(10);
    qsizetype start = 0;
    for (qsizetype end = line.indexOf(' '); end >= 0; start = end + 1, end = line.indexOf(' ', start))
        fields.append(QByteArray::fromRawData(line.data() + start, end - start));
    fields.append(QByteArray::fromRawData(line.data() + start, line.size() - start));
    return fields;
}

} // namespace

QList<QByteArray> RecordFile::Rows::Iterator::operator*() const
{
    return splitFields((*m_lines)[m_at]);
}

bool isCleanAbsolutePath(QByteArrayView path)
{
    return path.startsWith('/') && hasCleanParts(path.sliced(1));
}

// The table is not rounded up to a power of two, which could leave it three
// quarters empty: a slot is found by scaling the hash to its size.
UniquePaths::UniquePaths(qsizetype expected)
    : m_slots(size_t(expected) * 4 / 3 + 2)
{
}

size_t UniquePaths::find(QByteArrayView path, quint32 hash) const
{
    for (size_t slot = size_t((quint64(hash) * m_slots.size()) >> 32);; slot = slot + 1 == m_slots.size() ? 0 : slot + 1) {
        const Slot &held = m_slots[slot];
        if (held.size < 0 || (held.hash == hash && QByteArrayView(held.data, held.size) == path))
            return slot;
    }
}

void UniquePaths::grow()
{
    const std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(m_slots.size() * 2));
    for (const Slot &held : old) {
        if (held.size < 0)
            continue;
        size_t slot = size_t((quint64(held.hash) * m_slots.size()) >> 32);
        while (m_slots[slot].size >= 0)
            slot = slot + 1 == m_slots.size() ? 0 : slot + 1;
        m_slots[slot] = held;
    }
}

bool UniquePaths::add(QByteArrayView path)
{
    if (size_t(m_count + 1) * 4 > m_slots.size() * 3)
        grow();
    const auto hash = quint32(pathHash(path));
    Slot &slot = m_slots[find(path, hash)];
    if (slot.size >= 0)
        return false;
    slot = {path.data(), qint32(path.size()), hash};
    ++m_count;
    return true;
}

bool UniquePaths::contains(QByteArrayView path) const
{
    return m_slots[find(path, quint32(pathHash(path)))].size >= 0;
}

std::optional<int> parseCount(const QByteArray &field)
{
    bool ok = false;
    const int number = field.toInt(&ok);
    if (!ok || number < 0 || QByteArray::number(number) != field)
        return std::nullopt;
    return number;
}

bool parseIdentityFields(const QList<QByteArray> &fields, qsizetype at, std::optional<FileIdentity> &identity)
{
    if (at + 3 > fields.size())
        return false;
    if (fields[at] == "-" && fields[at + 1] == "-" && fields[at + 2] == "-") {
        identity.reset();
        return true;
    }
    bool deviceOk = false;
    bool inodeOk = false;
    bool birthOk = false;
    identity = FileIdentity{fields[at].toULongLong(&deviceOk), fields[at + 1].toULongLong(&inodeOk),
                            fields[at + 2].toLongLong(&birthOk)};
    return deviceOk && inodeOk && birthOk;
}

RecordWriter::RecordWriter(QByteArray header)
    : m_header(std::move(header) + '\n')
{
}

void RecordWriter::beginRow(char tag)
{
    constexpr size_t kBlock = 1 << 20;
    // Room for the longest rows, so that a block is filled without growing.
    constexpr size_t kRowRoom = 1 << 16;
    const bool first = !m_rows;
    if (first || m_rows->size() >= kBlock) {
        m_blocks.emplace_back().reserve(kBlock + kRowRoom);
        m_rows = &m_blocks.back();
    }
    if (!first)
        m_rows->push_back('\n');
    m_rows->push_back(tag);
    ++m_count;
}

void RecordWriter::addNumber(qint64 number)
{
    m_rows->push_back(' ');
    appendNumber(*m_rows, number);
}

void RecordWriter::addIdentity(const std::optional<FileIdentity> &identity)
{
    m_rows->push_back(' ');
    appendIdentityFields(*m_rows, identity);
}

void RecordWriter::addPath(QByteArrayView path)
{
    const qsizetype slash = lastSlash(path);
    if (slash < 0) {
        m_rows->push_back(' ');
        m_rows->append(kNoFolder.constData(), size_t(kNoFolder.size()));
        addName(path);
        return;
    }
    const QByteArrayView folder(path.data(), slash);
    // Rows come folder after folder: the last folder is tried first, with a
    // plain comparison rather than Qt's general one.
    if (m_lastFolder < 0 || m_lastFolderPath.size() != slash
        || std::memcmp(m_lastFolderPath.constData(), path.data(), size_t(slash)) != 0) {
        m_lastFolderPath = folder.toByteArray();
        auto known = m_folders.constFind(m_lastFolderPath);
        if (known == m_folders.constEnd()) {
            known = m_folders.insert(m_lastFolderPath, int(m_folders.size()));
            // The root folder is the empty text before its "/".
            m_folderRows.append("F ");
            appendNumber(m_folderRows, *known);
            m_folderRows.push_back(' ');
            if (folder.isEmpty())
                m_folderRows.push_back('/');
            else
                appendEncoded(m_folderRows, folder);
            m_folderRows.push_back('\n');
            ++m_count;
        }
        m_lastFolder = *known;
    }
    addNumber(m_lastFolder);
    addName(path.sliced(slash + 1));
}

void RecordWriter::addName(QByteArrayView name)
{
    m_rows->push_back(' ');
    appendEncoded(*m_rows, name);
}

QList<QByteArrayView> RecordWriter::pieces(quint32 *seal)
{
    m_closing = m_rows ? QByteArray("\n") : QByteArray();
    m_closing.append("END " + QByteArray::number(m_count) + ' ');
    QList<QByteArrayView> pieces{m_header, QByteArrayView(m_folderRows.data(), qsizetype(m_folderRows.size()))};
    for (const std::string &block : m_blocks)
        pieces.append(QByteArrayView(block.data(), qsizetype(block.size())));
    pieces.append(m_closing);
    quint32 crc = 0;
    for (const QByteArrayView piece : std::as_const(pieces))
        crc = crc32(piece, crc);
    if (seal)
        *seal = crc;
    m_closing.append(checkText(crc)).append('\n');
    pieces.last() = m_closing;
    return pieces;
}

QByteArray RecordWriter::text(quint32 *seal)
{
    QByteArray text;
    for (const QByteArrayView piece : pieces(seal))
        text.append(piece);
    return text;
}

QByteArray markLine(quint32 seal, const QByteArray &mark)
{
    return mark + ' ' + checkText(crc32(mark, seal)) + '\n';
}

std::optional<RecordFile> RecordFile::read(const QString &path, const QByteArray &header, Marks marks, int *error)
{
    auto fail = [error](int code) -> std::optional<RecordFile> {
        if (error)
            *error = code;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.exists())
        return fail(ENOENT);
    if (!file.open(QIODevice::ReadOnly))
        return fail(EACCES);
    const QByteArray data = file.readAll();
    if (!data.startsWith(header + '\n'))
        return fail(EBADMSG);
    // No row begins with "END ": the first such line closes the record.
    const qsizetype bodyEnd = data.indexOf("\nEND ", header.size());
    const qsizetype closingEnd = bodyEnd < 0 ? -1 : data.indexOf('\n', bodyEnd + 1);
    if (closingEnd < 0 || closingEnd - kCheckSize <= bodyEnd)
        return fail(EBADMSG);
    const qsizetype checkAt = closingEnd - kCheckSize;
    const quint32 seal = crc32(QByteArrayView(data).first(checkAt));
    if (QByteArrayView(data).sliced(checkAt, kCheckSize) != checkText(seal))
        return fail(EBADMSG);

    RecordFile record;
    record.m_seal = seal;
    record.m_bytes = data;
    const qsizetype bodyStart = header.size() + 1;
    const QList<QByteArrayView> lines = bodyEnd > header.size()
        ? splitLines(QByteArrayView(record.m_bytes).sliced(bodyStart, bodyEnd - bodyStart))
        : QList<QByteArrayView>();
    if (data.sliced(bodyEnd + 1, checkAt - bodyEnd - 1) != "END " + QByteArray::number(lines.size()) + ' ')
        return fail(EBADMSG);
    record.m_rows.reserve(lines.size());
    for (const QByteArrayView line : lines) {
        if (!line.startsWith("F ") && line != "F") {
            record.m_rows.append(line);
            continue;
        }
        const QList<QByteArray> fields = splitFields(line);
        // Folder rows come first, numbered in order.
        const bool inOrder = record.m_rows.isEmpty() && fields.size() == 3
            && fields[1] == QByteArray::number(record.m_folders.size());
        const auto folder = inOrder ? decodeFolder(fields[2]) : std::nullopt;
        if (!folder)
            return fail(EBADMSG);
        record.m_folders.insert(QByteArray(fields[1].constData(), fields[1].size()), *folder);
    }
    const QByteArrayView after = QByteArrayView(data).sliced(closingEnd + 1);
    if (marks == Marks::Refused && !after.isEmpty())
        return fail(EBADMSG);
    auto checkedMarks = readMarks(after, seal);
    if (!checkedMarks)
        return fail(EBADMSG);
    record.m_marks = std::move(*checkedMarks);
    if (error)
        *error = 0;
    return record;
}

RecordFile RecordFile::salvage(const QString &path)
{
    RecordFile record;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return record;
    record.m_bytes = file.readAll();
    const QList<QByteArrayView> lines = splitLines(record.m_bytes);
    for (qsizetype i = 1; i < lines.size() && !lines[i].startsWith("END "); ++i) {
        if (!lines[i].startsWith("F ") && lines[i] != "F") {
            record.m_rows.append(lines[i]);
            continue;
        }
        const QList<QByteArray> fields = splitFields(lines[i]);
        const auto folder = fields.size() == 3 ? decodeFolder(fields[2]) : std::nullopt;
        if (folder && !record.m_folders.contains(fields[1]))
            record.m_folders.insert(QByteArray(fields[1].constData(), fields[1].size()), *folder);
    }
    return record;
}

std::optional<QByteArray> RecordFile::path(const QList<QByteArray> &fields, qsizetype at) const
{
    if (at + 2 > fields.size())
        return std::nullopt;
    return path(fields[at], fields[at + 1]);
}

std::optional<QByteArray> RecordFile::path(const QByteArray &folderField, const QByteArray &nameField) const
{
    const auto name = decodeBytes(nameField);
    if (!name || name->contains('/'))
        return std::nullopt;
    if (folderField == kNoFolder)
        return name;
    const auto folder = m_folders.constFind(folderField);
    if (folder == m_folders.constEnd())
        return std::nullopt;
    return *folder + '/' + *name;
}

int moveAside(const QString &path, QString &asidePath)
{
    const QByteArray native = common::NativePath::fromText(path).bytes();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    FileOps fs;
    int error = EEXIST;
    for (int n = 1; error == EEXIST && n <= 99; ++n) {
        asidePath = path + QStringLiteral(".damaged-") + stamp + (n > 1 ? QStringLiteral("-%1").arg(n) : QString());
        error = fs.renameNoReplace(native, common::NativePath::fromText(asidePath).bytes());
    }
    if (error != 0)
        return error;
    return fs.syncFolder(nativeFolderOf(native));
}

} // namespace tarvello::rename
