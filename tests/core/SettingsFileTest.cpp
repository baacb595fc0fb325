#include "app/IniFile.h"
#include "app/SettingsFile.h"
#include "common/Cp1252.h"
#include "lang/Language.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tarvello;
using app::IniFile;
using app::MemorisedRule;
using app::Settings;

namespace {

void writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QByteArray bytes;
    ASSERT_TRUE(common::encodeCp1252(text, bytes));
    f.write(bytes);
}

QString readText(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return common::decodeProfileText(f.readAll());
}

// A program folder with a small French language file and a settings file.
class SettingsFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("langages"));
        writeFile(m_dir.filePath(QStringLiteral("langages/Francais.lng")),
                  QStringLiteral("[LANGUAGE]\r\nlanguage=Français\r\n[MSG]\r\nm16=*_###\r\nm46=Petite (80x60)\r\n"
                                 "m47=Moyenne ( 120 x 90 )\r\nm48=Grande (160x120)\r\nm93=Sans commentaire\r\n"
                                 "m95=Règle courante\r\n"));
        m_language.setProgramFolder(m_dir.path());
    }

    QString iniPath() const { return m_dir.filePath(QStringLiteral("Tarvello.ini")); }

    app::SettingsLoadResult load(Settings &s)
    {
        const IniFile file(iniPath());
        return app::readSettingsFile(file, s, m_language, QStringLiteral("/home/me/Documents"));
    }

    void save(const Settings &s, const QString &shownFolder = QStringLiteral("/shown"))
    {
        IniFile file(iniPath());
        ASSERT_TRUE(app::writeSettingsFile(file, s, shownFolder));
    }

    QString key(const QString &section, const QString &name)
    {
        return IniFile(iniPath()).ReadIniKey(section, name, QStringLiteral("<absent>"));
    }

    QTemporaryDir m_dir;
    lang::Language m_language;
};

TEST_F(SettingsFileTest, aFirstRunGivesEveryDefaultAndWritesEveryKey)
{
    Settings s;
    const auto result = load(s);
    EXPECT_FALSE(result.error);
    EXPECT_FALSE(result.unknownVersion);
    EXPECT_EQ(s.RegleRenommage_Regle, QStringLiteral("*_###"));
    EXPECT_EQ(s.RegleRenommage_Commentaire, QStringLiteral("Règle courante"));
    EXPECT_EQ(s.Option_DossierSpecifique, QStringLiteral("/home/me/Documents"));
    EXPECT_EQ(s.forbiddenCharacters.size(), 7);
    EXPECT_EQ(s.forbiddenCharacters.last().characters, QStringLiteral("/:?\"<>|\\"));
    EXPECT_EQ(s.forbiddenFiles, (QStringList{"desktop.ini", "fssort.ini", "Thumbs.db"}));
    EXPECT_FLOAT_EQ(s.thumbnailSizes[1].width, 120);
    EXPECT_FLOAT_EQ(s.thumbnailSizes[1].height, 90);
    EXPECT_EQ(m_language.displayName(), QStringLiteral("Français"));

    save(s);
    EXPECT_EQ(key("Option", "Option_NombreCaractereInterdit"), QStringLiteral("6"));
    EXPECT_EQ(key("Option", "Option_NbFileNotRenamed"), QStringLiteral("2"));
    EXPECT_EQ(key("General", "General_VersionCourante"), QStringLiteral("1.13.0"));
    EXPECT_EQ(key("General", "General_NombreRegle"), QStringLiteral("0"));
    EXPECT_EQ(key("Option", "Option_DossierSpecifique"), QStringLiteral("/shown"));
    const char *const everyKey[][2] = {
        {"Langage", "Langage_LangueUtilisee"}, {"General", "General_NombreFichierRenomme"},
        {"General", "General_AfficherImageBouton"}, {"General", "General_FiltreAffichage"},
        {"General", "General_VisualiserImage"}, {"General", "General_MettreAJour"},
        {"General", "General_PositionFenetreTop"}, {"General", "General_PositionFenetreLeft"},
        {"General", "General_FenetreHauteur"}, {"General", "General_FenetreLargeur"},
        {"Option", "Option_CharactereInterdit6"}, {"Option", "Option_CharactereReplacement6"},
        {"Option", "Option_FileNotRenamed2"}, {"Option", "Option_RegleApresRenommage"},
        {"Option", "Option_RegleDebutApresRenommage"}, {"Option", "Option_RegleDebutResetRenommage"},
        {"Option", "Option_ReglePasApresRenommage"}, {"Option", "Option_ReglePasResetRenommage"},
        {"Option", "Option_OutilExifChoisi"}, {"Option", "Option_ExtensionTraiteAvecJHEAD"},
        {"Option", "Option_ExtensionTraiteAvecEXIFTOOL"}, {"Option", "Option_AfficherVignette"},
        {"Option", "Option_FormatExtensionVignette"}, {"Option", "Option_TailleVignette"},
        {"Option", "Option_DossierDepart"}, {"Option", "Option_FormatAnnee"}, {"Option", "Option_FormatMois"},
        {"RegleRenommage", "RegleRenommage_DebutPas"}, {"RegleRenommage", "RegleRenommage_Pas"},
        {"RegleRenommage", "RegleRenommage_ModifieExtension"},
        {"RegleRenommage", "RegleRenommage_ModifieExtensionValeur"},
        {"RegleRenommage", "RegleRenommage_RemplacerCaractereInterdit"}, {"RegleRenommage", "RegleRenommage_Regle"},
        {"RegleRenommage", "RegleRenommage_IncrementeFichierIdentique"},
        {"RegleRenommage", "RegleRenommage_EffaceEspace"},
        {"RegleRenommage", "RegleRenommage_PremierCaractereEnMajuscule"},
        {"RegleRenommage", "RegleRenommage_PremierCaractereEnMajusculePourChaqueMot"},
        {"RegleRenommage", "RegleRenommage_Commentaire"}, {"RegleRenommage", "RegleRenommage_Extension"},
        {"RegleRenommage", "RegleRenommage_optRepPos"}, {"RegleRenommage", "RegleRenommage_txtRepPos3"},
        {"RegleRenommage", "RegleRenommage_optRepPosDebutFin"}, {"RegleRenommage", "RegleRenommage_txtRemplacerPos"},
        {"RegleRenommage", "RegleRenommage_optRepStr"}, {"RegleRenommage", "RegleRenommage_RechercherChaine"},
        {"RegleRenommage", "RegleRenommage_RemplacerChaine"},
    };
    for (const auto &k : everyKey)
        EXPECT_NE(key(QLatin1String(k[0]), QLatin1String(k[1])), QStringLiteral("<absent>")) << k[1];
}

