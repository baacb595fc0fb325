#include "common/Vb.h"
#include "common/VbError.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tarvello::common;

namespace {

int errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const VbError &e) {
        return e.number();
    }
    return 0;
}

struct LikeCase {
    const char *text;
    const char *pattern;
    bool matches;
};

class VbLike : public testing::TestWithParam<LikeCase> {};

TEST_P(VbLike, matchesLikeTheLikeOperator)
{
    const LikeCase &c = GetParam();
    EXPECT_EQ(vbLike(QString::fromUtf8(c.text), QString::fromUtf8(c.pattern)), c.matches)
        << c.text << " Like " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, VbLike,
    testing::Values(LikeCase{"PHOTO.JPG", "*.*", true}, LikeCase{"README", "*.*", false},
                    LikeCase{"", "*", true}, LikeCase{"", "?", false}, LikeCase{"JPG", "J*", true},
                    LikeCase{"A1C", "A#C", true}, LikeCase{"ABC", "A#C", false}, LikeCase{"ABC", "A?C", true},
                    LikeCase{"B", "[A-C]", true}, LikeCase{"D", "[A-C]", false}, LikeCase{"D", "[!A-C]", true},
                    LikeCase{"-", "[-A]", true}, LikeCase{"AXBXB", "*B", true}, LikeCase{"AXBXC", "*B", false},
                    LikeCase{"ABAB", "*AB*AB", true}, LikeCase{"IMG_0042.JPG", "IMG_####.JPG", true},
                    LikeCase{"[", "[", true}, LikeCase{"A[B", "A[B", true}, LikeCase{"é", "?", true},
                    LikeCase{"TIFF", "TIF", false}, LikeCase{"JPG", "JPG*", true}));

TEST(VbLikeCost, manyStarsAgainstANearMissStayLinear)
{
    // A pattern of many stars must not explode into exponential back-tracking.
    const QString text(20000, QLatin1Char('A'));
    const QString pattern = QString(40, QLatin1Char('*')) + QStringLiteral("B");
    EXPECT_FALSE(vbLike(text, pattern));
}

TEST(VbNumbers, conversionsRoundHalfToEvenAndCheckTheirRange)
{
    struct Row { const char *text; int expected; int error; };
    const Row int16Rows[] = {
        {"2.5", 2, 0}, {"3.5", 4, 0}, {"2.6", 3, 0}, {"-2.5", -2, 0}, {" 12 ", 12, 0}, {"+7", 7, 0},
        {"32767", 32767, 0}, {"-32768", -32768, 0}, {"32768", 0, 6}, {"32767.5", 0, 6},
        {"abc", 0, 13}, {"", 0, 13}, {"1e5", 0, 13}, {"1.2.3", 0, 13}, {"--1", 0, 13}, {".", 0, 13},
    };
    for (const Row &r : int16Rows) {
        qint16 value = 0;
        const int error = errorOf([&] { value = vbCInt(QString::fromUtf8(r.text)); });
        EXPECT_EQ(error, r.error) << "CInt(" << r.text << ")";
        if (r.error == 0) {
            EXPECT_EQ(value, r.expected) << "CInt(" << r.text << ")";
        }
    }
    EXPECT_EQ(vbCLng(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(vbCLng(QStringLiteral("-2147483648")), -2147483647 - 1);
    EXPECT_EQ(vbCLng(QStringLiteral("\t3\t")), 3);
    // Past 18 digits a whole number is read the long way, with the same result.
    EXPECT_EQ(vbCLng(QStringLiteral("0000000000000000000007")), 7);
    EXPECT_EQ(errorOf([] { vbCLng(QStringLiteral("99999999999999999999")); }), 6);
    EXPECT_EQ(errorOf([] { vbCLng(QStringLiteral("2147483648")); }), 6);
    EXPECT_EQ(errorOf([] { vbCLng(1e300); }), 6);
    EXPECT_FLOAT_EQ(vbCSng(QStringLiteral("9525")), 9525.0f);
    EXPECT_EQ(errorOf([] { vbCSng(QStringLiteral("neuf")); }), 13);
}

TEST(VbNumbers, isNumericAcceptsOnlyPlainDecimals)
{
    EXPECT_TRUE(vbIsNumeric(QStringLiteral(" -3.25 ")));
    EXPECT_TRUE(vbIsNumeric(QStringLiteral(".5")));
    EXPECT_FALSE(vbIsNumeric(QStringLiteral("#")));
    EXPECT_FALSE(vbIsNumeric(QStringLiteral("٣")));  // a digit of another script
    EXPECT_FALSE(vbIsNumeric(QStringLiteral("1 2")));
}

TEST(VbText, takingTextOutsideAStringIsError5NotAClamp)
{
    EXPECT_EQ(errorOf([] { vbMid(QStringLiteral("abc"), 0); }), 5);
    EXPECT_EQ(errorOf([] { vbMid(QStringLiteral("abc"), 1, -1); }), 5);
    EXPECT_EQ(errorOf([] { vbLeft(QStringLiteral("abc"), -1); }), 5);
    EXPECT_EQ(errorOf([] { vbRight(QStringLiteral("abc"), -2); }), 5);
    EXPECT_EQ(errorOf([] { vbInStr(QStringLiteral("abc"), QStringLiteral("b"), 0); }), 5);
    EXPECT_EQ(vbMid(QStringLiteral("abcdef"), 3, 2), QStringLiteral("cd"));
    EXPECT_EQ(vbMid(QStringLiteral("abc"), 9), QString());
    EXPECT_EQ(vbRight(QStringLiteral("abc"), 9), QStringLiteral("abc"));
    EXPECT_EQ(vbInStr(QStringLiteral("a-b-c"), QStringLiteral("-")), 2);
    EXPECT_EQ(vbInStr(QStringLiteral("a-b-c"), QStringLiteral("-"), 3), 4);
    EXPECT_EQ(vbInStr(QStringLiteral("abc"), QStringLiteral("x")), 0);
    EXPECT_EQ(vbInStr(QStringLiteral("abc"), QString(), 2), 2);
}

TEST(VbText, splitTrimAndCase)
{
    EXPECT_TRUE(vbSplit(QString(), QStringLiteral("|")).isEmpty());
    EXPECT_EQ(vbSplit(QStringLiteral("a||b"), QStringLiteral("|")),
              (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_EQ(vbTrim(QStringLiteral("\t a b  ")), QStringLiteral("\t a b"));
    EXPECT_EQ(vbUCase(QStringLiteral("straße été")), QStringLiteral("STRAßE ÉTÉ"));
    EXPECT_EQ(vbLCase(QStringLiteral("ÉTÉ İ")).size(), 5);
    EXPECT_EQ(vbUCase(QStringLiteral("a😀b")), QStringLiteral("A😀B"));
    // Outside the basic plane a letter maps within its plane; a lone half stays.
    EXPECT_EQ(vbUCase(QString::fromUtf8("\xF0\x90\x90\xA8x")), QString::fromUtf8("\xF0\x90\x90\x80X"));
    EXPECT_EQ(vbLCase(QString::fromUtf8("\xF0\x90\x90\x80X")), QString::fromUtf8("\xF0\x90\x90\xA8x"));
    EXPECT_EQ(vbUCase(QString(QChar(0xD801)) + QLatin1Char('a')), QString(QChar(0xD801)) + QLatin1Char('A'));
}

} // namespace
