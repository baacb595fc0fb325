#pragma once

#include <QRegularExpression>
#include <QString>

#include <optional>

namespace tarvello::lang {
class Language;
}

// The $REGX directive: «$REGX/pattern/replacement/flags$» replaces what a
// regular expression finds in the base name, as $REPC replaces a text. The
// pattern runs to the first "/" that no "\" escapes, so it may hold "$" as an
// anchor; the replacement runs to the next unescaped "/" or "$" and names the
// pattern's groups as \1 to \9 (\0 the whole match, \\ a backslash); the flags
// are i (case ignored) and g (every match, not only the first). The fields
// are read from the rule as typed: "*" and the tokens inside them are the
// expression's own characters, never the file's name or dates.
namespace tarvello::rules {

struct RegexDirective {
    QString pattern;
    QString replacement;
    bool ignoreCase = false;
    bool global = false;
    // Where the directive stands in the rule: from its "$REGX" to its closing
    // "$" included, 0-based.
    qsizetype start = 0;
    qsizetype end = 0;
};

// Why a $REGX directive cannot be applied.
struct RegexRefusal {
    enum Kind {
        // Not written $REGX/pattern/replacement/flags$, or a flag other than i and g.
        Syntax,
        // The pattern does not compile: offset (1-based, in the pattern) and reason.
        Pattern,
        // The replacement names a group the pattern lacks: offset is its number.
        Group,
    };
    Kind kind = Syntax;
    int offset = 0;
    QString reason;
};

// The first $REGX directive of the rule as written, or nullopt when the rule
// holds none or it is not complete.
std::optional<RegexDirective> findRegexDirective(const QString &rule);

// Why the rule's $REGX directive cannot be applied; nullopt when the rule
// holds none or it can.
std::optional<RegexRefusal> regexRefusal(const QString &rule);

// The refusal told to the user, in the current language.
QString regexRefusalText(const lang::Language &language, const RegexRefusal &refusal);

// The expression the directive compiles to.
QRegularExpression compileRegex(const RegexDirective &directive);

// The base name with the directive's replacement put where the expression
// matches (the first match, or every one with the g flag).
QString applyRegex(const RegexDirective &directive, const QRegularExpression &expression, const QString &base);

// The directive the builder writes: «$REGX/(\d+)/n\1/g$». A "/" of the
// pattern or the replacement is escaped, and a "$" of the replacement too.
QString regexDirective(const QString &pattern, const QString &replacement, bool ignoreCase, bool global);

} // namespace tarvello::rules
