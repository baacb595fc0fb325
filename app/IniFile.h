#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace tarvello::app {

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

    // The document's text, with the line end it was read with ("\r\n" for new).
    QString toText() const;

    // Writes the document whole through a temporary file and a rename, so a
    // crash leaves the old file or the new one. Windows-1252 when every
    // character fits (and the file was not UTF-8 already), else UTF-8 with the
    // mark so that no text is lost. False when the file could not be written.
    bool save(const QString &path) const;

private:
    struct Position {
        int sectionLine = -1;   // line of the "[section]" header
        int endLine = -1;       // one past the section's last line with content
        int keyLine = -1;       // line of the key, or -1
    };
    Position find(const QString &section, const QString &key) const;

    QStringList m_lines;
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

} // namespace tarvello::app
