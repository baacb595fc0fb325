#pragma once

#include <QString>

#include <array>
#include <optional>

// The checks and builders behind the rule box and its aids: what a rule may
// hold, the two directives the forms write, the tokens the labels insert.
namespace tarvello::rules {

// The characters a file name may not hold, in the order the rule check tests
// them: slash, colon, question mark, double quote, less-than, greater-than,
// vertical bar, backslash. Message 21 names them.
QString forbiddenRuleCharacters();

// Why the rule cannot be applied: the parameter of message 21 (the forbidden
// characters, or "/" for a slash outside the directive that allows it), or
// nothing when the rule passes. Slashes are allowed only within the first of
// $REPC, $REPP and $MKDIR the rule holds, up to the separator that closes it,
// and a backslash only in a rule holding $MKDIR. Of a $REGX directive only
// the replacement is checked, its backslashes aside.
std::optional<QString> ruleRefusal(const QString &rule);

// True when the rule holds a control character (a tab, a line break, ...). A
// rule is one line: such a character would go into the new names, and a list
// of names one a line would no longer read back.
bool holdsControlCharacter(const QString &rule);

// The choices of the position directive's form.
struct PositionForm {
    // optRepPos: 0 between two positions, 1 before a position, 2 after one; -1 none chosen.
    int range = -1;
    // The texts of txtRepPos(0) to txtRepPos(3).
    std::array<QString, 4> positions;
    // optRepPosDebutFin: 0 counted from the start, 1 from the end; -1 none chosen.
    int origin = -1;
    QString replacement;
};

// The $REPP directive the form describes: «$REPP/3/7/1/abc$», «$REPP/4//-1/abc$».
QString positionDirective(const PositionForm &form);

// The $REPC directive: choice 0 replaces the text itself, 1 what comes before
// it, 2 what comes after it: «$REPC/IMG/Photo$», «$REPC/IMG/Photo/-1$».
QString textDirective(const QString &search, const QString &replacement, int choice);

// The token a token label stands for: its caption up to the first " :", or
// the whole caption.
QString tokenOfCaption(const QString &caption);

// The rule with the token put after its first caret characters; a caret past
// the end, or none (negative), puts it at the end.
QString insertToken(const QString &rule, int caret, const QString &token);

// The text a position box holds once the user leaves it: a number rounded to
// a whole one (halves to even), "1" for anything below 1 or not a number.
// Throws VbError 6 for a number beyond 16 bits.
QString positionFieldText(const QString &text);

// The counter boxes: the start (32 bits, "#" for continuation mode), the step
// and the number of passes (16 bits each).
enum class CounterBox { Start, Step, Passes };

// What leaving a counter box makes of its text.
struct CounterBoxCheck {
    enum class Verdict {
        Number,       // a number the counter can hold
        Continuation, // "#" in the start box
        NotANumber,   // the box's default back, with message 13
        OutOfRange,   // the box's default back, with the box's own message
    };
    Verdict verdict = Verdict::Number;
    // The box's text afterwards: the typed text, or the default ("0" for the
    // passes, else "1").
    QString text;
    // The typed number, or the default put back.
    qint32 value = 0;
};

CounterBoxCheck checkCounterBox(CounterBox box, const QString &text);

} // namespace tarvello::rules
