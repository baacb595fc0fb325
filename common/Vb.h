#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Text and number helpers with the semantics of the language the program was
// first written in. Positions are 1-based and count UTF-16 code units, as
// QString does; taking text outside a string is error 5, never a silent clamp.
namespace tarvello::common {

// True when the text reads as a number: blanks around, one sign, digits with at
// most one decimal point ("." only), at least one digit.
bool vbIsNumeric(const QString &text);

// The text as a 16-bit integer, halves rounded to even ("2.5" gives 2, "2.6"
// gives 3). Throws VbError 13 when not numeric, 6 when out of range.
qint16 vbCInt(const QString &text);

// The text as a 32-bit integer, with the rounding and errors of vbCInt.
qint32 vbCLng(const QString &text);

// The text as a single-precision number. Throws VbError 13 when not numeric.
float vbCSng(const QString &text);

// A number rounded half to even into 16 bits. Throws VbError 6 out of range.
qint16 vbCInt(double value);

// A number rounded half to even into 32 bits. Throws VbError 6 out of range.
qint32 vbCLng(double value);

// Wildcard match of the whole text: "*" any run, "?" one character, "#" one
// digit, "[abc]", "[a-z]" and "[!abc]" one character of (or not of) the list.
// Case-sensitive; callers upper-case both sides to ignore case. An unclosed
// "[" stands for itself.
bool vbLike(const QString &text, const QString &pattern);

// Splits at every occurrence of the separator, keeping empty pieces; an empty
// text gives no pieces at all, an empty separator the whole text.
QStringList vbSplit(const QString &text, const QString &separator);

// Characters from 1-based start, length characters or to the end. A start
// below 1 or a negative length throws VbError 5; past the end gives "".
QString vbMid(const QString &text, int start, std::optional<int> length = std::nullopt);

// The first n characters. A negative n throws VbError 5.
QString vbLeft(const QString &text, int n);

// The last n characters. A negative n throws VbError 5.
QString vbRight(const QString &text, int n);

// 1-based position of the first occurrence of part from start on, 0 when
// absent; an empty part gives start. A start below 1 throws VbError 5.
int vbInStr(const QString &text, const QString &part, int start = 1);

// Removes leading and trailing spaces (spaces only, not tabs).
QString vbTrim(const QString &text);

// Upper case, one character to one ("ß" stays "ß").
QString vbUCase(const QString &text);
// The same upper case written to out, which has room for text.size() units.
void vbUCaseInto(QStringView text, QChar *out);

// Lower case, one character to one.
QString vbLCase(const QString &text);

} // namespace tarvello::common
