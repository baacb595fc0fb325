#include "ini/IniFile.h"

#include "common/Cp1252.h"
#include "common/Zub.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tarvello::ini {

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

QString folded(const QString &name)
{
    return name.toCaseFolded();
}

} // namespace

IniDocument IniDocument::fromText(const QString &text)
{
    IniDocument doc;
    if (text.contains(QLatin1Char('\n')) && !text.contains(QStringLiteral("\r\n")))
        doc.m_lineEnd = QStringLiteral("\n");
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    // A final line end leaves one empty piece that is not a line of its own.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    doc.build(lines);
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

void IniDocument::build(const QStringList &lines)
{
    m_blocks.clear();
    m_sections.clear();
    m_blocks.emplace_back();
    for (const QString &line : lines) {
        if (const auto name = sectionOf(line)) {
            addSection(*name, int(m_blocks.size()));
            m_blocks.emplace_back();
        }
        m_blocks.back().lines.emplace_back(line);
    }
    for (int b = 0; b < int(m_blocks.size()); ++b) {
        Block &block = m_blocks[b];
        while (!block.lines.empty() && trimBlanks(*block.lines.back()).isEmpty()) {
            block.trailer.prepend(*block.lines.back());
            block.lines.pop_back();
        }
        // Keys before the first header belong to no section.
        for (int i = 1; b > 0 && i < int(block.lines.size()); ++i)
            indexKey(b, i);
    }
}

void IniDocument::addSection(const QString &name, int block)
{
    const QString key = folded(name);
    if (!m_sections.contains(key))
        m_sections.insert(key, block);
}

void IniDocument::indexKey(int block, int line)
{
    Block &b = m_blocks[block];
    if (const auto key = keyOf(*b.lines[line]))
        b.keys[folded(*key)].append(line);
}

const IniDocument::Block *IniDocument::section(const QString &name) const
{
    const auto it = m_sections.constFind(folded(name));
    return it == m_sections.constEnd() ? nullptr : &m_blocks[*it];
}

std::optional<int> IniDocument::keyLine(const Block &block, const QString &key) const
{
    const auto it = block.keys.constFind(folded(key));
    if (it == block.keys.constEnd())
        return std::nullopt;
    return it->first();
}

void IniDocument::append(int block, const QString &line)
{
    // A new key goes after the section's last line with content, before the
    // blank lines that end it.
    Block &b = m_blocks[block];
    while (!b.lines.back() || trimBlanks(*b.lines.back()).isEmpty()) {
        if (b.lines.back())
            b.trailer.prepend(*b.lines.back());
        b.lines.pop_back();
    }
    b.lines.emplace_back(line);
    // A key name starting with "[" makes the line a header when the file is
    // read back: the document reads it so at once.
    if (sectionOf(line))
        build(lines());
    else
        indexKey(block, int(b.lines.size()) - 1);
}

std::optional<QString> IniDocument::lastLine() const
{
    for (auto block = m_blocks.crbegin(); block != m_blocks.crend(); ++block) {
        if (!block->trailer.isEmpty())
            return block->trailer.last();
        for (auto line = block->lines.crbegin(); line != block->lines.crend(); ++line) {
            if (*line)
                return *line;
        }
    }
    return std::nullopt;
}

QStringList IniDocument::lines() const
{
    QStringList all;
    for (const Block &block : m_blocks) {
        for (const auto &line : block.lines) {
            if (line)
                all.append(*line);
        }
        all.append(block.trailer);
    }
    return all;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const Block *block = this->section(section);
    const auto at = block ? keyLine(*block, key) : std::nullopt;
    if (!at)
        return std::nullopt;
    const QString &line = *block->lines[*at];
    QString value = trimBlanks(QStringView(line).mid(line.indexOf(QLatin1Char('=')) + 1));
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    return value;
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString line = key + QLatin1Char('=') + value;
    if (const Block *block = this->section(section)) {
        const int b = int(block - m_blocks.data());
        if (const auto at = keyLine(*block, key))
            m_blocks[b].lines[*at] = line;
        else
            append(b, line);
        return;
    }
    const auto last = lastLine();
    if (last && !trimBlanks(*last).isEmpty())
        m_blocks.back().trailer.append(QString());
    const QString header = QLatin1Char('[') + section + QLatin1Char(']');
    addSection(*sectionOf(header), int(m_blocks.size()));
    m_blocks.emplace_back();
    m_blocks.back().lines.emplace_back(header);
    append(int(m_blocks.size()) - 1, line);
}

void IniDocument::remove(const QString &section, const QString &key)
{
    const Block *found = this->section(section);
    if (!found)
        return;
    Block &block = m_blocks[found - m_blocks.data()];
    const auto it = block.keys.find(folded(key));
    if (it == block.keys.end())
        return;
    block.lines[it->takeFirst()].reset();
    if (it->isEmpty())
        block.keys.erase(it);
}

int IniDocument::lineOf(const QString &section, const QString &key) const
{
    const Block *block = this->section(section);
    const auto at = block ? keyLine(*block, key) : std::nullopt;
    if (!at)
        return 0;
    int number = 0;
    for (const Block *before = m_blocks.data(); before != block; ++before) {
        number += int(before->trailer.size());
        for (const auto &line : before->lines)
            number += line ? 1 : 0;
    }
    for (int i = 0; i <= *at; ++i)
        number += block->lines[i] ? 1 : 0;
    return number;
}

QString IniDocument::toText() const
{
    QString text;
    for (const QString &line : lines()) {
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

int IniFile::lineOf(const QString &section, const QString &key) const
{
    return document().lineOf(section, key);
}

IniFile IniFile::snapshot() const
{
    IniFile copy(*this);
    copy.beginBatch();
    return copy;
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

} // namespace tarvello::ini
