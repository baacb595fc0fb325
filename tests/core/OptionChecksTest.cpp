#include "dialogs/OptionChecks.h"
#include "lang/Language.h"

#include <QDir>
#include <QFile>
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
        lang::Language l{QStringLiteral(TARVELLO_SOURCE_DIR)};
        l.setLanguage(QStringLiteral("English"));
        return l;
    }();
    return language;
}

// A form as opened on the default settings, changed by one case.
struct CheckCase {
    const char *what;
    std::function<void(OptionForm &, const QString &folder)> change;
    std::optional<OptionField> field;  // nullopt: accepted
    int row;
    std::function<QString()> message;  // the message the refusal must give
};

} // namespace

TEST(OptionChecks, refusesWhatTheSettingsCannotTakeAndNamesTheField)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto msg = [](int n) { return [n] { return english().GetMessage(n); }; };
    auto extra = [](const char *key, const char *value) {
        return [=] { return english().extra(QString::fromLatin1(key), QString::fromUtf8(value)); };
    };
    const CheckCase cases[] = {
        {"defaults", [](OptionForm &, const QString &) {}, std::nullopt, -1, {}},
        {"start not a number", [](OptionForm &f, const QString &) { f.startReset = "1a"; }, OptionField::StartReset, -1,
         msg(13)},
        {"step above 16 bits", [](OptionForm &f, const QString &) { f.stepReset = " 40000"; }, OptionField::StepReset,
         -1, extra("OptionOutOfRange", "40000")},
        {"characters emptied", [](OptionForm &f, const QString &) { f.forbiddenCharacters[1].characters.clear(); },
         OptionField::ForbiddenCharacters, 1, msg(27)},
        {"two-character replacement",
         [](OptionForm &f, const QString &) { f.forbiddenCharacters.append(settings::ForbiddenCharacterRow{"#", "ab"}); },
         OptionField::ForbiddenCharacters, 7, extra("OptionNoReplacement", "#")},
        {"replacement outside the basic plane is one character",
         [](OptionForm &f, const QString &) { f.forbiddenCharacters.append(settings::ForbiddenCharacterRow{"#", "😀"}); }, std::nullopt, -1, {}},
        {"replacement forbidden by another row",
         [](OptionForm &f, const QString &) { f.forbiddenCharacters[0].replacement = ":"; },
         OptionField::ForbiddenCharacters, 0, extra("OptionReplacementForbidden", ":")},
        {"specific folder missing",
         [](OptionForm &f, const QString &folder) {
             f.startFolder = 2;
             f.specificFolder = folder + "/gone";
         },
         OptionField::SpecificFolder, -1, [&] { return english().GetMessage(88, dir.path() + "/gone"); }},
        {"specific folder exists",
         [](OptionForm &f, const QString &folder) {
             f.startFolder = 2;
             f.specificFolder = folder;
         },
         std::nullopt, -1, {}},
    };
    for (const CheckCase &c : cases) {
        SCOPED_TRACE(c.what);
        OptionForm form = dialogs::optionFormOf(settings::Settings{});
        c.change(form, dir.path());
        const auto problem = dialogs::checkOptionForm(form, english());
        ASSERT_EQ(problem.has_value(), c.field.has_value());
        if (!problem)
            continue;
        EXPECT_EQ(problem->field, *c.field);
        EXPECT_EQ(problem->row, c.row);
        const QString expected = c.message();
        EXPECT_FALSE(expected.isEmpty());
        EXPECT_EQ(problem->text.toStdString(), expected.toStdString());
    }
}

