#include "dialogs/OptionChecks.h"
#include "lang/Language.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace tarvello;
using dialogs::OptionField;
using dialogs::OptionForm;

namespace {

lang::Language &english()
{
    static lang::Language language = [] {
        lang::Language l{TARVELLO_SOURCE_DIR};
        l.setLanguage("English");
        return l;
    }();
    return language;
}

} // namespace

// A form as opened on the default settings, changed by one case.
TEST(OptionChecks, refusesWhatTheSettingsCannotTakeAndNamesTheField)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    using Change = std::function<void(OptionForm &)>;
    const auto extra = [](const char *key, const char *value) { return english().extra(key, QString::fromUtf8(value)); };
    const auto row = [](QString characters, QString replacement) {
        return settings::ForbiddenCharacterRow{std::move(characters), std::move(replacement)};
    };
    const struct {
        const char *what;
        Change change;
        std::optional<OptionField> field; // nullopt: accepted
        int row;
        QString message;
    } cases[] = {
        {"defaults", [](OptionForm &) {}, std::nullopt, -1, {}},
        {"start not a number", [](OptionForm &f) { f.startReset = "1a"; }, OptionField::StartReset, -1,
         english().GetMessage(13)},
        {"step above 16 bits", [](OptionForm &f) { f.stepReset = " 40000"; }, OptionField::StepReset, -1,
         extra("OptionOutOfRange", "40000")},
        {"characters emptied", [](OptionForm &f) { f.forbiddenCharacters[1].characters.clear(); },
         OptionField::ForbiddenCharacters, 1, english().GetMessage(27)},
        {"two-character replacement", [&](OptionForm &f) { f.forbiddenCharacters.append(row("#", "ab")); },
         OptionField::ForbiddenCharacters, 7, extra("OptionNoReplacement", "#")},
        {"replacement outside the basic plane is one character",
         [&](OptionForm &f) { f.forbiddenCharacters.append(row("#", "😀")); }, std::nullopt, -1, {}},
        {"replacement forbidden by another row", [](OptionForm &f) { f.forbiddenCharacters[0].replacement = ":"; },
         OptionField::ForbiddenCharacters, 0, extra("OptionReplacementForbidden", ":")},
        {"specific folder missing", [&](OptionForm &f) { f.startFolder = 2; f.specificFolder = dir.filePath("gone"); },
         OptionField::SpecificFolder, -1, english().GetMessage(88, dir.filePath("gone"))},
        {"specific folder exists", [&](OptionForm &f) { f.startFolder = 2; f.specificFolder = dir.path(); },
         std::nullopt, -1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        OptionForm form = dialogs::optionFormOf(settings::Settings{});
        c.change(form);
        const auto problem = dialogs::checkOptionForm(form, english());
        ASSERT_EQ(problem.has_value(), c.field.has_value());
        if (!problem)
            continue;
        EXPECT_EQ(problem->field, *c.field);
        EXPECT_EQ(problem->row, c.row);
        EXPECT_FALSE(c.message.isEmpty());
        EXPECT_EQ(problem->text.toStdString(), c.message.toStdString());
    }
}

