#include "common/Vb.h"

#include "common/VbError.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace tarvello::common {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

double parseNumeric(const QString &text)
{
    if (!vbIsNumeric(text))
        throw VbError(VbError::TypeMismatch);
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        throw VbError(VbError::TypeMismatch);
    return value;
}

// A whole number (blanks around, one sign, at most 18 digits) read without
// going through floating point, the common case of counters and positions;
// nullopt for any other text.
std::optional<qint64> plainInteger(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text.at(i)))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    int digits = 0;
    while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
        if (++digits > 18)
            return std::nullopt;
        value = value * 10 + (text.at(i).unicode() - '0');
        ++i;
    }
    while (i < n && isBlank(text.at(i)))
        ++i;
    if (digits == 0 || i != n)
        return std::nullopt;
    return negative ? -value : value;
}

template<typename Int>
Int roundInto(double value)
{
    // Half to even, whatever rounding mode the process was left in.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    if (!std::isfinite(rounded) || rounded < double(std::numeric_limits<Int>::min())
        || rounded > double(std::numeric_limits<Int>::max()))
        throw VbError(VbError::Overflow);
    return static_cast<Int>(rounded);
}

// One character of the text against one bracket list; pos stands on "[".
// Returns the position after "]", or -1 when the list is not closed.
int matchBracket(const QString &pattern, int pos, QChar c, bool &matched)
{
    int i = pos + 1;
    bool negate = false;
    if (i < pattern.size() && pattern.at(i) == QLatin1Char('!')) {
        negate = true;
        ++i;
    }
    bool found = false;
    bool first = true;
    while (i < pattern.size() && (pattern.at(i) != QLatin1Char(']') || first)) {
        first = false;
        const QChar low = pattern.at(i);
        if (i + 2 < pattern.size() && pattern.at(i + 1) == QLatin1Char('-')
            && pattern.at(i + 2) != QLatin1Char(']')) {
            const QChar high = pattern.at(i + 2);
            if (c >= low && c <= high)
                found = true;
            i += 3;
        } else {
            if (c == low)
                found = true;
            ++i;
        }
    }
    if (i >= pattern.size())
        return -1;
    matched = found != negate;
    return i + 1;
}

// Whether the pattern element at pos matches c; next receives the position of
// the following element.
bool matchOne(const QString &pattern, int pos, QChar c, int &next)
{
    const QChar p = pattern.at(pos);
    if (p == QLatin1Char('?')) {
        next = pos + 1;
        return true;
    }
    if (p == QLatin1Char('#')) {
        next = pos + 1;
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    }
    if (p == QLatin1Char('[')) {
        bool matched = false;
        const int after = matchBracket(pattern, pos, c, matched);
        if (after >= 0) {
            next = after;
            return matched;
        }
    }
    next = pos + 1;
    return p == c;
}

} // namespace

bool vbIsNumeric(const QString &text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && isBlank(text.at(i)))
        ++i;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    int digits = 0;
    bool point = false;
    while (i < n) {
        const QChar c = text.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            ++digits;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
        ++i;
    }
    while (i < n && isBlank(text.at(i)))
        ++i;
    return digits > 0 && i == n;
}

namespace {

template<typename Int>
Int convertText(const QString &text)
{
    if (const auto value = plainInteger(text)) {
        if (*value < std::numeric_limits<Int>::min() || *value > std::numeric_limits<Int>::max())
            throw VbError(VbError::Overflow);
        return static_cast<Int>(*value);
    }
    return roundInto<Int>(parseNumeric(text));
}

} // namespace

qint16 vbCInt(const QString &text)
{
    return convertText<qint16>(text);
}

qint32 vbCLng(const QString &text)
{
    return convertText<qint32>(text);
}

float vbCSng(const QString &text)
{
    const double value = parseNumeric(text);
    if (std::fabs(value) > double(std::numeric_limits<float>::max()))
        throw VbError(VbError::Overflow);
    return float(value);
}

qint16 vbCInt(double value)
{
    return roundInto<qint16>(value);
}

qint32 vbCLng(double value)
{
    return roundInto<qint32>(value);
}

bool vbLike(const QString &text, const QString &pattern)
{
    // Greedy scan with one back-tracking point at the last "*": linear for
    // the usual patterns, never exponential.
    int t = 0;
    int p = 0;
    int starP = -1;
    int starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            starP = ++p;
            starT = t;
            continue;
        }
        int next = 0;
        if (p < pattern.size() && matchOne(pattern, p, text.at(t), next)) {
            p = next;
            ++t;
            continue;
        }
        if (starP < 0)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

QStringList vbSplit(const QString &text, const QString &separator)
{
    if (text.isEmpty())
        return {};
    if (separator.isEmpty())
        return {text};
    return text.split(separator, Qt::KeepEmptyParts);
}

QString vbMid(const QString &text, int start, std::optional<int> length)
{
    if (start < 1 || (length && *length < 0))
        throw VbError(VbError::InvalidProcedureCall);
    if (start > text.size())
        return {};
    return length ? text.mid(start - 1, *length) : text.mid(start - 1);
}

QString vbLeft(const QString &text, int n)
{
    if (n < 0)
        throw VbError(VbError::InvalidProcedureCall);
    return text.left(n);
}

QString vbRight(const QString &text, int n)
{
    if (n < 0)
        throw VbError(VbError::InvalidProcedureCall);
    return text.right(n);
}

int vbInStr(const QString &text, const QString &part, int start)
{
    if (start < 1)
        throw VbError(VbError::InvalidProcedureCall);
    if (start > text.size())
        return part.isEmpty() && start == text.size() + 1 ? start : 0;
    if (part.isEmpty())
        return start;
    const auto found = text.indexOf(part, start - 1, Qt::CaseSensitive);
    return found < 0 ? 0 : int(found) + 1;
}

QString vbTrim(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

namespace {

// The maps keep each character in its plane, so the result has the text's
// length.
template<typename Map>
void mapEachCharacterInto(QStringView text, QChar *out, Map map)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t mapped = map(QChar::surrogateToUcs4(c, text.at(i + 1)));
            out[i] = QChar(QChar::highSurrogate(mapped));
            out[i + 1] = QChar(QChar::lowSurrogate(mapped));
            ++i;
        } else {
            out[i] = QChar(char16_t(map(c.unicode())));
        }
    }
}

template<typename Map>
QString mapEachCharacter(const QString &text, Map map)
{
    QString result = text;
    mapEachCharacterInto(text, result.data(), map);
    return result;
}

char32_t upperCase(char32_t c)
{
    // ASCII, most names, without the Unicode tables.
    if (c < 0x80)
        return c >= U'a' && c <= U'z' ? c - (U'a' - U'A') : c;
    const char32_t up = QChar::toUpper(c);
    // A character whose simple upper case leaves its plane stays as it is.
    return (c < 0x10000) == (up < 0x10000) ? up : c;
}

} // namespace

QString vbUCase(const QString &text)
{
    return mapEachCharacter(text, upperCase);
}

void vbUCaseInto(QStringView text, QChar *out)
{
    mapEachCharacterInto(text, out, upperCase);
}

QString vbLCase(const QString &text)
{
    return mapEachCharacter(text, [](char32_t c) -> char32_t {
        const char32_t low = QChar::toLower(c);
        return (c < 0x10000) == (low < 0x10000) ? low : c;
    });
}

} // namespace tarvello::common
