#include "common/Cp1252.h"
#include "common/VbError.h"
#include "lang/Language.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using tarvello::lang::Language;

namespace {

class LanguageTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath("langages/common");
        write("Francais",
              QStringLiteral("[LANGUAGE]\r\nlanguage=Français\r\n[MSG]\r\nm1=Information\r\nm2=deux|lignes\r\n"
                             "m3=_espace avant\r\nm4=espace après_\r\nm5=_\r\nm6=%s / %s\r\nm7=%s et %s et %s\r\n"
                             "m8=Version %s\r\n[frmMain]\r\nfrmMain.Caption=Principale\r\n[EXTRA]\r\n"
                             "UndoDone=%s fichiers rétablis\r\n"));
        write("English", "[LANGUAGE]\r\nlanguage=English\r\n[MSG]\r\nm1=Information (en)\r\n");
        m_language.setProgramFolder(m_dir.path());
        m_language.setLanguage("Français");
    }

    void write(const QString &base, const QString &text)
    {
        QFile f(m_dir.filePath("langages/" + base + ".lng"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray bytes;
        ASSERT_TRUE(tarvello::common::encodeCp1252(text, bytes));
        f.write(bytes);
    }

    QTemporaryDir m_dir;
    Language m_language;
};

TEST_F(LanguageTest, valueConventionsApplyToEveryRead)
{
    EXPECT_EQ(m_language.baseName(), "Francais");
    EXPECT_EQ(m_language.GetMessage(2), "deux\r\nlignes");
    EXPECT_EQ(m_language.GetMessage(3), " espace avant");
    EXPECT_EQ(m_language.GetMessage(4), "espace après ");
    EXPECT_EQ(m_language.GetMessage(5), " ");
    EXPECT_EQ(m_language.GetMessage(6, "3", "10"), "3 / 10");
    EXPECT_EQ(m_language.GetMessage(6, "3"), "3 / ");
    EXPECT_EQ(m_language.GetMessage(7, "a", "b"), "a et b et %s") << "a third mark stays as it is";
    EXPECT_EQ(m_language.GetMessage(99), QString()) << "a missing message is empty, not an error";
    EXPECT_EQ(m_language.extra("UndoDone", "12"), "12 fichiers rétablis");
    EXPECT_EQ(m_language.ReadLangKey("frmMain", "frmMain.Caption", "x"), "Principale");
    EXPECT_EQ(m_language.ReadLangKey("frmMain", "cmdX.Caption", "designed"), "designed");
}

TEST_F(LanguageTest, onlyParameterlessMessagesAreCachedUntilTheLanguageChanges)
{
    EXPECT_EQ(m_language.GetMessage(1), "Information");
    EXPECT_EQ(m_language.GetMessage(8, "1.0"), "Version 1.0");
    QThread::msleep(20);  // a new modification time for the rewritten file
    write("Francais", "[MSG]\r\nm1=Changé, mais en cache\r\nm8=Édition %s\r\n");
    EXPECT_EQ(m_language.GetMessage(1), "Information") << "read once, then from the cache";
    EXPECT_EQ(m_language.GetMessage(8, "2.0"), "Édition 2.0")
        << "a message with a parameter is read each time";

    ASSERT_TRUE(m_language.changeLanguage("English"));
    EXPECT_EQ(m_language.GetMessage(1), "Information (en)");
    EXPECT_TRUE(m_language.helpFilePath().endsWith("/langages/English/Tarvello.html"));
    EXPECT_FALSE(m_language.changeLanguage("English")) << "already current";
    EXPECT_FALSE(m_language.changeLanguage("Klingon")) << "no file";
    EXPECT_EQ(m_language.displayName(), "English");
}

TEST_F(LanguageTest, theLanguageListReadsEachFilesOwnName)
{
    write("Broken", "no section at all");
    QStringList names;
    for (const auto &entry : m_language.availableLanguages())
        names << entry.displayName + QLatin1Char('=') + entry.baseName;
    EXPECT_EQ(names, (QStringList{"English=English", "Français=Francais"}));
    EXPECT_EQ(m_language.GetMessage(1), "Information") << "listing leaves the current language";
}

TEST_F(LanguageTest, aMissingOrMalformedFileGivesEmptyTextsAndDesignedDefaults)
{
    Language missing(m_dir.path());
    missing.setLanguage("Deutsch");
    EXPECT_FALSE(missing.fileExists());
    EXPECT_EQ(missing.GetMessage(1), QString());
    EXPECT_EQ(missing.ReadLangKey("frmMain", "cmdAdd.Caption", "Ajouter"), "Ajouter");

    QFile garbage(m_dir.filePath("langages/Garbage.lng"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    for (int i = 0; i < 5000; ++i)
        garbage.putChar(char((i * 37 + 11) % 256));
    garbage.close();
    Language broken(m_dir.path());
    broken.setLanguage("Garbage");
    EXPECT_EQ(broken.GetMessage(19, "3"), QString());
}

} // namespace
