#pragma once

#include "ini/IniFile.h"

#include <QList>
#include <QString>

#include <array>

namespace tarvello::lang {

// The numbered messages, as the engine sees them: text by number with up to
// two parameters.
class Messages
{
public:
    virtual ~Messages() = default;
    // The text of message n with its "%s" parameters replaced.
    virtual QString GetMessage(int number, const QString &param1 = {}, const QString &param2 = {}) = 0;
};

// One language file offered to the user: its display name and file base name.
struct LanguageEntry {
    QString displayName;
    QString baseName;
};

// The current language file: value lookup with the file's conventions, the
// numbered messages with their cache, the help file path and the list of
// available languages. Files live in "langages/" under the program folder.
class Language : public Messages
{
public:
    static constexpr int kValueLimit = 399;
    static constexpr int kCacheSize = 101;

    explicit Language(QString programFolder = {});

    const QString &programFolder() const { return m_programFolder; }
    void setProgramFolder(const QString &folder);

    // Makes the display name current (file base name = its accent-free form),
    // empties the message cache and recomputes the help file path.
    void setLanguage(const QString &displayName);

    const QString &displayName() const { return m_displayName; }
    const QString &baseName() const { return m_baseName; }

    // Full path of the current language file.
    QString languageFilePath() const;

    // True when the current language file exists.
    bool fileExists() const;

    // True when the current language file can be read as one: it names its
    // language. A missing, unreadable or malformed file cannot.
    bool isReadable() const;

    // The key's value with the file's conventions applied: "|" becomes a line
    // break, a leading or trailing "_" a space, the first two "%s" the two
    // parameters. replaced tells whether a "%s" was replaced.
    QString ReadLangKey(const QString &section, const QString &key, const QString &defaultValue,
                        const QString &param1 = {}, const QString &param2 = {},
                        bool *replaced = nullptr) const;

    // Message n of section MSG; parameterless messages are cached until the
    // language changes. Throws VbError 9 for a number outside 0 to 100.
    QString GetMessage(int number, const QString &param1 = {}, const QString &param2 = {}) override;

    // A text of the features added to the program, from section EXTRA.
    QString extra(const QString &key, const QString &param1 = {}, const QString &param2 = {}) const;

    // Recomputes the help file path from the current language.
    void SetHelpFile();
    const QString &helpFilePath() const { return m_helpFile; }

    // Folder of the current language's own files (help, stand-by pictures).
    QString languageFolder() const;

    // Every "langages/*.lng" file with the display name its LANGUAGE section gives.
    QList<LanguageEntry> availableLanguages() const;

    // The language change of the options dialog: false (and nothing changes)
    // when the name is already current or its file does not exist.
    bool changeLanguage(const QString &displayName);

    // Path of a button image of langages/common ("" when the file is missing).
    QString buttonImagePath(const QString &role) const;

private:
    static QString applyConventions(QString value, const QString &param1, const QString &param2,
                                    bool *replaced);

    QString m_programFolder;
    QString m_displayName;
    QString m_baseName;
    QString m_helpFile;
    ini::IniFile m_file{QString(), kValueLimit};
    std::array<QString, kCacheSize> m_cache;
};

} // namespace tarvello::lang
