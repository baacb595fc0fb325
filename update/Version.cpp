#include "update/Version.h"

#include "common/Cp1252.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

namespace tarvello::update {

namespace {

// Files written on Linux come as UTF-8, most often without a byte-order mark;
// text in Windows-1252 with accents is never valid UTF-8, so either reads right.
QString decodeSiteText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? common::decodeProfileText(bytes) : text;
}

} // namespace

QString siteFileText(const QByteArray &bytes)
{
    QString text = decodeSiteText(bytes);
    text.remove(QStringLiteral("\r\n"));
    text.remove(QLatin1Char('\r'));
    return text;
}

VersionNumbers parseVersion(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^[vV]?(\\d{1,9}(?:\\.\\d{1,9}){0,3})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return {};
    VersionNumbers numbers;
    for (const QString &part : match.captured(1).split(QLatin1Char('.')))
        numbers.append(part.toInt());
    return numbers;
}

int compareVersions(const VersionNumbers &a, const VersionNumbers &b)
{
    for (qsizetype i = 0; i < qMax(a.size(), b.size()); ++i) {
        const int left = a.value(i);
        const int right = b.value(i);
        if (left != right)
            return left < right ? -1 : 1;
    }
    return 0;
}

QString versionText(const VersionNumbers &version)
{
    QStringList parts;
    for (const int number : version)
        parts.append(QString::number(number));
    return parts.join(QLatin1Char('.'));
}

QString releaseNotesText(const QByteArray &bytes)
{
    static const QRegularExpression lineEnd(QStringLiteral("\\r\\n|\\r|\\n"));
    QStringList lines = decodeSiteText(bytes).split(lineEnd);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.mid(1).join(QLatin1Char('\n'));
}

} // namespace tarvello::update
