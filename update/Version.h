#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tarvello::update {

// A version as its numbers, major first ("1.13.10" is {1, 13, 10}).
using VersionNumbers = QList<int>;

// The text of a file from the site, decoded as UTF-8 when it is valid UTF-8
// (a byte-order mark dropped), else as Windows-1252, its lines joined as the
// program has always joined them: a carriage return, with the line feed that
// may follow it, is dropped; a line feed alone stays.
QString siteFileText(const QByteArray &bytes);

// The version a version file announces: its text with blanks around and a
// leading "v" dropped, then one to four numbers separated by dots. Empty when
// the text is anything else (an error page, a stray word).
VersionNumbers parseVersion(const QString &text);

// Compares by number, part after part; a missing part counts as 0, so
// "1.13" equals "1.13.0" and "1.13.10" is newer than "1.13.9".
int compareVersions(const VersionNumbers &a, const VersionNumbers &b);

// "1.13.10"
QString versionText(const VersionNumbers &version);

// The release notes as the update dialog shows them: the file's lines without
// the first (a title), one per line. Any of "\r\n", "\r" and "\n" ends a line,
// so notes saved on Windows read as written.
QString releaseNotesText(const QByteArray &bytes);

} // namespace tarvello::update
