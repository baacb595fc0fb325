#include "common/NativePath.h"

#include <QFile>
#include <QList>

namespace tarvello::common {

NativePath NativePath::fromBytes(QByteArray bytes)
{
    return NativePath(std::move(bytes));
}

NativePath NativePath::fromText(const QString &path)
{
    return NativePath(QFile::encodeName(path));
}

NativePath NativePath::fromNewName(const QString &newName)
{
    return fromText(QString(newName).replace(QLatin1Char('\\'), QLatin1Char('/')));
}

QString NativePath::text() const
{
    return QFile::decodeName(m_bytes);
}

bool NativePath::textIsExact() const
{
    return QFile::encodeName(text()) == m_bytes;
}

NativePath NativePath::folder() const
{
    const qsizetype slash = m_bytes.lastIndexOf('/');
    if (slash < 0)
        return {};
    return NativePath(slash == 0 ? QByteArray("/") : m_bytes.left(slash));
}

NativePath NativePath::name() const
{
    return NativePath(m_bytes.mid(m_bytes.lastIndexOf('/') + 1));
}

NativePath NativePath::child(const NativePath &name) const
{
    if (m_bytes.isEmpty())
        return name;
    if (m_bytes.endsWith('/'))
        return NativePath(m_bytes + name.m_bytes);
    return NativePath(m_bytes + '/' + name.m_bytes);
}

NativePath NativePath::cleaned() const
{
    // Most paths of a long list are absolute and clean already: they are kept
    // as they are, without being taken apart.
    const QByteArrayView bytes(m_bytes);
    if (bytes.startsWith('/') && (bytes.size() == 1 || !bytes.endsWith('/')) && !bytes.contains("//")
        && !bytes.contains("/./") && !bytes.contains("/../") && !bytes.endsWith("/.") && !bytes.endsWith("/.."))
        return *this;
    QList<QByteArray> parts;
    for (const QByteArray &part : m_bytes.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == ".." && !parts.isEmpty() && parts.last() != "..")
            parts.removeLast();
        else
            parts.append(part);
    }
    const QByteArray joined = parts.join('/');
    if (m_bytes.startsWith('/'))
        return NativePath('/' + joined);
    return NativePath(joined.isEmpty() && !m_bytes.isEmpty() ? QByteArray(".") : joined);
}

} // namespace tarvello::common