TEST_F(SettingsFileTest, everyFieldSurvivesASaveAndALoad)
{
    Settings s;
    load(s);
    s.General_NombreFichierRenomme = 1234;
    s.General_FiltreAffichage = QStringLiteral("*.jpg *.NEF");
    s.General_PositionFenetreTop = -250.5f;
    s.forbiddenCharacters = {{QStringLiteral("#"), QStringLiteral("-")}};
    s.forbiddenFiles = {QStringLiteral(".directory")};
    s.Option_RegleDebutApresRenommage = 2;
    s.Option_OutilExifChoisi = 3;
    s.Option_DossierDepart = 2;
    s.Option_DossierSpecifique = QStringLiteral("/srv/photos été");
    s.RegleRenommage_DebutPas = app::kContinuationStart;
    s.RegleRenommage_Pas = -3;
    s.RegleRenommage_Regle = QStringLiteral("Vacances_$dA$_###");
    s.RegleRenommage_Astuce = QStringLiteral("exif");
    s.RegleRenommage_txtRepPos = {QStringLiteral("3"), QStringLiteral("7"), QStringLiteral("1"), QStringLiteral("2")};
    s.memorisedRules = {MemorisedRule{QStringLiteral("IMG_###"), QStringLiteral("photos"), QStringLiteral("JPG"), 5,
                                      2, 1, QStringLiteral("jpeg"), 1, 0, 1, 0, 1}};
    save(s);

    Settings back;
    const auto result = load(back);
    EXPECT_FALSE(result.error);
    EXPECT_EQ(back.General_NombreFichierRenomme, 1234);
    EXPECT_EQ(back.General_FiltreAffichage, s.General_FiltreAffichage);
    EXPECT_FLOAT_EQ(back.General_PositionFenetreTop, -250.5f);
    EXPECT_EQ(back.forbiddenCharacters, s.forbiddenCharacters);
    EXPECT_EQ(back.forbiddenFiles, s.forbiddenFiles);
    EXPECT_EQ(back.Option_OutilExifChoisi, 3);
    EXPECT_EQ(back.Option_DossierSpecifique, s.Option_DossierSpecifique) << "start folder 2 keeps the chosen one";
    EXPECT_EQ(back.RegleRenommage_DebutPas, app::kContinuationStart);
    EXPECT_EQ(back.RegleRenommage_Pas, -3);
    EXPECT_EQ(back.RegleRenommage_Regle, s.RegleRenommage_Regle);
    EXPECT_EQ(back.RegleRenommage_Astuce, QStringLiteral("exif"));
    EXPECT_EQ(back.RegleRenommage_txtRepPos, s.RegleRenommage_txtRepPos);
    ASSERT_GE(back.memorisedRules.size(), 1);
    EXPECT_EQ(back.memorisedRules.first(), s.memorisedRules.first());
}

