#include "dialogs/HelpTopics.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace tarvello;

namespace {

struct VersionCase {
    const char *stored;
    bool changed;
};

void PrintTo(const VersionCase &c, std::ostream *os)
{
    *os << '"' << c.stored << '"';
}

class VersionChange : public testing::TestWithParam<VersionCase>
{
};

} // namespace

// The running version is 1.13.2 in these cases.
TEST_P(VersionChange, comparesMajorMinorAndRevision)
{
    settings::ProgramVersion running;
    running.major = 1;
    running.minor = 13;
    running.revision = 2;
    EXPECT_EQ(dialogs::versionChanged(QString::fromUtf8(GetParam().stored), running), GetParam().changed)
        << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(
    Stored, VersionChange,
    testing::Values(VersionCase{"1.13.2", false}, VersionCase{"", true}, VersionCase{"1.13", true},
                    VersionCase{"1.12.2", true}, VersionCase{"2.13.2", true}, VersionCase{"1.13.3", true},
                    // Blanks around a part do not count; a text without "." reads as 0.0.0.
                    VersionCase{" 1 . 13 . 2 ", false}, VersionCase{"1132", true},
                    // The revision is everything after the second ".": "2.5" is no number.
                    VersionCase{"1.13.2.5", true}, VersionCase{"1.x.2", true}));

TEST(VersionChange, firstRunOfVersionZero)
{
    settings::ProgramVersion zero;
    zero.major = zero.minor = zero.revision = 0;
    EXPECT_FALSE(dialogs::versionChanged(QString(), zero));
    EXPECT_FALSE(dialogs::versionChanged(QStringLiteral("abc"), zero));
}
