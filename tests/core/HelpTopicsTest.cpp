#include "dialogs/HelpTopics.h"

#include <gtest/gtest.h>

using namespace tarvello;

TEST(VersionChange, comparesMajorMinorAndRevision)
{
    const settings::ProgramVersion running{1, 13, 2};
    const std::pair<const char *, bool> cases[] = {
        {"1.13.2", false}, {"", true}, {"1.13", true}, {"1.12.2", true}, {"2.13.2", true}, {"1.13.3", true},
        // Blanks around a part do not count; a text without "." reads as 0.0.0.
        {" 1 . 13 . 2 ", false}, {"1132", true},
        // The revision is everything after the second ".": "2.5" is no number.
        {"1.13.2.5", true}, {"1.x.2", true}};
    for (const auto &[stored, changed] : cases)
        EXPECT_EQ(dialogs::versionChanged(stored, running), changed) << '"' << stored << '"';
    const settings::ProgramVersion zero{0, 0, 0};
    EXPECT_FALSE(dialogs::versionChanged(QString(), zero));
    EXPECT_FALSE(dialogs::versionChanged("abc", zero));
}
