#include "ini/IniFile.h"
#include "settings/SettingsFile.h"
#include "common/Cp1252.h"
#include "lang/Language.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tarvello::settings {

// A rule record in a failure message: its memorised line and what that leaves out.
inline void PrintTo(const RuleOptions &rule, std::ostream *os)
{
    *os << formatMemorisedRule(rule).toStdString() << " start \"" << rule.startText.toStdString() << "\" step \""
        << rule.stepText.toStdString() << "\" case " << rule.caseIndex;
}

} // namespace tarvello::settings

using namespace tarvello;
using ini::IniFile;
using settings::RuleOptions;
using settings::Settings;

namespace {

void writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QByteArray bytes;
    ASSERT_TRUE(common::encodeCp1252(text, bytes));
    f.write(bytes);
}

// A program folder with a small French language file and a settings file.
class SettingsFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QDir(m_dir.path()).mkpath("langages");
        writeFile(m_dir.filePath("langages/Francais.lng"),
                  "[LANGUAGE]\r\nlanguage=Français\r\n[MSG]\r\nm16=*_###\r\nm46=Petite (80x60)\r\n"
                  "m47=Moyenne ( 120 x 90 )\r\nm48=Grande (160x120)\r\nm93=Sans commentaire\r\nm95=Règle courante\r\n");
        m_language.setProgramFolder(m_dir.path());
    }

    QString iniPath() const { return m_dir.filePath("Tarvello.ini"); }
    void writeIni(const QString &text) const { writeFile(iniPath(), text); }

    settings::SettingsLoadResult load(settings::Settings &s)
    {
        return settings::readSettingsFile(ini::IniFile(iniPath()), s, m_language, "/home/me/Documents");
    }

    void save(const settings::Settings &s)
    {
        ini::IniFile file(iniPath());
        ASSERT_TRUE(settings::writeSettingsFile(file, s, "/shown"));
    }

    QString key(const QString &section, const QString &name) const
    {
        return ini::IniFile(iniPath()).ReadIniKey(section, name, "<absent>");
    }

    QString savedText() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? common::decodeProfileText(f.readAll()) : QString();
    }

    QTemporaryDir m_dir;
    lang::Language m_language;
};

TEST_F(SettingsFileTest, aFirstRunGivesTheDefaultsAndWritesThem)
{
    settings::Settings s;
    const auto result = load(s);
    EXPECT_FALSE(result.error);
    EXPECT_FALSE(result.unknownVersion);
    EXPECT_EQ(s.rule.rule, "*_###");
    EXPECT_EQ(s.rule.comment, "Règle courante");
    EXPECT_EQ(s.Option_DossierSpecifique, "/home/me/Documents");
    EXPECT_EQ(s.forbiddenCharacters, Settings().forbiddenCharacters);
    EXPECT_FLOAT_EQ(s.thumbnailSizes[1].width, 120);
    EXPECT_FLOAT_EQ(s.thumbnailSizes[1].height, 90);
    EXPECT_EQ(m_language.displayName(), "Français");

    save(s);
    // Table counts are written as the last index.
    EXPECT_EQ(key("Option", "Option_NombreCaractereInterdit"), QString::number(s.forbiddenCharacters.size() - 1));
    EXPECT_EQ(key("Option", "Option_NbFileNotRenamed"), QString::number(s.forbiddenFiles.size() - 1));
    EXPECT_EQ(key("General", "General_NombreRegle"), "0");
    EXPECT_EQ(key("Option", "Option_DossierSpecifique"), "/shown");
}