TEST_F(SettingsFileTest, aFileOfVersion1_11_0IsUpgradedAndSavedInTheNewForm)
{
    writeFile(iniPath(), QStringLiteral("[General]\r\nGeneral_VersionCourante=1.11.0\r\n"
                                        "General_FiltreAffichage=*.jpg|*.png\r\nGeneral_NombreRegle=1\r\n"
                                        "General_Regle0=IMG_###|10|2|1|jpeg|1|ignored\r\n"
                                        "General_Regle1=Scan_##\r\n"));
    Settings s;
    EXPECT_FALSE(load(s).error);
    EXPECT_EQ(s.General_FiltreAffichage, QStringLiteral("*.jpg *.png"));
    ASSERT_EQ(s.memorisedRules.size(), 2);
    const MemorisedRule expected{QStringLiteral("IMG_###"), {}, {}, 10, 2, 1, QStringLiteral("jpeg"), 1, 0, 0, 0, 0};
    EXPECT_EQ(s.memorisedRules[0], expected);
    EXPECT_EQ(s.memorisedRules[1].rule, QStringLiteral("Scan_##"));
    EXPECT_EQ(s.memorisedRules[1].counterStart, 1);

    save(s);
    EXPECT_EQ(key("General", "General_Regle0"), QStringLiteral("IMG_###|||0|1|jpeg|1|2|0|0|10|0"));
    EXPECT_EQ(key("General", "General_Regle1"), QStringLiteral("Scan_##|||0|0||0|1|0|0|1|0"));
    EXPECT_EQ(key("General", "General_NombreRegle"), QStringLiteral("2"));
    EXPECT_EQ(key("General", "General_FiltreAffichage"), QStringLiteral("*.jpg *.png"));
    Settings again;
    load(again);
    EXPECT_EQ(again.memorisedRules[0], expected) << "a file this version wrote reads back its own rules";
}

TEST_F(SettingsFileTest, memorisedRulesAreRenumberedWithoutGaps)
{
    writeFile(iniPath(), QStringLiteral("[General]\r\nGeneral_VersionCourante=1.12.1\r\nGeneral_NombreRegle=6\r\n"
                                        "General_Regle0=A_#|c|*|1|1||0|1|0|0|1|0\r\n"
                                        "General_Regle5=B_#|c|JPG|1|1||0|1|0|0|1|0|extra|fields\r\n"
                                        "General_Regle6=C_#|c|*|1|1||0|1|0|0|1|0\r\n"));
    Settings s;
    load(s);
    save(s);
    EXPECT_EQ(key("General", "General_NombreRegle"), QStringLiteral("3"));
    EXPECT_TRUE(key("General", "General_Regle0").startsWith(QStringLiteral("A_#|")));
    EXPECT_TRUE(key("General", "General_Regle1").startsWith(QStringLiteral("B_#|c|JPG|")));
    EXPECT_TRUE(key("General", "General_Regle2").startsWith(QStringLiteral("C_#|")));
    EXPECT_EQ(key("General", "General_Regle5"), QStringLiteral("<absent>"));
    EXPECT_EQ(key("General", "General_Regle6"), QStringLiteral("<absent>"))
        << "the load read Regle6 (0 to the count), so it must not stay behind as a copy of Regle2";
}

