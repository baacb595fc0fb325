#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarvello::ini {

// A profile (INI) file held as its lines, so that a rewrite keeps every other
// line, key order and comment as they were. Section and key names are matched
// without regard to case; the first section and the first key of a name win.
class IniDocument
{
public:
    // Parses the text of a file; "\r\n" and "\n" line ends are both read.
    static IniDocument fromText(const QString &text);

    // Reads a file (UTF-8 with its mark, else Windows-1252); a missing or
    // unreadable file gives an empty document.
    static IniDocument load(const QString &path);

    // The value of a key: the text after the first "=", blanks around it
    // dropped and one pair of enclosing double quotes removed; nullopt when the
    // section or key is absent.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // Rewrites the key in place, or adds it at the end of its section (a new
    // section goes at the end of the document).
    void setValue(const QString &section, const QString &key, const QString &value);

    // Removes the key's line; nothing happens when it is absent.
    void remove(const QString &section, const QString &key);

    // The number (from 1) of the key's line in the text, or 0 when the
    // section or key is absent.
    int lineOf(const QString &section, const QString &key) const;

    // The document's text, with the line end it was read with ("\r\n" for new).
    QString toText() const;

    // Writes the document whole through a temporary file and a rename, so a
    // crash leaves the old file or the new one. Windows-1252 when every
    // character fits (and the file was not UTF-8 already), else UTF-8 with the
    // mark so that no text is lost. False when the file could not be written.
    bool save(const QString &path) const;

private:
    // A "[section]" header and the lines up to the next header; the lines
    // before the first header form a block without one. Settings files carry
    // tens of thousands of keys, so every key is found through the index and a
    // removed line stays as an empty slot, which keeps the index true.
    struct Block {
        std::vector<std::optional<QString>> lines; // header to last line with content; nullopt: removed
        QStringList trailer;                       // the blank lines after it
        QHash<QString, QList<int>> keys;           // folded key name -> its lines, in order
    };

    void build(const QStringList &lines);
    void addSection(const QString &name, int block);
    void indexKey(int block, int line);
    const Block *section(const QString &name) const;
    std::optional<int> keyLine(const Block &block, const QString &key) const;
    void append(int block, const QString &line);
    std::optional<QString> lastLine() const;
    QStringList lines() const;

    std::vector<Block> m_blocks;
    QHash<QString, int> m_sections; // folded section name -> its first block
    QString m_lineEnd = QStringLiteral("\r\n");
    bool m_utf8 = false;
};

// The profile functions over one file: every read sees the file as it is on
// disk now, every write changes it at once. Values read are cut at their first
// NUL and at the value limit (511 characters for settings, 399 for languages).
class IniFile
{
public:
    explicit IniFile(QString path = {}, int valueLimit = 511);

    const QString &path() const { return m_path; }
    void setPath(const QString &path);

    // The key's value, or defaultValue when the file, section or key is missing.
    QString ReadIniKey(const QString &section, const QString &key, const QString &defaultValue) const;

    // Writes the value; a failed write is silent.
    void WriteIniKey(const QString &section, const QString &key, const QString &value);

    // Removes the key; a failed write is silent.
    void DeleteIniKey(const QString &section, const QString &key);

    // The number (from 1) of the key's line in the file, or 0 when it is absent.
    int lineOf(const QString &section, const QString &key) const;

    // A copy that reads the file as it is now and never looks at the disk
    // again (a settings load reads 65,000 keys when the tables are full);
    // writes to it are held as in a batch.
    IniFile snapshot() const;

    // Holds writes in memory until commit(), so that many keys are written with
    // one replacement of the file. Returns false from commit() on failure.
    void beginBatch();
    bool commit();

private:
    const IniDocument &document() const;
    void written();

    QString m_path;
    int m_valueLimit;
    bool m_batch = false;
    // The parsed file and the size and time it had, so that repeated reads of an
    // unchanged file parse it once.
    mutable IniDocument m_cache;
    mutable bool m_cacheValid = false;
    mutable qint64 m_cacheSize = -1;
    mutable QDateTime m_cacheTime;
};

} // namespace tarvello::ini
