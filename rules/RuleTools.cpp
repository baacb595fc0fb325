#include "rules/RuleTools.h"

namespace tarvello::rules {

int countOccurrences(const QString &text, const QString &part)
{
    if (part.isEmpty())
        return 0;
    return int((text.size() - QString(text).remove(part).size()) / part.size());
}

bool checkNbDollarIsPair(const QString &rule)
{
    return (countOccurrences(rule, QStringLiteral("$")) & 1) != 0;
}

QString formatFileDate(const QDateTime &time)
{
    if (!time.isValid())
        return {};
    return time.toLocalTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
}

} // namespace tarvello::rules