TEST_F(SettingsFileTest, everyFieldSurvivesASaveAndALoad)
{
    settings::Settings s;
    load(s);
    s.General_NombreFichierRenomme = 1234;
    s.General_FiltreAffichage = "*.jpg *.NEF";
    s.General_PositionFenetreTop = -250.5f;
    s.forbiddenCharacters = {{"#", "-"}};
    s.forbiddenFiles = {".directory"};
    s.Option_RegleDebutApresRenommage = 2;
    s.Option_OutilExifChoisi = 3;
    s.Option_DossierDepart = 2;
    s.Option_DossierSpecifique = "/srv/photos été";
    // The counter texts are not stored: they come back as the stored counter shows.
    s.rule = {.rule = "Vacances_$dA$_###", .startText = "#", .counterStart = settings::kContinuationStart,
              .stepText = "-3", .counterStep = -3, .changeExtension = 1, .newExtension = "png",
              .replaceForbidden = 0, .numberIdentical = 0, .trimSpaces = 1, .upperFirstChar = 1, .upperEachWord = 1,
              .comment = "été", .extensionFilter = "JPG PNG"};
    s.RegleRenommage_Astuce = "exif";
    s.RegleRenommage_txtRepPos = {"3", "7", "1", "2"};
    s.RegleRenommage_optRepStr = -1;
    s.memorisedRules = {RuleOptions{.rule = "IMG_###", .counterStart = 5, .counterStep = 2, .changeExtension = 1,
                                    .newExtension = "jpeg", .numberIdentical = 0, .trimSpaces = 1, .upperFirstChar = 1,
                                    .comment = "photos", .extensionFilter = "JPG"}};
    save(s);

    settings::Settings back;
    EXPECT_FALSE(load(back).error);
    EXPECT_EQ(back.General_NombreFichierRenomme, 1234);
    EXPECT_EQ(back.General_FiltreAffichage, s.General_FiltreAffichage);
    EXPECT_FLOAT_EQ(back.General_PositionFenetreTop, -250.5f);
    EXPECT_EQ(back.forbiddenCharacters, s.forbiddenCharacters);
    EXPECT_EQ(back.forbiddenFiles, s.forbiddenFiles);
    EXPECT_EQ(back.Option_RegleDebutApresRenommage, 2);
    EXPECT_EQ(back.Option_OutilExifChoisi, 3);
    EXPECT_EQ(back.Option_DossierSpecifique, s.Option_DossierSpecifique) << "start folder 2 keeps the chosen one";
    EXPECT_EQ(back.rule, s.rule);
    EXPECT_EQ(back.RegleRenommage_Astuce, "exif");
    EXPECT_EQ(key("RegleRenommage", "RegleRenommage_optRepStr"), "<absent>") << "no choice is not written";
    EXPECT_EQ(back.RegleRenommage_txtRepPos, s.RegleRenommage_txtRepPos);
    EXPECT_EQ(back.memorisedRules.value(0), s.memorisedRules.first());
}

TEST_F(SettingsFileTest, aFileOfVersion1_11_0IsUpgradedAndSavedInTheNewForm)
{
    writeIni("[General]\r\nGeneral_VersionCourante=1.11.0\r\nGeneral_FiltreAffichage=*.jpg|*.png\r\n"
             "General_NombreRegle=1\r\nGeneral_Regle0=IMG_###|10|2|1|jpeg|1|ignored\r\nGeneral_Regle1=Scan_##\r\n");
    settings::Settings s;
    EXPECT_FALSE(load(s).error);
    EXPECT_EQ(s.General_FiltreAffichage, "*.jpg *.png");
    ASSERT_EQ(s.memorisedRules.size(), 2);
    const RuleOptions expected{.rule = "IMG_###", .counterStart = 10, .counterStep = 2, .changeExtension = 1,
                               .newExtension = "jpeg", .numberIdentical = 0, .extensionFilter = {}};
    EXPECT_EQ(s.memorisedRules[0], expected);
    EXPECT_EQ(s.memorisedRules[1].rule, "Scan_##");
    EXPECT_EQ(s.memorisedRules[1].counterStart, 1);

    save(s);
    EXPECT_EQ(key("General", "General_Regle0"), "IMG_###|||0|1|jpeg|1|2|0|0|10|0");
    EXPECT_EQ(key("General", "General_Regle1"), "Scan_##|||0|0||0|1|0|0|1|0");
    EXPECT_EQ(key("General", "General_NombreRegle"), "2");
    EXPECT_EQ(key("General", "General_FiltreAffichage"), "*.jpg *.png");
    settings::Settings again;
    load(again);
    EXPECT_EQ(again.memorisedRules[0], expected) << "a file this version wrote reads back its own rules";
}

TEST_F(SettingsFileTest, memorisedRulesAreRenumberedAndUnknownKeysAndCommentsKept)
{
    writeIni("; notes of the user\r\n[General]\r\nGeneral_VersionCourante=1.12.1\r\nGeneral_Ancien=42\r\n"
             "General_NombreRegle=6\r\nGeneral_Regle0=A_#|c|*|1|1||0|1|0|0|1|0\r\n"
             "General_Regle5=B_#|c|JPG|1|1||0|1|0|0|1|0|extra|fields\r\nGeneral_Regle6=C_#|c|*|1|1||0|1|0|0|1|0\r\n"
             "[Plugin]\r\nkey=value\r\n");
    settings::Settings s;
    load(s);
    save(s);
    EXPECT_EQ(key("General", "General_NombreRegle"), "3");
    EXPECT_TRUE(key("General", "General_Regle0").startsWith("A_#|"));
    EXPECT_TRUE(key("General", "General_Regle1").startsWith("B_#|c|JPG|"));
    EXPECT_TRUE(key("General", "General_Regle2").startsWith("C_#|"));
    EXPECT_EQ(key("General", "General_Regle5"), "<absent>");
    EXPECT_EQ(key("General", "General_Regle6"), "<absent>")
        << "the load read Regle6 (0 to the count), so it must not stay behind as a copy of Regle2";
    const QString text = savedText();
    EXPECT_TRUE(text.startsWith("; notes of the user\r\n[General]\r\n"));
    EXPECT_TRUE(text.contains("General_Ancien=42\r\n"));
    EXPECT_TRUE(text.contains("[Plugin]\r\nkey=value\r\n"));
}

