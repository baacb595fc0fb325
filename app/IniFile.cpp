#include "app/IniFile.h"

#include "common/Cp1252.h"
#include "common/Zub.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tarvello::app {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimBlanks(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text.at(first)))
        ++first;
    while (last > first && isBlank(text.at(last - 1)))
        --last;
    return text.mid(first, last - first).toString();
}

// The section name of a header line, or nullopt for any other line.
std::optional<QString> sectionOf(const QString &line)
{
    const QString trimmed = trimBlanks(line);
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    return trimBlanks(QStringView(trimmed).mid(1, close < 0 ? -1 : close - 1));
}

// The key name of a "key=value" line, or nullopt.
std::optional<QString> keyOf(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return trimBlanks(QStringView(line).left(eq));
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniDocument IniDocument::fromText(const QString &text)
{
    IniDocument doc;
    if (text.contains(QLatin1Char('\n')) && !text.contains(QStringLiteral("\r\n")))
        doc.m_lineEnd = QStringLiteral("\n");
    doc.m_lines = text.split(QLatin1Char('\n'));
    for (QString &line : doc.m_lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    // A final line end leaves one empty piece that is not a line of its own.
    if (!doc.m_lines.isEmpty() && doc.m_lines.last().isEmpty())
        doc.m_lines.removeLast();
    return doc;
}

IniDocument IniDocument::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool utf8 = false;
    IniDocument doc = fromText(common::decodeProfileText(file.readAll(), &utf8));
    doc.m_utf8 = utf8;
    return doc;
}

IniDocument::Position IniDocument::find(const QString &section, const QString &key) const
{
    Position pos;
    for (int i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionOf(m_lines.at(i));
        if (pos.sectionLine >= 0) {
            if (name)
                break;
            if (!trimBlanks(m_lines.at(i)).isEmpty())
                pos.endLine = i + 1;
            if (pos.keyLine < 0) {
                const auto k = keyOf(m_lines.at(i));
                if (k && sameName(*k, key))
                    pos.keyLine = i;
            }
        } else if (name && sameName(*name, section)) {
            pos.sectionLine = i;
            pos.endLine = i + 1;
        }
    }
    return pos;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const Position pos = find(section, key);
    if (pos.keyLine < 0)
        return std::nullopt;
    const QString &line = m_lines.at(pos.keyLine);
    QString value = trimBlanks(QStringView(line).mid(line.indexOf(QLatin1Char('=')) + 1));
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    return value;
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString line = key + QLatin1Char('=') + value;
    const Position pos = find(section, key);
    if (pos.keyLine >= 0) {
        m_lines[pos.keyLine] = line;
    } else if (pos.sectionLine >= 0) {
        m_lines.insert(pos.endLine, line);
    } else {
        if (!m_lines.isEmpty() && !trimBlanks(m_lines.last()).isEmpty())
            m_lines.append(QString());
        m_lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        m_lines.append(line);
    }
}

void IniDocument::remove(const QString &section, const QString &key)
{
    const Position pos = find(section, key);
    if (pos.keyLine >= 0)
        m_lines.removeAt(pos.keyLine);
}

QString IniDocument::toText() const
{
    QString text;
    for (const QString &line : m_lines) {
        text += line;
        text += m_lineEnd;
    }
    return text;
}

bool IniDocument::save(const QString &path) const
{
    const QString text = toText();
    QByteArray bytes;
    if (m_utf8 || !common::encodeCp1252(text, bytes))
        bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

IniFile::IniFile(QString path, int valueLimit)
    : m_path(std::move(path))
    , m_valueLimit(valueLimit)
{
}

void IniFile::setPath(const QString &path)
{
    m_path = path;
    m_cacheValid = false;
}

const IniDocument &IniFile::document() const
{
    if (m_batch)
        return m_cache;
    const QFileInfo info(m_path);
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime time = info.exists() ? info.lastModified() : QDateTime();
    if (!m_cacheValid || size != m_cacheSize || time != m_cacheTime) {
        m_cache = IniDocument::load(m_path);
        m_cacheValid = true;
        m_cacheSize = size;
        m_cacheTime = time;
    }
    return m_cache;
}

QString IniFile::ReadIniKey(const QString &section, const QString &key, const QString &defaultValue) const
{
    const auto value = document().value(section, key);
    if (!value)
        return defaultValue;
    return common::ZubTrimNull(*value).left(m_valueLimit);
}

void IniFile::WriteIniKey(const QString &section, const QString &key, const QString &value)
{
    document();
    m_cache.setValue(section, key, value);
    written();
}

void IniFile::DeleteIniKey(const QString &section, const QString &key)
{
    document();
    m_cache.remove(section, key);
    written();
}

void IniFile::beginBatch()
{
    document();
    m_batch = true;
}

bool IniFile::commit()
{
    m_batch = false;
    const bool ok = m_cache.save(m_path);
    m_cacheValid = false;
    return ok;
}

void IniFile::written()
{
    if (m_batch)
        return;
    m_cache.save(m_path);
    m_cacheValid = false;
}

} // namespace tarvello::app
