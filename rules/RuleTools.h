#pragma once

#include <QDateTime>
#include <QString>

#include <optional>
#include <utility>

namespace tarvello::rules {

// How many times part occurs in text, without overlaps; 0 for an empty part.
int countOccurrences(const QString &text, const QString &part);

// True when the rule holds an odd number of "$", the case in which the window
// warns with message 92; the names are computed all the same.
bool checkNbDollarIsPair(const QString &rule);

// The time in local time as "dd/mm/yyyy hh:nn:ss" («05/03/2004 09:07:02»);
// "" for an invalid time.
QString formatFileDate(const QDateTime &time);

// The caption of lblComment: comment, " (", extension filter, ")".
QString commentCaption(const QString &comment, const QString &extensionFilter);

// The extension filter read back from a caption the way the rename always read
// it: a comment holding "(" or a filter holding ")" gives "*".
QString extensionFilterOfCaption(const QString &caption);

// The comment and extension filter that the comment dialog gives the current
// rule: each trimmed, defaultComment for an empty comment and "*" for an empty
// filter. nullopt when either holds a bracket, at which the caption of
// lblComment could no longer be split.
std::optional<std::pair<QString, QString>> editedComment(const QString &comment, const QString &extensionFilter,
                                                         const QString &defaultComment);

} // namespace tarvello::rules