TEST_F(SettingsFileTest, tablesGeometryAndCurrentRuleRules)
{
    writeIni("[General]\r\nGeneral_VersionCourante=1.12.2\r\nGeneral_PositionFenetreTop=-100001\r\n"
             "General_PositionFenetreLeft=-100000\r\nGeneral_NombreRegle=-4\r\n[Option]\r\n"
             "Option_NombreCaractereInterdit=0\r\nOption_CharactereInterdit0=#\r\n"
             "Option_NbFileNotRenamed=1\r\nOption_FileNotRenamed0=a.ini\r\n");
    settings::Settings s;
    EXPECT_FALSE(load(s).error);
    EXPECT_FLOAT_EQ(s.General_PositionFenetreTop, 100);
    EXPECT_FLOAT_EQ(s.General_PositionFenetreLeft, -100000);
    EXPECT_EQ(s.forbiddenCharacters, (QList<settings::ForbiddenCharacterRow>{{"#", QString()}}));
    EXPECT_EQ(s.forbiddenFiles, (QStringList{"a.ini", QString()}));
    EXPECT_EQ(s.General_NombreRegle, 0);
    EXPECT_EQ(s.memorisedRules.size(), 1);

    writeIni("[General]\r\nGeneral_VersionCourante=1.13.0\r\nGeneral_NombreRegle=1\r\n"
             "General_Regle0=IMG_###||JPG|1|1||0|1|0|0|1|0\r\n[RegleRenommage]\r\nRegleRenommage_Regle=IMG_###\r\n"
             "RegleRenommage_Commentaire=old\r\n");
    settings::Settings current;
    load(current);
    EXPECT_EQ(current.rule.comment, "Sans commentaire")
        << "the memorised rule equal to the current one brings its comment (message 93 when empty)";
    EXPECT_EQ(current.rule.extensionFilter, "JPG");
}

TEST_F(SettingsFileTest, fullTablesAndManyUnknownLinesRoundTrip)
{
    QString text = "; à garder\r\n[General]\r\nGeneral_VersionCourante=1.13.0\r\n[Option]\r\n"
                   "Option_NombreCaractereInterdit=32767\r\nOption_CharactereInterdit5=x\r\n"
                   "Option_CharactereReplacement5=y\r\nOption_CharactereInterdit32767=z\r\n"
                   "Option_NbFileNotRenamed=32767\r\nOption_FileNotRenamed32767=last.ini\r\n";
    for (int i = 0; i < 10000; ++i)
        text += QStringLiteral("Option_Autre%1=valeur %1\r\n").arg(i);
    writeIni(text);
    settings::Settings s;
    ASSERT_FALSE(load(s).error);
    ASSERT_EQ(s.forbiddenCharacters.size(), 32768);
    ASSERT_EQ(s.forbiddenFiles.size(), 32768);
    EXPECT_EQ(s.forbiddenCharacters[5], (settings::ForbiddenCharacterRow{"x", "y"}));
    EXPECT_EQ(s.forbiddenCharacters.last().characters, "z");
    EXPECT_EQ(s.forbiddenFiles.last(), "last.ini");
    s.forbiddenCharacters[5].characters.clear(); // the x of the file must not come back
    s.forbiddenFiles[7] = "sept.ini";
    save(s);

    settings::Settings back;
    ASSERT_FALSE(load(back).error);
    EXPECT_EQ(back.forbiddenCharacters, s.forbiddenCharacters);
    EXPECT_EQ(back.forbiddenFiles, s.forbiddenFiles);
    EXPECT_EQ(key("Option", "Option_Autre0"), "valeur 0");
    EXPECT_EQ(key("Option", "Option_Autre9999"), "valeur 9999");
    const QString saved = savedText();
    EXPECT_TRUE(saved.startsWith("; à garder\r\n[General]\r\n"));
    const QRegularExpression emptyEntry("^Option_(CharactereInterdit|CharactereReplacement|FileNotRenamed)\\d+=\r?$",
                                        QRegularExpression::MultilineOption);
    EXPECT_FALSE(emptyEntry.match(saved).hasMatch()) << "an empty entry reads back the same when absent";

    // A rule count past what the load accepts stops the load; the save that
    // follows still ends and keeps the tables.
    ini::IniFile(iniPath()).WriteIniKey("General", "General_NombreRegle", "2147483647");
    settings::Settings refused;
    const auto result = load(refused);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->number(), 6);
    save(refused);
    EXPECT_EQ(key("General", "General_NombreRegle"), "0");
    EXPECT_EQ(key("Option", "Option_FileNotRenamed7"), "sept.ini");
}