TEST(OptionChecks, confirmingWritesTheFormAsTheSettingsKeepIt)
{
    settings::Settings defaults;
    defaults.Option_DossierSpecifique = "/srv/last";
    struct ApplyCase {
        const char *what;
        std::function<void(OptionForm &)> change;
        std::function<void(const settings::Settings &)> expect;
        bool thumbnailsChanged;
    };
    const ApplyCase cases[] = {
        {"no change keeps both tables whole",
         [](OptionForm &) {},
         [&](const settings::Settings &s) {
             EXPECT_EQ(s.forbiddenCharacters, defaults.forbiddenCharacters);
             EXPECT_EQ(s.forbiddenFiles, defaults.forbiddenFiles);
             EXPECT_EQ(dialogs::optionFormOf(s), dialogs::optionFormOf(defaults));
         },
         false},
        {"every forbidden file removed leaves one empty name",
         [](OptionForm &f) { f.forbiddenFiles.clear(); },
         [](const settings::Settings &s) { EXPECT_EQ(s.forbiddenFiles, QStringList{QString()}); }, false},
        {"documents start folder stores the documents folder over the typed one",
         [](OptionForm &f) {
             f.startFolder = 0;
             f.specificFolder = "/srv/photos";
         },
         [](const settings::Settings &s) {
             EXPECT_EQ(s.Option_DossierDepart, 0);
             EXPECT_EQ(s.Option_DossierSpecifique, "/home/me/Documents");
         },
         false},
        {"specific folder stores the typed one",
         [](OptionForm &f) {
             f.startFolder = 2;
             f.specificFolder = "/srv/photos";
         },
         [](const settings::Settings &s) { EXPECT_EQ(s.Option_DossierSpecifique, "/srv/photos"); }, false},
        {"only the thumbnail size", [](OptionForm &f) { f.thumbnailSize = 2; },
         [](const settings::Settings &s) { EXPECT_EQ(s.Option_TailleVignette, 2); }, true},
        {"Exif extensions are upper-cased",
         [](OptionForm &f) {
             f.jheadExtensions = "jpg Jpeg";
             f.exiftoolExtensions = "heic nef";
         },
         [](const settings::Settings &s) {
             EXPECT_EQ(s.Option_ExtensionTraiteAvecJHEAD, "JPG JPEG");
             EXPECT_EQ(s.Option_ExtensionTraiteAvecEXIFTOOL, "HEIC NEF");
         },
         false},
        {"no date entry selected keeps the formats",
         [](OptionForm &f) {
             f.yearFormat = -1;
             f.monthFormat = -1;
             f.startMode = -1;
         },
         [&](const settings::Settings &s) {
             EXPECT_EQ(s.Option_FormatAnnee, defaults.Option_FormatAnnee);
             EXPECT_EQ(s.Option_FormatMois, defaults.Option_FormatMois);
             EXPECT_EQ(s.Option_RegleDebutApresRenommage, defaults.Option_RegleDebutApresRenommage);
         },
         false},
        {"counter modes and reset values",
         [](OptionForm &f) {
             f.ruleMode = 0;
             f.startMode = 2;
             f.startReset = "-5";
             f.stepMode = 0;
             f.stepReset = "2.5";
         },
         [](const settings::Settings &s) {
             EXPECT_EQ(s.Option_RegleApresRenommage, 0);
             EXPECT_EQ(s.Option_RegleDebutApresRenommage, 2);
             EXPECT_EQ(s.Option_RegleDebutResetRenommage, -5);
             EXPECT_EQ(s.Option_ReglePasApresRenommage, 0);
             EXPECT_EQ(s.Option_ReglePasResetRenommage, 2);
         },
         false},
    };
    for (const ApplyCase &c : cases) {
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
    lang::Language language{QStringLiteral(TARVELLO_SOURCE_DIR)};
    language.setLanguage(QStringLiteral("Français"));
    settings::Settings s;
    for (const int standIn : {95, 93}) {
        s.rule.comment = language.GetMessage(standIn);
        ASSERT_TRUE(dialogs::changeLanguage(s, language, QStringLiteral("English")));
        EXPECT_EQ(s.rule.comment, english().GetMessage(standIn));
        EXPECT_EQ(s.Langage_LangueUtilisee, QStringLiteral("English"));
        ASSERT_TRUE(dialogs::changeLanguage(s, language, QStringLiteral("Français")));
        EXPECT_EQ(s.rule.comment, language.GetMessage(standIn));
    }
    s.rule.comment = QStringLiteral("Photos d'été");
    ASSERT_TRUE(dialogs::changeLanguage(s, language, QStringLiteral("English")));
    EXPECT_EQ(s.rule.comment, QStringLiteral("Photos d'été")) << "the user's own comment stays";
    EXPECT_FALSE(dialogs::changeLanguage(s, language, QStringLiteral("English")));
    EXPECT_FALSE(dialogs::changeLanguage(s, language, QStringLiteral("Klingon")));
    EXPECT_EQ(s.Langage_LangueUtilisee, QStringLiteral("English"));
}
