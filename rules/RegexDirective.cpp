#include "rules/RegexDirective.h"

#include "lang/Language.h"

#include <algorithm>

namespace tarvello::rules {

namespace {

const QString kRegx = QStringLiteral("$REGX");

// The end of a field that starts at from: the first of the stops that no "\"
// escapes, or -1 when none comes.
qsizetype fieldEnd(const QString &rule, qsizetype from, QStringView stops)
{
    for (qsizetype i = from; i < rule.size(); ++i) {
        if (rule.at(i) == QLatin1Char('\\'))
            ++i;
        else if (stops.contains(rule.at(i)))
            return i;
    }
    return -1;
}

// The directive's fields, and whether its flags are only i and g.
struct Parsed {
    RegexDirective directive;
    bool flagsKnown = true;
};

std::optional<Parsed> parse(const QString &rule)
{
    const qsizetype start = rule.indexOf(kRegx);
    if (start < 0)
        return std::nullopt;
    const qsizetype open = start + kRegx.size();
    if (open >= rule.size() || rule.at(open) != QLatin1Char('/'))
        return std::nullopt;
    const qsizetype patternEnd = fieldEnd(rule, open + 1, u"/");
    if (patternEnd < 0)
        return std::nullopt;
    const qsizetype replacementEnd = fieldEnd(rule, patternEnd + 1, u"/$");
    if (replacementEnd < 0)
        return std::nullopt;
    Parsed parsed;
    RegexDirective &d = parsed.directive;
    d.start = start;
    d.pattern = rule.mid(open + 1, patternEnd - open - 1);
    d.replacement = rule.mid(patternEnd + 1, replacementEnd - patternEnd - 1);
    qsizetype close = replacementEnd;
    if (rule.at(replacementEnd) == QLatin1Char('/')) {
        close = rule.indexOf(QLatin1Char('$'), replacementEnd + 1);
        if (close < 0)
            return std::nullopt;
        for (const QChar flag : QStringView(rule).sliced(replacementEnd + 1, close - replacementEnd - 1)) {
            if (flag == QLatin1Char('i'))
                d.ignoreCase = true;
            else if (flag == QLatin1Char('g'))
                d.global = true;
            else
                parsed.flagsKnown = false;
        }
    }
    d.end = close + 1;
    return parsed;
}

bool isGroupDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The highest group the replacement names, 0 when none.
int highestGroup(const QString &replacement)
{
    int highest = 0;
    for (qsizetype i = 0; i + 1 < replacement.size(); ++i) {
        if (replacement.at(i) != QLatin1Char('\\'))
            continue;
        const QChar next = replacement.at(++i);
        if (isGroupDigit(next))
            highest = std::max(highest, next.digitValue());
    }
    return highest;
}

// Escapes the stops that are not escaped already.
QString escaped(const QString &field, QStringView stops)
{
    QString out;
    out.reserve(field.size() + 4);
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c == QLatin1Char('\\') && i + 1 < field.size()) {
            out += c;
            out += field.at(++i);
            continue;
        }
        if (stops.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

} // namespace

std::optional<RegexDirective> findRegexDirective(const QString &rule)
{
    const std::optional<Parsed> parsed = parse(rule);
    if (!parsed || !parsed->flagsKnown)
        return std::nullopt;
    return parsed->directive;
}

std::optional<RegexRefusal> regexRefusal(const QString &rule)
{
    if (!rule.contains(kRegx))
        return std::nullopt;
    const std::optional<Parsed> parsed = parse(rule);
    if (!parsed || !parsed->flagsKnown)
        return RegexRefusal{RegexRefusal::Syntax, 0, {}};
    const QRegularExpression expression = compileRegex(parsed->directive);
    if (!expression.isValid())
        return RegexRefusal{RegexRefusal::Pattern, int(expression.patternErrorOffset()) + 1, expression.errorString()};
    const int group = highestGroup(parsed->directive.replacement);
    if (group > expression.captureCount())
        return RegexRefusal{RegexRefusal::Group, group, {}};
    return std::nullopt;
}

QString regexRefusalText(const lang::Language &language, const RegexRefusal &refusal)
{
    switch (refusal.kind) {
    case RegexRefusal::Syntax:
        return language.extra(QStringLiteral("RegexSyntax"));
    case RegexRefusal::Pattern:
        return language.extra(QStringLiteral("RegexPattern"), QString::number(refusal.offset), refusal.reason);
    case RegexRefusal::Group:
        return language.extra(QStringLiteral("RegexGroup"), QString::number(refusal.offset));
    }
    return {};
}

QRegularExpression compileRegex(const RegexDirective &directive)
{
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (directive.ignoreCase)
        options |= QRegularExpression::CaseInsensitiveOption;
    return QRegularExpression(directive.pattern, options);
}

QString applyRegex(const RegexDirective &directive, const QRegularExpression &expression, const QString &base)
{
    QString result;
    qsizetype copied = 0;
    QRegularExpressionMatchIterator matches = expression.globalMatch(base);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        result += QStringView(base).sliced(copied, match.capturedStart() - copied);
        const QString &replacement = directive.replacement;
        for (qsizetype i = 0; i < replacement.size(); ++i) {
            const QChar c = replacement.at(i);
            if (c != QLatin1Char('\\') || i + 1 == replacement.size()) {
                result += c;
                continue;
            }
            const QChar next = replacement.at(++i);
            if (isGroupDigit(next))
                result += match.captured(next.digitValue());
            else
                result += next;
        }
        copied = match.capturedEnd();
        if (!directive.global)
            break;
    }
    result += QStringView(base).sliced(copied);
    return result;
}

QString regexDirective(const QString &pattern, const QString &replacement, bool ignoreCase, bool global)
{
    QString directive = kRegx + QLatin1Char('/') + escaped(pattern, u"/") + QLatin1Char('/')
        + escaped(replacement, u"/$");
    if (ignoreCase || global) {
        directive += QLatin1Char('/');
        if (ignoreCase)
            directive += QLatin1Char('i');
        if (global)
            directive += QLatin1Char('g');
    }
    return directive + QLatin1Char('$');
}

} // namespace tarvello::rules
