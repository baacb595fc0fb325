#include "QtPrint.h"

#include "cli/CliSupport.h"
#include "common/VbError.h"
#include "exif/ExifReader.h"
#include "ini/IniFile.h"
#include "lang/Language.h"
#include "settings/MemorisedRules.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarvello;
using settings::RuleOptions;
using settings::Settings;

namespace {

lang::Language &french()
{
    static lang::Language language = [] {
        lang::Language l{QStringLiteral(TARVELLO_SOURCE_DIR)};
        l.setLanguage("Français");
        return l;
    }();
    return language;
}

QStringList namesOf(const Settings &s, const QByteArrayList &paths)
{
    exif::ExifCache cache;
    exif::ExifReader exif{exif::ExifOptions{}, cache};
    QStringList names;
    for (const cli::ComputedName &computed : cli::computeNames(paths, s.rule, s, french(), exif))
        names.append(computed.result.name);
    return names;
}

QString ruleLine(const QString &iniPath, int n)
{
    return ini::IniFile(iniPath).ReadIniKey("General", QStringLiteral("General_Regle%1").arg(n), "<absent>");
}

// The current rule of a case, its counter boxes left (so stored): every field
// a memorised rule holds differs from the defaults.
RuleOptions holiday(const QString &start)
{
    return {.rule = "* vacances_### ", .startText = start,
            .counterStart = start == "#" ? settings::kContinuationStart : start.toInt(), .stepText = "-2", .counterStep = -2, .changeExtension = 1, .newExtension = "jpeg", .replaceForbidden = 0,
            .numberIdentical = 0, .trimSpaces = 1, .upperFirstChar = 1, .upperEachWord = 1, .comment = "Été",
            .extensionFilter = "JPG PNG"};
}

TEST(MemorisedRules, aRulePickedAgainAfterARestartGivesTheSameNames)
{
    const QByteArrayList paths = {"/d/plage du soir.JPG", "/d/ a b .png", "/d/notes.txt", "/d/port d'été.jpg"};
    for (const QString start : {"40", "#"}) {
        SCOPED_TRACE(start.toStdString());
        QTemporaryDir dir;
        const QString iniPath = dir.filePath("Tarvello.ini");
        Settings s;
        s.rule = holiday(start);
        const QStringList before = namesOf(s, paths);
        ASSERT_TRUE(settings::memoriseRule(s, french()));
        ini::IniFile file(iniPath);
        ASSERT_TRUE(settings::writeSettingsFile(file, s, "/d"));

        Settings back;
        settings::readSettingsFile(ini::IniFile(iniPath), back, french(), "/home/me/Documents");
        back.rule = {.rule = "autre"};
        ASSERT_TRUE(settings::applyMemorisedRule(back, "* vacances_### ", french()));
        EXPECT_EQ(namesOf(back, paths), before);
        EXPECT_EQ(back.rule.startText, start);

        // A line this version wrote is written again as it was read.
        const QString line = ruleLine(iniPath, 0);
        ASSERT_TRUE(settings::writeSettingsFile(file, back, "/d"));
        EXPECT_EQ(ruleLine(iniPath, 0), line);
    }
}

TEST(MemorisedRules, memoriseForgetAndForgetAllKeepTheListInOrder)
{
    lang::Language &fr = french();
    Settings s;
    auto texts = [&s] {
        QStringList rules;
        for (const RuleOptions &r : std::as_const(s.memorisedRules))
            rules.append(r.rule);
        return rules;
    };

    s.rule = {.rule = ""};
    EXPECT_FALSE(settings::memoriseRule(s, fr)) << "an empty rule is not memorised";
    s.rule = {.rule = "IMG_###", .startText = "3", .comment = fr.GetMessage(95)};
    EXPECT_TRUE(settings::memoriseRule(s, fr));
    s.rule.stepText = "5";
    EXPECT_FALSE(settings::memoriseRule(s, fr)) << "the same text again updates its record";
    s.rule = {.rule = "Vacances *", .startText = "#", .comment = "Été", .extensionFilter = "JPG"};
    EXPECT_TRUE(settings::memoriseRule(s, fr));
    EXPECT_EQ(texts(), (QStringList{"", "IMG_###", "Vacances *"}));
    EXPECT_EQ(s.memorisedRules[1].counterStep, 5);
    EXPECT_EQ(s.memorisedRules[1].comment, "") << "the default comment stands for none";
    EXPECT_EQ(s.memorisedRules[2].counterStart, settings::kContinuationStart);

    s.rule = {.rule = "Bad", .startText = "1a"};
    EXPECT_THROW(settings::memoriseRule(s, fr), common::VbError);
    EXPECT_EQ(s.memorisedRules.size(), 3);

    s.rule.caseIndex = settings::CaseUpper;
    ASSERT_TRUE(settings::applyMemorisedRule(s, "IMG_###", fr));
    EXPECT_EQ(s.rule.caseIndex, settings::CaseUpper) << "the case option is not part of a memorised rule";
    EXPECT_EQ(s.rule.startText, "3");
    EXPECT_EQ(s.rule.comment, fr.GetMessage(93));
    EXPECT_EQ(s.rule.extensionFilter, "*");
    EXPECT_FALSE(settings::applyMemorisedRule(s, "img_###", fr)) << "texts compare exactly";

    ASSERT_TRUE(settings::forgetRule(s, "IMG_###", fr));
    EXPECT_EQ(texts(), (QStringList{"", "Vacances *"}));
    EXPECT_EQ(s.rule.rule, "Vacances *");
    EXPECT_EQ(s.rule.comment, "Été");
    EXPECT_EQ(s.rule.extensionFilter, "JPG");
    EXPECT_FALSE(settings::forgetRule(s, "IMG_###", fr));

    s.memorisedRules = {RuleOptions{.rule = "Seule"}};
    ASSERT_TRUE(settings::forgetRule(s, "Seule", fr));
    EXPECT_EQ(texts(), QStringList{""}) << "the last record is emptied, never removed";
    EXPECT_EQ(s.rule.rule, "");

    s.memorisedRules = {RuleOptions{.rule = "A"}, RuleOptions{.rule = "B"}};
    s.rule = {.rule = "B", .comment = "b"};
    settings::forgetAllRules(s, fr);
    EXPECT_EQ(texts(), QStringList{""});
    EXPECT_EQ(s.rule.rule, "");
    EXPECT_EQ(s.rule.comment, fr.GetMessage(93));
    EXPECT_EQ(s.rule.extensionFilter, "*");
}

} // namespace
