#include "files/RecordFormat.h"

#include <QFile>

#include <charconv>
#include <cerrno>

namespace tarvello::files {

namespace {

const QByteArray kNoFolder = "-";

bool keptAsIs(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_'
        || c == '~' || c == '/';
}

void appendEncoded(QByteArray &out, QByteArrayView bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    qsizetype plain = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (keptAsIs(c))
            continue;
        out.append(bytes.sliced(plain, i - plain));
        const char escape[3] = {'%', kHex[uchar(c) >> 4], kHex[uchar(c) & 15]};
        out.append(escape, 3);
        plain = i + 1;
    }
    out.append(bytes.sliced(plain));
}

QByteArray encodeBytes(QByteArrayView bytes)
{
    QByteArray encoded;
    appendEncoded(encoded, bytes);
    return encoded;
}

// Only the form this program writes is read back, so a damaged field is
// noticed rather than decoded into some other name.
std::optional<QByteArray> decodeBytes(const QByteArray &field)
{
    const QByteArray bytes = QByteArray::fromPercentEncoding(field);
    if (bytes.isEmpty() || encodeBytes(bytes) != field)
        return std::nullopt;
    return bytes;
}

} // namespace

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
    : m_header(std::move(header))
{
}

void RecordWriter::beginRow(char tag)
{
    if (!m_rows.isEmpty())
        m_rows.append('\n');
    m_rows.append(tag);
    ++m_count;
}

void RecordWriter::addNumber(qint64 number)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    m_rows.append(' ');
    m_rows.append(digits, end - digits);
}

void RecordWriter::addIdentity(const std::optional<FileIdentity> &identity)
{
    if (!identity) {
        m_rows.append(" - - -");
        return;
    }
    for (const quint64 number : {identity->device, identity->inode}) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        m_rows.append(' ');
        m_rows.append(digits, end - digits);
    }
    addNumber(identity->birth);
}

void RecordWriter::addPath(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        m_rows.append(' ');
        m_rows.append(kNoFolder);
        addName(path);
        return;
    }
    const QByteArrayView folder(path.constData(), slash);
    // Rows come folder after folder: the last folder is tried first.
    if (m_lastFolder < 0 || folder != QByteArrayView(m_lastFolderPath)) {
        m_lastFolderPath = folder.toByteArray();
        auto known = m_folders.constFind(m_lastFolderPath);
        if (known == m_folders.constEnd()) {
            known = m_folders.insert(m_lastFolderPath, int(m_folders.size()));
            // The root folder is the empty text before its "/".
            m_folderRows.append("F " + QByteArray::number(*known) + ' ');
            if (folder.isEmpty())
                m_folderRows.append('/');
            else
                appendEncoded(m_folderRows, folder);
            m_folderRows.append('\n');
            ++m_count;
        }
        m_lastFolder = *known;
    }
    addNumber(m_lastFolder);
    addName(QByteArray::fromRawData(path.constData() + slash + 1, path.size() - slash - 1));
}

void RecordWriter::addName(const QByteArray &name)
{
    m_rows.append(' ');
    appendEncoded(m_rows, name);
}

QByteArray RecordWriter::text() const
{
    QByteArray text;
    text.reserve(m_header.size() + m_folderRows.size() + m_rows.size() + 32);
    text.append(m_header).append('\n').append(m_folderRows).append(m_rows);
    if (!m_rows.isEmpty())
        text.append('\n');
    return text.append("END " + QByteArray::number(m_count) + '\n');
}

std::optional<RecordFile> RecordFile::read(const QString &path, const QByteArray &header, int *error)
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
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || lines[0] != header)
        return fail(EBADMSG);
    RecordFile record;
    qsizetype row = 1;
    for (; row < lines.size() && !lines[row].startsWith("END "); ++row) {
        QList<QByteArray> fields = lines[row].split(' ');
        if (fields[0] != "F") {
            record.m_rows.append(std::move(fields));
            continue;
        }
        const auto folder = fields.size() == 3 ? (fields[2] == "/" ? std::make_optional(QByteArray()) : decodeBytes(fields[2]))
                                               : std::nullopt;
        if (!folder || record.m_folders.contains(fields[1]))
            return fail(EBADMSG);
        record.m_folders.insert(fields[1], *folder);
    }
    if (row >= lines.size() || lines[row] != "END " + QByteArray::number(row - 1))
        return fail(EBADMSG);
    record.m_trailer = lines.mid(row + 1);
    if (error)
        *error = 0;
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

} // namespace tarvello::files
