#include "settings/Settings.h"

namespace tarvello::settings {

QString ProgramVersion::text() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

QList<ForbiddenCharacterRow> Settings::defaultForbiddenCharacters()
{
    return {
        {QStringLiteral("éèêë"), QStringLiteral("e")},
        {QStringLiteral("àâ"), QStringLiteral("a")},
        {QStringLiteral("ç"), QStringLiteral("c")},
        {QStringLiteral("ïì"), QStringLiteral("i")},
        {QStringLiteral("ùû"), QStringLiteral("u")},
        {QStringLiteral("ô"), QStringLiteral("o")},
        {QStringLiteral("/:?\"<>|\\"), QStringLiteral("_")},
    };
}

QStringList Settings::defaultForbiddenFiles()
{
    return {QStringLiteral("desktop.ini"), QStringLiteral("fssort.ini"), QStringLiteral("Thumbs.db")};
}

const QStringList &yearFormats()
{
    static const QStringList formats = {QStringLiteral("yyyy"), QStringLiteral("yy")};
    return formats;
}

const QStringList &monthFormats()
{
    static const QStringList formats = {QStringLiteral("m"), QStringLiteral("mm"), QStringLiteral("mmm"),
                                        QStringLiteral("mmmm")};
    return formats;
}

} // namespace tarvello::settings
