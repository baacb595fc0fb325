#include "lang/Language.h"

#include "common/VbError.h"
#include "common/Zub.h"

#include <QDir>
#include <QFileInfo>

namespace tarvello::lang {

using common::ZubFileExists;

namespace {

const QString kHelpTitle = QStringLiteral("Tarvello");

} // namespace

Language::Language(QString programFolder)
    : m_programFolder(std::move(programFolder))
{
}

void Language::setProgramFolder(const QString &folder)
{
    m_programFolder = folder;
    m_file.setPath(languageFilePath());
    m_cache.fill(QString());
    SetHelpFile();
}

void Language::setLanguage(const QString &displayName)
{
    m_displayName = displayName;
    m_baseName = common::ZubStringSansAccent(displayName);
    m_file.setPath(languageFilePath());
    m_cache.fill(QString());
    SetHelpFile();
}

QString Language::languageFilePath() const
{
    return m_programFolder + QStringLiteral("/langages/") + m_baseName + QStringLiteral(".lng");
}

bool Language::fileExists() const
{
    return QFileInfo(languageFilePath()).isFile();
}

bool Language::isReadable() const
{
    return !m_file.ReadIniKey(QStringLiteral("LANGUAGE"), QStringLiteral("language"), QString()).isEmpty();
}

QString Language::applyConventions(QString value, const QString &param1, const QString &param2,
                                   bool *replaced)
{
    value.replace(QLatin1Char('|'), QStringLiteral("\r\n"));
    if (value.startsWith(QLatin1Char('_')))
        value[0] = QLatin1Char(' ');
    if (value.endsWith(QLatin1Char('_')))
        value[value.size() - 1] = QLatin1Char(' ');
    const QString mark = QStringLiteral("%s");
    const qsizetype first = value.indexOf(mark);
    if (replaced)
        *replaced = first >= 0;
    if (first >= 0) {
        value.replace(first, mark.size(), param1);
        // The second mark is looked for from where the first one stood, so a
        // "%s" inside the first parameter can be taken for it.
        const qsizetype second = value.indexOf(mark, first);
        if (second >= 0)
            value.replace(second, mark.size(), param2);
    }
    return value;
}

QString Language::ReadLangKey(const QString &section, const QString &key, const QString &defaultValue,
                              const QString &param1, const QString &param2, bool *replaced) const
{
    return applyConventions(m_file.ReadIniKey(section, key, defaultValue), param1, param2, replaced);
}

QString Language::GetMessage(int number, const QString &param1, const QString &param2)
{
    if (number < 0 || number >= kCacheSize)
        throw common::VbError(common::VbError::SubscriptOutOfRange);
    if (!m_cache[number].isEmpty())
        return m_cache[number];
    bool replaced = false;
    const QString text = ReadLangKey(QStringLiteral("MSG"), QStringLiteral("m%1").arg(number), QString(),
                                     param1, param2, &replaced);
    if (!replaced)
        m_cache[number] = text;
    return text;
}

QString Language::extra(const QString &key, const QString &param1, const QString &param2) const
{
    return ReadLangKey(QStringLiteral("EXTRA"), key, QString(), param1, param2);
}

void Language::SetHelpFile()
{
    m_helpFile = languageFolder() + QLatin1Char('/') + kHelpTitle + QStringLiteral(".html");
}

QString Language::languageFolder() const
{
    return m_programFolder + QStringLiteral("/langages/") + m_baseName;
}

QList<LanguageEntry> Language::availableLanguages() const
{
    QList<LanguageEntry> list;
    const QDir dir(m_programFolder + QStringLiteral("/langages"));
    const auto files = dir.entryInfoList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name);
    for (const QFileInfo &info : files) {
        const ini::IniFile file(info.absoluteFilePath(), kValueLimit);
        const QString name = applyConventions(
            file.ReadIniKey(QStringLiteral("LANGUAGE"), QStringLiteral("language"), QString()), {}, {}, nullptr);
        if (!name.isEmpty())
            list.append({name, info.completeBaseName()});
    }
    return list;
}

bool Language::changeLanguage(const QString &displayName)
{
    if (displayName == m_displayName)
        return false;
    const QString base = common::ZubStringSansAccent(displayName);
    if (!QFileInfo(m_programFolder + QStringLiteral("/langages/") + base + QStringLiteral(".lng")).isFile())
        return false;
    setLanguage(displayName);
    return true;
}

QString Language::buttonImagePath(const QString &role) const
{
    const QString path = m_programFolder + QStringLiteral("/langages/common/") + role + QStringLiteral(".gif");
    return ZubFileExists(path) ? path : QString();
}

} // namespace tarvello::lang
