#include "rules/RuleTools.h"

#include "common/Vb.h"

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

QString commentCaption(const QString &comment, const QString &extensionFilter)
{
    return comment + QStringLiteral(" (") + extensionFilter + QLatin1Char(')');
}

QString extensionFilterOfCaption(const QString &caption)
{
    // Splitting at "(" must give two parts, and the second split at ")" two
    // parts again: one of each, the ")" after the "(".
    const qsizetype open = caption.indexOf(QLatin1Char('('));
    if (open < 0 || caption.indexOf(QLatin1Char('('), open + 1) >= 0)
        return QStringLiteral("*");
    const qsizetype close = caption.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0 || caption.indexOf(QLatin1Char(')'), close + 1) >= 0)
        return QStringLiteral("*");
    return common::vbTrim(caption.mid(open + 1, close - open - 1));
}

std::optional<std::pair<QString, QString>> editedComment(const QString &comment, const QString &extensionFilter,
                                                         const QString &defaultComment)
{
    for (const QString &text : {comment, extensionFilter}) {
        if (text.contains(QLatin1Char('(')) || text.contains(QLatin1Char(')')))
            return std::nullopt;
    }
    const QString trimmedComment = common::vbTrim(comment);
    const QString trimmedFilter = common::vbTrim(extensionFilter);
    return std::pair{trimmedComment.isEmpty() ? defaultComment : trimmedComment,
                     trimmedFilter.isEmpty() ? QStringLiteral("*") : trimmedFilter};
}

} // namespace tarvello::rules
