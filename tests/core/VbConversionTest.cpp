#include "QtPrint.h"

#include "common/Vb.h"
#include "common/VbError.h"

#include <gtest/gtest.h>

using namespace tarvello::common;

namespace {

// The error number a conversion throws, or 0.
template<typename Convert>
int errorOf(Convert convert)
{
    try {
        convert();
        return 0;
    } catch (const VbError &error) {
        return error.number();
    }
}

TEST(VbConversion, textToWholeNumbers)
{
    const struct {
        const char *text;
        qint32 value;  // when error is 0
        int error;
    } cases32[] = {
        {"12", 12, 0}, {" -7 ", -7, 0}, {"+5", 5, 0}, {"\t3\t", 3, 0}, {"0000000000000000000007", 7, 0},
        {"2.5", 2, 0}, {"3.5", 4, 0}, {"-2.5", -2, 0}, {"2147483647", 2147483647, 0},
        {"-2147483648", -2147483647 - 1, 0}, {"2147483648", 0, 6}, {"99999999999999999999", 0, 6},
        {"", 0, 13}, {" ", 0, 13}, {"abc", 0, 13}, {"1 2", 0, 13}, {"--1", 0, 13}, {"1e3", 0, 13}, {"#", 0, 13},
        {"١٢", 0, 13},
    };
    for (const auto &c : cases32) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(errorOf([&] { vbCLng(text); }), c.error) << c.text;
        if (c.error == 0) {
            EXPECT_EQ(vbCLng(text), c.value) << c.text;
        }
    }
    EXPECT_EQ(vbCInt(QStringLiteral("32767")), 32767);
    EXPECT_EQ(vbCInt(QStringLiteral("-32768")), -32768);
    EXPECT_EQ(vbCInt(QStringLiteral("1.5")), 2);
    EXPECT_EQ(errorOf([] { vbCInt(QStringLiteral("32768")); }), 6);
    EXPECT_EQ(errorOf([] { vbCInt(QStringLiteral("-32767.5")); }), 0);
    EXPECT_EQ(errorOf([] { vbCInt(QStringLiteral("-32768.6")); }), 6);
}

TEST(VbConversion, caseMapsOneCharacterToOne)
{
    const struct {
        const char *text;
        const char *upper;
        const char *lower;
    } cases[] = {
        {"straße", "STRAßE", "straße"},
        {"Été à", "ÉTÉ À", "été à"},
        {"\xF0\x90\x90\xA8x", "\xF0\x90\x90\x80X", "\xF0\x90\x90\xA8x"},
        {"", "", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(vbUCase(QString::fromUtf8(c.text)), QString::fromUtf8(c.upper)) << c.text;
        EXPECT_EQ(vbLCase(QString::fromUtf8(c.upper)), QString::fromUtf8(c.lower)) << c.text;
    }
    const QString lone = QString(QChar(0xD801)) + QLatin1Char('a');
    EXPECT_EQ(vbUCase(lone), QString(QChar(0xD801)) + QLatin1Char('A'));
}

} // namespace
