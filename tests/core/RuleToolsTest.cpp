#include "QtPrint.h"

#include "settings/Settings.h"
#include "rules/RuleTools.h"

#include <gtest/gtest.h>

using namespace tarvello;
using namespace tarvello::rules;

namespace {

TEST(RuleTools, countOccurrencesAndOddDollars)
{
    const struct {
        const char *text;
        const char *part;
        int count;
    } cases[] = {
        {"", "$", 0}, {"$A$", "$", 2}, {"a$b", "$", 1}, {"aabb", "ab", 1}, {"aaaa", "aa", 2}, {"abc", "", 0},
        {"é#é#", "é#", 2},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(countOccurrences(QString::fromUtf8(c.text), QString::fromUtf8(c.part)), c.count) << c.text;
        if (QString::fromUtf8(c.part) == QLatin1String("$")) {
            EXPECT_EQ(checkNbDollarIsPair(QString::fromUtf8(c.text)), c.count % 2 == 1) << c.text;
        }
    }
}

TEST(RuleTools, formatFileDateInLocalTime)
{
    EXPECT_EQ(formatFileDate(QDateTime(QDate(2004, 3, 5), QTime(9, 7, 2))), QStringLiteral("05/03/2004 09:07:02"));
    const QDateTime utc(QDate(2010, 12, 31), QTime(23, 59, 59), Qt::UTC);
    EXPECT_EQ(formatFileDate(utc), formatFileDate(utc.toLocalTime()));
    EXPECT_EQ(formatFileDate(QDateTime()), QString());
}

TEST(RuleTools, filterReadBackFromTheCaption)
{
    const struct {
        const char *comment;
        const char *filter;
        const char *read;
    } cases[] = {
        {"Vacances", "JPG PNG", "JPG PNG"},
        {"", "*", "*"},
        {"Vacances", " JPG ", "JPG"},
        {"Photos (2004)", "JPG", "*"},
        {"Photos", "J)PG", "*"},
        {"Photos", "", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(extensionFilterOfCaption(commentCaption(QString::fromUtf8(c.comment), QString::fromUtf8(c.filter))),
                  QString::fromUtf8(c.read))
            << c.comment << " / " << c.filter;
    }
}

TEST(RuleTools, commentDialogRefusesBracketsAndFillsEmptyValues)
{
    const struct {
        const char *comment;
        const char *filter;
        std::optional<std::pair<QString, QString>> edited;
    } cases[] = {
        {" Vacances ", " JPG PNG ", std::pair{QStringLiteral("Vacances"), QStringLiteral("JPG PNG")}},
        {"  ", "", std::pair{QStringLiteral("default"), QStringLiteral("*")}},
        {"Photos (2024)", "JPG", std::nullopt},
        {"Photos", "JPG)", std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(editedComment(QString::fromUtf8(c.comment), QString::fromUtf8(c.filter), QStringLiteral("default")),
                  c.edited)
            << c.comment << " / " << c.filter;
    }
}

TEST(RuleOptions, countersShownAsStored)
{
    settings::RuleOptions r{.counterStart = 12, .counterStep = -3};
    r.showStoredCounter();
    EXPECT_EQ(r.startText, QStringLiteral("12"));
    EXPECT_EQ(r.stepText, QStringLiteral("-3"));
    EXPECT_FALSE(r.continuationMode());

    r.counterStart = settings::kContinuationStart;
    r.showStoredCounter();
    EXPECT_EQ(r.startText, QStringLiteral("#"));
    EXPECT_TRUE(r.continuationMode());
}

} // namespace
