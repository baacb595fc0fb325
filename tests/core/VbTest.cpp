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

TEST(VbLike, matchesLikeTheLikeOperator)
{
    const struct { const char *text; const char *pattern; bool matches; } cases[] = {
        {"PHOTO.JPG", "*.*", true}, {"README", "*.*", false}, {"", "*", true},       {"", "?", false},
        {"JPG", "J*", true},        {"A1C", "A#C", true},     {"ABC", "A#C", false}, {"ABC", "A?C", true},
        {"B", "[A-C]", true},       {"D", "[A-C]", false},    {"D", "[!A-C]", true}, {"-", "[-A]", true},
        {"AXBXB", "*B", true},      {"AXBXC", "*B", false},   {"ABAB", "*AB*AB", true},
        {"IMG_0042.JPG", "IMG_####.JPG", true}, {"[", "[", true}, {"A[B", "A[B", true}, {"é", "?", true},
        {"TIFF", "TIF", false},     {"JPG", "JPG*", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(vbLike(QString::fromUtf8(c.text), QString::fromUtf8(c.pattern)), c.matches) << c.text << " Like " << c.pattern;
    // A pattern of many stars must not explode into exponential back-tracking.
    EXPECT_FALSE(vbLike(QString(20000, 'A'), QString(40, '*') + "B"));
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
    EXPECT_EQ(vbCLng("2147483647"), 2147483647);
    EXPECT_EQ(vbCLng("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(vbCLng("\t3\t"), 3);
    // Past 18 digits a whole number is read the long way, with the same result.
    EXPECT_EQ(vbCLng("0000000000000000000007"), 7);
    EXPECT_EQ(errorOf([] { vbCLng("99999999999999999999"); }), 6);
    EXPECT_EQ(errorOf([] { vbCLng("2147483648"); }), 6);
    EXPECT_EQ(errorOf([] { vbCLng(1e300); }), 6);
    EXPECT_FLOAT_EQ(vbCSng("9525"), 9525.0f);
    EXPECT_EQ(errorOf([] { vbCSng("neuf"); }), 13);
}

TEST(VbNumbers, isNumericAcceptsOnlyPlainDecimals)
{
    EXPECT_TRUE(vbIsNumeric(" -3.25 ") && vbIsNumeric(".5"));
    // "٣" is a digit of another script.
    for (const char *text : {"#", "٣", "1 2"})
        EXPECT_FALSE(vbIsNumeric(text)) << text;
}

TEST(VbText, takingTextOutsideAStringIsError5NotAClamp)
{
    EXPECT_EQ(errorOf([] { vbMid("abc", 0); }), 5);
    EXPECT_EQ(errorOf([] { vbMid("abc", 1, -1); }), 5);
    EXPECT_EQ(errorOf([] { vbLeft("abc", -1); }), 5);
    EXPECT_EQ(errorOf([] { vbRight("abc", -2); }), 5);
    EXPECT_EQ(errorOf([] { vbInStr("abc", "b", 0); }), 5);
    EXPECT_EQ(vbMid("abcdef", 3, 2), "cd");
    EXPECT_EQ(vbMid("abc", 9), QString());
    EXPECT_EQ(vbRight("abc", 9), "abc");
    EXPECT_EQ(vbInStr("a-b-c", "-"), 2);
    EXPECT_EQ(vbInStr("a-b-c", "-", 3), 4);
    EXPECT_EQ(vbInStr("abc", "x"), 0);
    EXPECT_EQ(vbInStr("abc", QString(), 2), 2);
}

TEST(VbText, splitTrimAndCase)
{
    EXPECT_TRUE(vbSplit(QString(), "|").isEmpty());
    EXPECT_EQ(vbSplit("a||b", "|"), (QStringList{"a", QString(), "b"}));
    EXPECT_EQ(vbTrim("\t a b  "), "\t a b");
    EXPECT_EQ(vbUCase("straße été"), "STRAßE ÉTÉ");
    EXPECT_EQ(vbLCase("ÉTÉ İ").size(), 5);
    EXPECT_EQ(vbUCase("a😀b"), "A😀B");
    // Outside the basic plane a letter maps within its plane; a lone half stays.
    EXPECT_EQ(vbUCase(QString::fromUtf8("\xF0\x90\x90\xA8x")), QString::fromUtf8("\xF0\x90\x90\x80X"));
    EXPECT_EQ(vbLCase(QString::fromUtf8("\xF0\x90\x90\x80X")), QString::fromUtf8("\xF0\x90\x90\xA8x"));
    EXPECT_EQ(vbUCase(QString(QChar(0xD801)) + QLatin1Char('a')), QString(QChar(0xD801)) + QLatin1Char('A'));
}

} // namespace
