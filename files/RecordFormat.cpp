#include "files/RecordFormat.h"

#include <QFile>

#include <cerrno>

namespace tarvello::files {

QByteArray identityFields(const std::optional<FileIdentity> &identity)
{
    if (!identity)
        return "- - -";
    return QByteArray::number(identity->device) + ' ' + QByteArray::number(identity->inode) + ' '
        + QByteArray::number(identity->birth);
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

QByteArray pathField(const QByteArray &path)
{
    return path.toBase64();
}

std::optional<QByteArray> parsePathField(const QByteArray &field)
{
    const auto decoded = QByteArray::fromBase64Encoding(field, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return std::nullopt;
    return decoded.decoded;
}

std::optional<RecordFile> readRecordFile(const QString &path, const QByteArray &header, const QByteArray &tag,
                                         int *error)
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
    const QByteArray rowStart = tag + ' ';
    qsizetype row = 1;
    for (; row < lines.size() && lines[row].startsWith(rowStart); ++row)
        record.rows.append(lines[row].split(' '));
    if (row >= lines.size() || lines[row] != "END " + QByteArray::number(record.rows.size()))
        return fail(EBADMSG);
    record.trailer = lines.mid(row + 1);
    if (error)
        *error = 0;
    return record;
}

QByteArray recordFileText(const QByteArray &header, const QByteArray &rows, qsizetype count)
{
    return header + '\n' + rows + "END " + QByteArray::number(count) + '\n';
}

} // namespace tarvello::files