TEST_F(SettingsFileTest, anUnknownVersionReadsNoRule)
{
    writeIni("[General]\r\nGeneral_VersionCourante=2.0.0\r\nGeneral_NombreRegle=0\r\n"
             "General_Regle0=X_#|c|*|1|1||0|1|0|0|1|0\r\n");
    settings::Settings s;
    const auto result = load(s);
    EXPECT_TRUE(result.unknownVersion && !result.error);
    EXPECT_TRUE(s.memorisedRules.first().rule.isEmpty());
}

// What came before the error is kept; what comes after keeps its default.
TEST_F(SettingsFileTest, aNumberKeyHoldingTextStopsTheLoadThere)
{
    writeIni("[General]\r\nGeneral_VersionCourante=1.13.0\r\nGeneral_NombreFichierRenomme=77\r\n"
             "General_MettreAJour=0\r\n[Option]\r\nOption_RegleApresRenommage=beaucoup\r\nOption_TailleVignette=2\r\n");
    settings::Settings s;
    const auto result = load(s);
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->number(), 13);
    EXPECT_EQ(s.General_NombreFichierRenomme, 77);
    EXPECT_EQ(s.General_MettreAJour, 0);
    EXPECT_EQ(s.Option_TailleVignette, 0);
    EXPECT_EQ(s.forbiddenCharacters, Settings().forbiddenCharacters);
}

TEST_F(SettingsFileTest, aLoadErrorNamesTheKeyAndItsLineInTheFile)
{
    const struct { const char *text; int number; const char *key; int fileLine; } cases[] = {
        {"; réglages\r\n\r\n[Option]\r\nOption_TailleVignette=2\r\n\r\n[General]\r\n"
         "GENERAL_NOMBREFICHIERRENOMME=beaucoup\r\n",
         13, "General_NombreFichierRenomme", 7},
        {"[General]\r\nGeneral_NombreRegle=70000\r\n", 6, "General_NombreRegle", 2},
        {"[Option]\r\nx=1\r\n[General]\r\nGeneral_VersionCourante=1.13.0\r\nGeneral_NombreRegle=1\r\n; règles\r\n"
         "General_Regle0=A_#|c|*|1|1||0|1|0|0|1|0\r\n\r\ngeneral_regle1=B_#|c|*|1|un||0|1|0|0|1|0\r\n"
         "[General]\r\nGeneral_Regle1=ignorée\r\n",
         13, "General_Regle1", 9},
    };
    QSet<int> statements;
    for (const auto &c : cases) {
        writeIni(QString::fromUtf8(c.text));
        settings::Settings s;
        const auto result = load(s);
        ASSERT_TRUE(result.error.has_value()) << c.text;
        EXPECT_EQ(result.error->number(), c.number) << c.text;
        EXPECT_EQ(result.key, c.key) << c.text;
        EXPECT_EQ(result.fileLine, c.fileLine) << c.text;
        statements.insert(result.line);
    }
    EXPECT_EQ(statements.size(), 3) << "each statement has its own number";
}

TEST_F(SettingsFileTest, truncatedAndBinaryFilesLoadWhatTheyCan)
{
    writeIni("[General]\r\nGeneral_NombreFichierRenomme=5\r\nGeneral_Filtre");
    settings::Settings s;
    EXPECT_FALSE(load(s).error);
    EXPECT_EQ(s.General_NombreFichierRenomme, 5);

    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int i = 0; i < 2048; ++i)
        f.putChar(char((i * 131 + 7) % 256));
    f.close();
    settings::Settings binary;
    load(binary);
    EXPECT_EQ(binary.rule.rule, "*_###");
}

TEST(ThumbnailSizes, parseTheFirstParenthesesOfAMessage)
{
    const auto size = settings::parseThumbnailSize("Grande (160x120) (pas ceci)");
    ASSERT_TRUE(size);
    EXPECT_FLOAT_EQ(size->width, 160);
    EXPECT_FLOAT_EQ(size->height, 120);
    for (const char *none : {"Grande", "Grande (160)", "Grande (axb)"})
        EXPECT_FALSE(settings::parseThumbnailSize(none)) << none;
}

} // namespace