TEST(OptionChecks, confirmingWritesTheFormAsTheSettingsKeepIt)
{
    settings::Settings defaults;
    defaults.Option_DossierSpecifique = "/srv/last";
    using S = const settings::Settings &;
    const struct {
        const char *what;
        std::function<void(OptionForm &)> change;
        std::function<void(S)> expect;
        bool thumbnailsChanged;
    } cases[] = {
        {"no change keeps both tables whole", [](OptionForm &) {},
         [&](S s) {
             EXPECT_EQ(s.forbiddenCharacters, defaults.forbiddenCharacters);
             EXPECT_EQ(s.forbiddenFiles, defaults.forbiddenFiles);
             EXPECT_EQ(dialogs::optionFormOf(s), dialogs::optionFormOf(defaults));
         },
         false},
        {"every forbidden file removed leaves one empty name", [](OptionForm &f) { f.forbiddenFiles.clear(); },
         [](S s) { EXPECT_EQ(s.forbiddenFiles, QStringList{QString()}); }, false},
        {"documents start folder stores the documents folder over the typed one",
         [](OptionForm &f) { f.startFolder = 0; f.specificFolder = "/srv/photos"; },
         [](S s) { EXPECT_EQ(s.Option_DossierDepart, 0); EXPECT_EQ(s.Option_DossierSpecifique, "/home/me/Documents"); },
         false},
        {"specific folder stores the typed one", [](OptionForm &f) { f.startFolder = 2; f.specificFolder = "/srv/photos"; },
         [](S s) { EXPECT_EQ(s.Option_DossierSpecifique, "/srv/photos"); }, false},
        {"only the thumbnail size", [](OptionForm &f) { f.thumbnailSize = 2; },
         [](S s) { EXPECT_EQ(s.Option_TailleVignette, 2); }, true},
        {"Exif extensions are upper-cased",
         [](OptionForm &f) { f.jheadExtensions = "jpg Jpeg"; f.exiftoolExtensions = "heic nef"; },
         [](S s) {
             EXPECT_EQ(s.Option_ExtensionTraiteAvecJHEAD, "JPG JPEG");
             EXPECT_EQ(s.Option_ExtensionTraiteAvecEXIFTOOL, "HEIC NEF");
         },
         false},
        {"no date entry selected keeps the formats", [](OptionForm &f) { f.yearFormat = f.monthFormat = f.startMode = -1; },
         [&](S s) {
             EXPECT_EQ(s.Option_FormatAnnee, defaults.Option_FormatAnnee);
             EXPECT_EQ(s.Option_FormatMois, defaults.Option_FormatMois);
             EXPECT_EQ(s.Option_RegleDebutApresRenommage, defaults.Option_RegleDebutApresRenommage);
         },
         false},
        {"counter modes and reset values",
         [](OptionForm &f) { f.ruleMode = 0; f.startMode = 2; f.startReset = "-5"; f.stepMode = 0; f.stepReset = "2.5"; },
         [](S s) {
             EXPECT_EQ(s.Option_RegleApresRenommage, 0);
             EXPECT_EQ(s.Option_RegleDebutApresRenommage, 2);
             EXPECT_EQ(s.Option_RegleDebutResetRenommage, -5);
             EXPECT_EQ(s.Option_ReglePasApresRenommage, 0);
             EXPECT_EQ(s.Option_ReglePasResetRenommage, 2);
         },
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        settings::Settings s = defaults;
        OptionForm form = dialogs::optionFormOf(s);
        c.change(form);
        EXPECT_EQ(dialogs::applyOptionForm(form, s, "/home/me/Documents"), c.thumbnailsChanged);
        c.expect(s);
    }
}

TEST(OptionChecks, aLanguageChangeGivesTheDefaultCommentInTheNewLanguage)
{
    lang::Language language{TARVELLO_SOURCE_DIR};
    language.setLanguage("Français");
    settings::Settings s;
    for (const int standIn : {95, 93}) {
        s.rule.comment = language.GetMessage(standIn);
        ASSERT_TRUE(dialogs::changeLanguage(s, language, "English"));
        EXPECT_EQ(s.rule.comment, english().GetMessage(standIn));
        EXPECT_EQ(s.Langage_LangueUtilisee, "English");
        ASSERT_TRUE(dialogs::changeLanguage(s, language, "Français"));
        EXPECT_EQ(s.rule.comment, language.GetMessage(standIn));
    }
    s.rule.comment = "Photos d'été";
    ASSERT_TRUE(dialogs::changeLanguage(s, language, "English"));
    EXPECT_EQ(s.rule.comment, "Photos d'été") << "the user's own comment stays";
    EXPECT_FALSE(dialogs::changeLanguage(s, language, "English"));
    EXPECT_FALSE(dialogs::changeLanguage(s, language, "Klingon"));
    EXPECT_EQ(s.Langage_LangueUtilisee, "English");
}
