#include "QtPrint.h"

#include "common/VbError.h"
#include "rules/RegexDirective.h"
#include "rules/RuleCheck.h"

#include <gtest/gtest.h>

using namespace tarvello;
using namespace tarvello::rules;

namespace {

TEST(RuleCheck, forbiddenCharactersAndWhereSlashesMayStand)
{
    const QString all = forbiddenRuleCharacters();
    ASSERT_EQ(all, QStringLiteral("/:?\"<>|\\"));
    const QString slash = QStringLiteral("/");
    // Outside a directive, each of them is refused, the slash too.
    for (const QChar c : all)
        EXPECT_EQ(ruleRefusal(QStringLiteral("a") + c + QStringLiteral("b")), all) << QString(c).toStdString();
    const struct {
        const char *rule;
        std::optional<QString> refusal;
    } cases[] = {
        {"Photo_$dA$-$dM$_###", std::nullopt},
        {"$REPC/a/b$", std::nullopt},
        {"$REPC/a/b/1$", std::nullopt},
        {"x/$REPC/a/b$", slash},
        {"$REPC/a/b/1$/", slash},
        // Without its second slash the directive has no end: every slash is out.
        {"$REPC/a$", slash},
        {"$REPP/1/3/1/x$", std::nullopt},
        {"$REPP/1/3/1/x/$", slash},
        {"$REPP/1/3$", std::nullopt},
        {"$MKDIR/a/b", std::nullopt},
        {"$MKDIR/a/b/c", slash},
        // The first directive found in the order $REPC, $REPP, $MKDIR decides.
        {"$REPP/1/2/1/x$ $REPC/a/b$", slash},
        // A misplaced slash is named before any other character.
        {"x/$REPC/a/b$:", slash},
        {"$REPC/a/b$:", all},
        {"dossier\\*", all},
        {"$MKDIR dossier\\*", std::nullopt},
        {"$MKDIR dossier\\*:", all},
        // A regular expression may hold any of them; its replacement may not.
        {R"($REGX/^(a|b)?:\d+<>"/\1_$)", std::nullopt},
        {"$REGX/a/x:y$", all},
        {"$REGX/a/x\\/y$", slash},
        {"x/$REGX/a/b$", slash},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ruleRefusal(QString::fromUtf8(c.rule)), c.refusal) << c.rule;
}

TEST(RuleCheck, controlCharactersInARule)
{
    const struct {
        QString rule;
        bool control;
    } cases[] = {
        {QStringLiteral("Photo_$dA$ été_###"), false},
        {QString(), false},
        {QStringLiteral("   "), false},
        // Separators that are not control characters may stand in a name.
        {QStringLiteral("a\u00A0b\u2028c"), false},
        {QStringLiteral("a\tb"), true},
        {QStringLiteral("a\nb"), true},
        {QStringLiteral("a\r"), true},
        {QStringLiteral("\u0001"), true},
        {QStringLiteral("a\u007Fb"), true},
        {QStringLiteral("a\u0085b"), true},
        {QString(QChar(0)), true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(holdsControlCharacter(c.rule), c.control) << c.rule.toUtf8().toHex().constData();
}

TEST(RuleCheck, directivesTheFormsWrite)
{
    const std::array<QString, 4> positions = {"3", "7", "4", "5"};
    const struct {
        int range;
        int origin;
        const char *directive;
    } cases[] = {
        {0, 0, "$REPP/3/7/1/abc$"},
        {1, 0, "$REPP/4//1/abc$"},
        {2, 0, "$REPP//5/1/abc$"},
        {1, 1, "$REPP/4//-1/abc$"},
        {-1, -1, "$REPP//abc$"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(positionDirective({c.range, positions, c.origin, QStringLiteral("abc")}), QString::fromUtf8(c.directive))
            << c.directive;
    }
    EXPECT_EQ(textDirective("IMG", "Photo", 0), QStringLiteral("$REPC/IMG/Photo$"));
    EXPECT_EQ(textDirective("IMG", "Photo", 1), QStringLiteral("$REPC/IMG/Photo/-1$"));
    EXPECT_EQ(textDirective("IMG", "", 2), QStringLiteral("$REPC/IMG//1$"));
}

TEST(RuleCheck, regexDirectivesRefusedWithWhereAndWhy)
{
    using Kind = RegexRefusal::Kind;
    const struct {
        const char *rule;
        std::optional<Kind> kind;
        int offset;
    } cases[] = {
        {"Photo_###", std::nullopt, 0},
        {"$REGX/(a)(b)/\\2\\1/ig$", std::nullopt, 0},
        {"$REGX/a/b", Kind::Syntax, 0},
        {"$REGX/a$", Kind::Syntax, 0},
        {"$REGX a/b$", Kind::Syntax, 0},
        {"$REGX/a/b/x$", Kind::Syntax, 0},
        // The closing parenthesis without an opening one is the third character.
        {"$REGX/ab)c/x$", Kind::Pattern, 3},
        {"$REGX/(a)/\\2$", Kind::Group, 2},
    };
    for (const auto &c : cases) {
        const std::optional<RegexRefusal> refusal = regexRefusal(QString::fromUtf8(c.rule));
        ASSERT_EQ(refusal.has_value(), c.kind.has_value()) << c.rule;
        if (!refusal)
            continue;
        EXPECT_EQ(refusal->kind, *c.kind) << c.rule;
        EXPECT_EQ(refusal->offset, c.offset) << c.rule;
        EXPECT_EQ(refusal->reason.isEmpty(), refusal->kind != Kind::Pattern) << c.rule;
    }
    // The builder escapes the stops of each field, and only those not escaped yet.
    EXPECT_EQ(regexDirective(R"((\d+))", R"(n\1)", false, true), QStringLiteral(R"($REGX/(\d+)/n\1/g$)"));
    EXPECT_EQ(regexDirective(R"(a/b\/c$)", "x$/y", true, false), QStringLiteral(R"($REGX/a\/b\/c$/x\$\/y/i$)"));
    EXPECT_EQ(regexDirective("a", "", false, false), QStringLiteral("$REGX/a/$"));
}

TEST(RuleCheck, tokensAndTheirInsertion)
{
    EXPECT_EQ(tokenOfCaption("$N$ : premier nombre du nom"), QStringLiteral("$N$"));
    EXPECT_EQ(tokenOfCaption("# : compteur : un # par chiffre"), QStringLiteral("#"));
    EXPECT_EQ(tokenOfCaption("$REPC/ancien/nouveau$ : remplacer"), QStringLiteral("$REPC/ancien/nouveau$"));
    EXPECT_EQ(tokenOfCaption("sans deux-points"), QStringLiteral("sans deux-points"));
    EXPECT_EQ(tokenOfCaption("a:b"), QStringLiteral("a:b"));

    const struct {
        int caret;
        const char *rule;
    } cases[] = {{0, "$A$abc"}, {1, "a$A$bc"}, {3, "abc$A$"}, {40, "abc$A$"}, {-1, "abc$A$"}};
    for (const auto &c : cases)
        EXPECT_EQ(insertToken("abc", c.caret, "$A$"), QString::fromUtf8(c.rule)) << c.caret;
    EXPECT_EQ(insertToken("", 0, "*"), QStringLiteral("*"));
}

TEST(RuleCheck, positionFields)
{
    const struct {
        const char *typed;
        const char *kept;
    } cases[] = {
        {"4", "4"}, {" 7 ", "7"}, {"2.6", "3"}, {"2.5", "2"}, {"3.5", "4"}, {"0", "1"},
        {"-4", "1"}, {"", "1"},   {"abc", "1"}, {"1e3", "1"}, {"32767", "32767"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(positionFieldText(QString::fromUtf8(c.typed)), QString::fromUtf8(c.kept)) << c.typed;
    try {
        positionFieldText("40000");
        ADD_FAILURE() << "a position beyond 16 bits passed";
    } catch (const common::VbError &error) {
        EXPECT_EQ(error.number(), common::VbError::Overflow);
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
        const CounterBoxCheck check = checkCounterBox(c.box, QString::fromLatin1(c.typed));
        EXPECT_EQ(check.verdict, c.verdict) << c.typed;
        EXPECT_EQ(check.text, QString::fromLatin1(c.kept)) << c.typed;
        if (c.verdict != Continuation) {
            EXPECT_EQ(check.value, c.value) << c.typed;
        }
    }
}

} // namespace