TEST_F(SettingsFileTest, unknownKeysAndCommentsSurviveASave)
{
    writeFile(iniPath(), QStringLiteral("; notes of the user\r\n[General]\r\nGeneral_VersionCourante=1.12.0\r\n"
                                        "General_Ancien=42\r\n[Plugin]\r\nkey=value\r\n"));
    Settings s;
    load(s);
    save(s);
    const QString text = readText(iniPath());
    EXPECT_TRUE(text.startsWith(QStringLiteral("; notes of the user\r\n[General]\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("General_Ancien=42\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("[Plugin]\r\nkey=value\r\n")));
}

TEST_F(SettingsFileTest, tablesGeometryAndCurrentRuleRules)
{
    writeFile(iniPath(), QStringLiteral("[General]\r\nGeneral_VersionCourante=1.12.2\r\n"
                                        "General_PositionFenetreTop=-100001\r\nGeneral_PositionFenetreLeft=-100000\r\n"
                                        "General_NombreRegle=-4\r\n"
                                        "[Option]\r\nOption_NombreCaractereInterdit=0\r\nOption_CharactereInterdit0=#\r\n"
                                        "Option_NbFileNotRenamed=1\r\nOption_FileNotRenamed0=a.ini\r\n"));
    Settings s;
    EXPECT_FALSE(load(s).error);
    EXPECT_FLOAT_EQ(s.General_PositionFenetreTop, 100);
    EXPECT_FLOAT_EQ(s.General_PositionFenetreLeft, -100000);
    ASSERT_EQ(s.forbiddenCharacters.size(), 1);
    EXPECT_EQ(s.forbiddenCharacters[0], (app::ForbiddenCharacterRow{QStringLiteral("#"), QString()}));
    EXPECT_EQ(s.forbiddenFiles, (QStringList{QStringLiteral("a.ini"), QString()}));
    EXPECT_EQ(s.General_NombreRegle, 0);
    EXPECT_EQ(s.memorisedRules.size(), 1);

    writeFile(iniPath(), QStringLiteral("[General]\r\nGeneral_VersionCourante=1.13.0\r\nGeneral_NombreRegle=1\r\n"
                                        "General_Regle0=IMG_###||JPG|1|1||0|1|0|0|1|0\r\n"
                                        "[RegleRenommage]\r\nRegleRenommage_Regle=IMG_###\r\n"
                                        "RegleRenommage_Commentaire=old\r\n"));
    Settings current;
    load(current);
    EXPECT_EQ(current.RegleRenommage_Commentaire, QStringLiteral("Sans commentaire"))
        << "the memorised rule equal to the current one brings its comment (message 93 when empty)";
    EXPECT_EQ(current.RegleRenommage_Extension, QStringLiteral("JPG"));
}

TEST_F(SettingsFileTest, anUnknownVersionReadsNoRule)
{
    writeFile(iniPath(), QStringLiteral("[General]\r\nGeneral_VersionCourante=2.0.0\r\nGeneral_NombreRegle=0\r\n"
                                        "General_Regle0=X_#|c|*|1|1||0|1|0|0|1|0\r\n"));
    Settings s;
    const auto result = load(s);
    EXPECT_TRUE(result.unknownVersion);
    EXPECT_FALSE(result.error);
    EXPECT_TRUE(s.memorisedRules.first().rule.isEmpty());
}

TEST_F(SettingsFileTest, aNumberKeyHoldingTextStopsTheLoadThereWithItsLine)
{
    writeFile(iniPath(), QStringLiteral("[General]\r\nGeneral_VersionCourante=1.13.0\r\n"
                                        "General_NombreFichierRenomme=77\r\nGeneral_MettreAJour=0\r\n"
                                        "[Option]\r\nOption_RegleApresRenommage=beaucoup\r\nOption_TailleVignette=2\r\n"));
    Settings s;
    const auto result = load(s);
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->number(), 13);
    EXPECT_GT(result.line, 0);
    EXPECT_EQ(s.General_NombreFichierRenomme, 77) << "what came before the error is kept";
    EXPECT_EQ(s.General_MettreAJour, 0);
    EXPECT_EQ(s.Option_TailleVignette, 0) << "what comes after keeps its default";
    EXPECT_EQ(s.forbiddenCharacters.size(), 7);

    writeFile(iniPath(), QStringLiteral("[General]\r\nGeneral_NombreRegle=70000\r\n"));
    Settings overflow;
    const auto second = load(overflow);
    ASSERT_TRUE(second.error.has_value());
    EXPECT_EQ(second.error->number(), 6);
    EXPECT_GT(second.line, result.line) << "each statement has its own number";
}

TEST_F(SettingsFileTest, truncatedAndBinaryFilesLoadWhatTheyCan)
{
    writeFile(iniPath(), QStringLiteral("[General]\r\nGeneral_NombreFichierRenomme=5\r\nGeneral_Filtre"));
    Settings s;
    EXPECT_FALSE(load(s).error);
    EXPECT_EQ(s.General_NombreFichierRenomme, 5);

    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int i = 0; i < 2048; ++i)
        f.putChar(char((i * 131 + 7) % 256));
    f.close();
    Settings binary;
    load(binary);
    EXPECT_EQ(binary.RegleRenommage_Regle, QStringLiteral("*_###"));
}

TEST(ThumbnailSizes, parseTheFirstParenthesesOfAMessage)
{
    const auto size = app::parseThumbnailSize(QStringLiteral("Grande (160x120) (pas ceci)"));
    ASSERT_TRUE(size);
    EXPECT_FLOAT_EQ(size->width, 160);
    EXPECT_FLOAT_EQ(size->height, 120);
    EXPECT_FALSE(app::parseThumbnailSize(QStringLiteral("Grande")));
    EXPECT_FALSE(app::parseThumbnailSize(QStringLiteral("Grande (160)")));
    EXPECT_FALSE(app::parseThumbnailSize(QStringLiteral("Grande (axb)")));
}

} // namespace
