#include "rules/RuleCheck.h"

#include "common/Vb.h"
#include "common/VbError.h"
#include "rules/RegexDirective.h"

#include <QList>

#include <algorithm>

namespace tarvello::rules {

namespace {

const QString kMkdir = QStringLiteral("$MKDIR");

// The slash check: slashes may stand only between the first directive the
// rule holds and the separator that closes it (1-based positions; past the
// end of the rule when a $REPP or $MKDIR stops early). A slash in a rule
// without a directive is one forbidden character among the others, unless a
// regular expression directive stood there: then it is a misplaced slash.
std::optional<QString> slashRefusal(const QString &rule, bool regexRemoved = false)
{
    if (!rule.contains(QLatin1Char('/')))
        return std::nullopt;
    struct Directive {
        QString name;
        // Which slash after the directive closes it.
        int closing;
    };
    const Directive directives[] = {{QStringLiteral("$REPC"), 3}, {QStringLiteral("$REPP"), 4}, {kMkdir, 2}};
    int start = 0;
    const Directive *found = nullptr;
    for (const Directive &directive : directives) {
        start = common::vbInStr(rule, directive.name);
        if (start > 0) {
            found = &directive;
            break;
        }
    }
    if (!found)
        return regexRemoved ? QStringLiteral("/") : forbiddenRuleCharacters();
    QList<int> slashes;
    for (int i = start + 1; i <= rule.size(); ++i) {
        if (rule.at(i - 1) == QLatin1Char('/'))
            slashes.append(i);
    }
    int end = 0;
    if (slashes.size() >= found->closing)
        end = slashes.at(found->closing - 1);
    else if (found->closing == 3)
        // $REPC without its choice ends at its second slash.
        end = slashes.size() >= 2 ? slashes.at(1) : 0;
    else
        end = int(rule.size()) + 1;
    for (int i = 1; i <= rule.size(); ++i) {
        if (rule.at(i - 1) == QLatin1Char('/') && (i <= start || i > end))
            return QStringLiteral("/");
    }
    return std::nullopt;
}

} // namespace

QString forbiddenRuleCharacters()
{
    return QStringLiteral("/:?\"<>|\\");
}

std::optional<QString> ruleRefusal(const QString &rule)
{
    // A regular expression is made of the very characters a name may not
    // hold: only the replacement, which goes into the names, is checked.
    if (const std::optional<RegexDirective> regex = findRegexDirective(rule)) {
        QString outside = rule;
        outside.replace(regex->start, regex->end - regex->start, QString(regex->replacement).remove(QLatin1Char('\\')));
        if (const std::optional<QString> slash = slashRefusal(outside, true))
            return slash;
        return ruleRefusal(outside);
    }
    if (const std::optional<QString> slash = slashRefusal(rule))
        return slash;
    const QString forbidden = forbiddenRuleCharacters();
    for (const QChar c : forbidden.mid(1, 6)) {
        if (rule.contains(c))
            return forbidden;
    }
    if (!rule.contains(kMkdir) && rule.contains(QLatin1Char('\\')))
        return forbidden;
    return std::nullopt;
}

bool holdsControlCharacter(const QString &rule)
{
    return std::any_of(rule.cbegin(), rule.cend(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

QString positionDirective(const PositionForm &form)
{
    const QString slash = QStringLiteral("/");
    QString directive = QStringLiteral("$REPP") + slash;
    switch (form.range) {
    case 0: directive += form.positions[0] + slash + form.positions[1]; break;
    case 1: directive += form.positions[2] + slash; break;
    case 2: directive += slash + form.positions[3]; break;
    default: break;
    }
    if (form.origin == 0)
        directive += slash + QStringLiteral("1");
    else if (form.origin == 1)
        directive += slash + QStringLiteral("-1");
    return directive + slash + form.replacement + QLatin1Char('$');
}

QString textDirective(const QString &search, const QString &replacement, int choice)
{
    QString directive = QStringLiteral("$REPC/") + search + QLatin1Char('/') + replacement;
    if (choice == 1)
        directive += QStringLiteral("/-1");
    else if (choice == 2)
        directive += QStringLiteral("/1");
    return directive + QLatin1Char('$');
}

QString tokenOfCaption(const QString &caption)
{
    const qsizetype colon = caption.indexOf(QStringLiteral(" :"));
    return colon < 0 ? caption : caption.left(colon);
}

QString insertToken(const QString &rule, int caret, const QString &token)
{
    if (caret < 0 || caret > rule.size())
        caret = int(rule.size());
    return rule.left(caret) + token + rule.mid(caret);
}

QString positionFieldText(const QString &text)
{
    if (!common::vbIsNumeric(text))
        return QStringLiteral("1");
    const qint16 position = common::vbCInt(text);
    return position < 1 ? QStringLiteral("1") : QString::number(position);
}

CounterBoxCheck checkCounterBox(CounterBox box, const QString &text)
{
    using Verdict = CounterBoxCheck::Verdict;
    if (box == CounterBox::Start && common::vbTrim(text) == QLatin1String("#"))
        return {Verdict::Continuation, text, 0};
    const qint32 fallback = box == CounterBox::Passes ? 0 : 1;
    if (!common::vbIsNumeric(text))
        return {Verdict::NotANumber, QString::number(fallback), fallback};
    try {
        const qint32 value = box == CounterBox::Start ? common::vbCLng(text) : common::vbCInt(text);
        return {Verdict::Number, text, value};
    } catch (const common::VbError &) {
        return {Verdict::OutOfRange, QString::number(fallback), fallback};
    }
}

} // namespace tarvello::rules
