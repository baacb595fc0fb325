#include "dialogs/HelpTopics.h"

#include "update/Site.h"

namespace tarvello::dialogs {

bool versionChanged(const QString &storedVersion, const settings::ProgramVersion &running)
{
    int parts[3] = {0, 0, 0};
    const qsizetype first = storedVersion.indexOf(QLatin1Char('.'));
    if (first >= 0) {
        const qsizetype second = storedVersion.indexOf(QLatin1Char('.'), first + 1);
        const QString texts[3] = {
            storedVersion.left(first),
            second < 0 ? storedVersion.mid(first + 1) : storedVersion.mid(first + 1, second - first - 1),
            second < 0 ? QString() : storedVersion.mid(second + 1),
        };
        for (int i = 0; i < 3; ++i)
            parts[i] = texts[i].trimmed().toInt();
    }
    return parts[0] != running.major || parts[1] != running.minor || parts[2] != running.revision;
}

QString onlineManualUrl()
{
    return update::siteAddress() + QLatin1Char('/') + update::productName() + QStringLiteral("/manuel.html");
}

} // namespace tarvello::dialogs
