#include "QtPrint.h"

#include "common/VbError.h"
#include "rules/RegexDirective.h"
#include "rules/RuleCheck.h"
#include "rules/RuleTools.h"
#include "settings/RuleOptions.h"

#include <gtest/gtest.h>

using namespace tarvello;
using namespace tarvello::rules;

namespace {

// What the rule box and the forms around it make of a typed text, each check
// giving its answer as text.
QString refusal(const QString &rule)
{
    return ruleRefusal(rule).value_or("none");
}

QString control(const QString &rule)
{
    return holdsControlCharacter(rule) ? "control" : "none";
}

QString oddDollars(const QString &rule)
{
    return QString::number(countOccurrences(rule, "$")) + (checkNbDollarIsPair(rule) ? " odd" : " even");
}

TEST(RuleCheck, typedTexts)
{
    const QString all = forbiddenRuleCharacters();
    const QString slash = "/";
    const struct { QString (*check)(const QString &); QString typed; QString expected; } cases[] = {
        // Outside a directive each forbidden character is refused, the slash too.
        {refusal, "a/b", all}, {refusal, "a:b", all}, {refusal, "a?b", all}, {refusal, "a\"b", all},
        {refusal, "a<b", all}, {refusal, "a>b", all}, {refusal, "a|b", all}, {refusal, "a\\b", all},
        {refusal, "Photo_$dA$-$dM$_###", "none"}, {refusal, "$REPC/a/b$", "none"}, {refusal, "$REPC/a/b/1$", "none"},
        {refusal, "x/$REPC/a/b$", slash}, {refusal, "$REPC/a/b/1$/", slash},
        // Without its second slash the directive has no end: every slash is out.
        {refusal, "$REPC/a$", slash}, {refusal, "$REPP/1/3/1/x$", "none"}, {refusal, "$REPP/1/3/1/x/$", slash},
        {refusal, "$REPP/1/3$", "none"}, {refusal, "$MKDIR/a/b", "none"}, {refusal, "$MKDIR/a/b/c", slash},
        // The first directive found in the order $REPC, $REPP, $MKDIR decides.
        {refusal, "$REPP/1/2/1/x$ $REPC/a/b$", slash},
        // A misplaced slash is named before any other character.
        {refusal, "x/$REPC/a/b$:", slash}, {refusal, "$REPC/a/b$:", all}, {refusal, "dossier\\*", all},
        {refusal, "$MKDIR dossier\\*", "none"}, {refusal, "$MKDIR dossier\\*:", all},
        // A regular expression may hold any of them; its replacement may not.
        {refusal, R"($REGX/^(a|b)?:\d+<>"/\1_$)", "none"}, {refusal, "$REGX/a/x:y$", all},
        {refusal, "$REGX/a/x\\/y$", slash}, {refusal, "x/$REGX/a/b$", slash},
        // Separators that are not control characters may stand in a name.
        {control, "Photo_$dA$ été_###", "none"}, {control, "", "none"}, {control, "a\u00A0b\u2028c", "none"},
        {control, "a\tb", "control"}, {control, "a\nb", "control"}, {control, "a\r", "control"},
        {control, "\u0001", "control"}, {control, "a\u007Fb", "control"}, {control, "a\u0085b", "control"},
        {control, QString(QChar(0)), "control"},
        {oddDollars, "", "0 even"}, {oddDollars, "$A$", "2 even"}, {oddDollars, "a$b", "1 odd"},
        // Position boxes keep a number from 1, rounded half to even.
        {positionFieldText, "4", "4"}, {positionFieldText, " 7 ", "7"}, {positionFieldText, "2.6", "3"},
        {positionFieldText, "2.5", "2"}, {positionFieldText, "3.5", "4"}, {positionFieldText, "0", "1"},
        {positionFieldText, "-4", "1"}, {positionFieldText, "", "1"}, {positionFieldText, "abc", "1"},
        {positionFieldText, "1e3", "1"}, {positionFieldText, "32767", "32767"},
        // A token label inserts what stands before its " : ".
        {tokenOfCaption, "$N$ : premier nombre du nom", "$N$"}, {tokenOfCaption, "# : compteur : un # par chiffre", "#"},
        {tokenOfCaption, "$REPC/ancien/nouveau$ : remplacer", "$REPC/ancien/nouveau$"},
        {tokenOfCaption, "sans deux-points", "sans deux-points"}, {tokenOfCaption, "a:b", "a:b"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.check(c.typed), c.expected) << c.typed.toUtf8().toHex().constData();
    EXPECT_EQ(countOccurrences("aaaa", "aa"), 2);
    EXPECT_EQ(countOccurrences("é#é#", "é#"), 2);
    EXPECT_EQ(countOccurrences("abc", ""), 0);
    try {
        positionFieldText("40000");
        ADD_FAILURE() << "a position beyond 16 bits passed";
    } catch (const common::VbError &error) {
        EXPECT_EQ(error.number(), common::VbError::Overflow);
    }
}

TEST(RuleCheck, directivesAndTokensTheFormsWrite)
{
    const std::array<QString, 4> positions = {"3", "7", "4", "5"};
    const struct {
        int range;
        int origin;
        const char *directive;
    } cases[] = {{0, 0, "$REPP/3/7/1/abc$"}, {1, 0, "$REPP/4//1/abc$"}, {2, 0, "$REPP//5/1/abc$"},
                 {1, 1, "$REPP/4//-1/abc$"}, {-1, -1, "$REPP//abc$"}};
    for (const auto &c : cases)
        EXPECT_EQ(positionDirective({c.range, positions, c.origin, "abc"}), c.directive);
    EXPECT_EQ(textDirective("IMG", "Photo", 0), "$REPC/IMG/Photo$");
    EXPECT_EQ(textDirective("IMG", "Photo", 1), "$REPC/IMG/Photo/-1$");
    EXPECT_EQ(textDirective("IMG", "", 2), "$REPC/IMG//1$");
    // The builder escapes the stops of each field, and only those not escaped yet.
    EXPECT_EQ(regexDirective(R"((\d+))", R"(n\1)", false, true), R"($REGX/(\d+)/n\1/g$)");
    EXPECT_EQ(regexDirective(R"(a/b\/c$)", "x$/y", true, false), R"($REGX/a\/b\/c$/x\$\/y/i$)");
    EXPECT_EQ(regexDirective("a", "", false, false), "$REGX/a/$");

    const std::pair<int, const char *> carets[] = {{0, "$A$abc"}, {1, "a$A$bc"}, {3, "abc$A$"}, {40, "abc$A$"}, {-1, "abc$A$"}};
    for (const auto &[caret, rule] : carets)
        EXPECT_EQ(insertToken("abc", caret, "$A$"), rule) << caret;
    EXPECT_EQ(insertToken("", 0, "*"), "*");
}

TEST(RuleCheck, regexDirectivesRefusedWithWhereAndWhy)
{
    using Kind = RegexRefusal::Kind;
    const struct { const char *rule; std::optional<Kind> kind; int offset; } cases[] = {
        {"Photo_###", std::nullopt, 0}, {"$REGX/(a)(b)/\\2\\1/ig$", std::nullopt, 0}, {"$REGX/a/b", Kind::Syntax, 0},
        {"$REGX/a$", Kind::Syntax, 0},  {"$REGX a/b$", Kind::Syntax, 0},               {"$REGX/a/b/x$", Kind::Syntax, 0},
        // The closing parenthesis without an opening one is the third character.
        {"$REGX/ab)c/x$", Kind::Pattern, 3}, {"$REGX/(a)/\\2$", Kind::Group, 2},
    };
    for (const auto &c : cases) {
        const std::optional<RegexRefusal> refusal = regexRefusal(c.rule);
        ASSERT_EQ(refusal.has_value(), c.kind.has_value()) << c.rule;
        if (!refusal)
            continue;
        EXPECT_EQ(refusal->kind, *c.kind) << c.rule;
        EXPECT_EQ(refusal->offset, c.offset) << c.rule;
        EXPECT_EQ(refusal->reason.isEmpty(), refusal->kind != Kind::Pattern) << c.rule;
    }
}

TEST(RuleCheck, counterBoxes)
{
    using enum CounterBoxCheck::Verdict;
    const struct {
        CounterBox box;
        const char *typed;
        CounterBoxCheck::Verdict verdict;
        const char *kept;
        qint32 value;
    } cases[] = {
        {CounterBox::Start, " # ", Continuation, " # ", 0},   {CounterBox::Start, "abc", NotANumber, "1", 1},
        {CounterBox::Start, "-70000", Number, "-70000", -70000}, {CounterBox::Start, "3000000000", OutOfRange, "1", 1},
        {CounterBox::Step, "#", NotANumber, "1", 1},          {CounterBox::Step, "2.5", Number, "2.5", 2},
        {CounterBox::Step, "40000", OutOfRange, "1", 1},      {CounterBox::Passes, "", NotANumber, "0", 0},
        {CounterBox::Passes, "99999", OutOfRange, "0", 0},    {CounterBox::Passes, "3", Number, "3", 3},
    };
    for (const auto &c : cases) {
        const CounterBoxCheck check = checkCounterBox(c.box, c.typed);
        EXPECT_EQ(check.verdict, c.verdict) << c.typed;
        EXPECT_EQ(check.text, c.kept) << c.typed;
        if (c.verdict != Continuation) {
            EXPECT_EQ(check.value, c.value) << c.typed;
        }
    }
    // A stored start shows as typed, "#" for continuation mode.
    settings::RuleOptions r{.counterStart = 12, .counterStep = -3};
    r.showStoredCounter();
    EXPECT_EQ(r.startText, "12");
    EXPECT_EQ(r.stepText, "-3");
    EXPECT_FALSE(r.continuationMode());
    r.counterStart = settings::kContinuationStart;
    r.showStoredCounter();
    EXPECT_EQ(r.startText, "#");
    EXPECT_TRUE(r.continuationMode());
}

// The comment caption carries the extension filter, which is read back from it.
TEST(RuleCheck, commentsAndTheirFilter)
{
    const struct {
        const char *comment;
        const char *filter;
        const char *read;
    } captions[] = {{"Vacances", "JPG PNG", "JPG PNG"}, {"", "*", "*"}, {"Vacances", " JPG ", "JPG"},
                    {"Photos (2004)", "JPG", "*"},      {"Photos", "J)PG", "*"}, {"Photos", "", ""}};
    for (const auto &c : captions)
        EXPECT_EQ(extensionFilterOfCaption(commentCaption(c.comment, c.filter)), c.read) << c.comment << " / " << c.filter;
    // The comment dialog refuses brackets and fills empty values.
    using Edited = std::optional<std::pair<QString, QString>>;
    const struct {
        const char *comment;
        const char *filter;
        Edited edited;
    } edits[] = {{" Vacances ", " JPG PNG ", std::pair<QString, QString>{"Vacances", "JPG PNG"}},
                 {"  ", "", std::pair<QString, QString>{"default", "*"}},
                 {"Photos (2024)", "JPG", std::nullopt},
                 {"Photos", "JPG)", std::nullopt}};
    for (const auto &c : edits)
        EXPECT_EQ(editedComment(c.comment, c.filter, "default"), c.edited) << c.comment << " / " << c.filter;

    EXPECT_EQ(formatFileDate(QDateTime(QDate(2004, 3, 5), QTime(9, 7, 2))), "05/03/2004 09:07:02");
    const QDateTime utc(QDate(2010, 12, 31), QTime(23, 59, 59), Qt::UTC);
    EXPECT_EQ(formatFileDate(utc), formatFileDate(utc.toLocalTime()));
    EXPECT_EQ(formatFileDate(QDateTime()), QString());
}

} // namespace
