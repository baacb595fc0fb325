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
        QDir(m_dir.path()).mkpath(QStringLiteral("langages/common"));
        write(QStringLiteral("Francais"),
              QStringLiteral("[LANGUAGE]\r\nlanguage=Français\r\n[MSG]\r\nm1=Information\r\nm2=deux|lignes\r\n"
                             "m3=_espace avant\r\nm4=espace après_\r\nm5=_\r\nm6=%s / %s\r\nm7=%s et %s et %s\r\n"
                             "m8=Version %s\r\n[frmMain]\r\nfrmMain.Caption=Principale\r\n[EXTRA]\r\n"
                             "UndoDone=%s fichiers rétablis\r\n"));
        write(QStringLiteral("English"), QStringLiteral("[LANGUAGE]\r\nlanguage=English\r\n[MSG]\r\nm1=Information (en)\r\n"));
        m_language.setProgramFolder(m_dir.path());
        m_language.setLanguage(QStringLiteral("Français"));
    }

    void write(const QString &base, const QString &text)
    {
        QFile f(m_dir.filePath(QStringLiteral("langages/") + base + QStringLiteral(".lng")));
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
    EXPECT_EQ(m_language.baseName(), QStringLiteral("Francais"));
    EXPECT_EQ(m_language.GetMessage(2), QStringLiteral("deux\r\nlignes"));
    EXPECT_EQ(m_language.GetMessage(3), QStringLiteral(" espace avant"));
    EXPECT_EQ(m_language.GetMessage(4), QStringLiteral("espace après "));
    EXPECT_EQ(m_language.GetMessage(5), QStringLiteral(" "));
    EXPECT_EQ(m_language.GetMessage(6, QStringLiteral("3"), QStringLiteral("10")), QStringLiteral("3 / 10"));
    EXPECT_EQ(m_language.GetMessage(6, QStringLiteral("3")), QStringLiteral("3 / "));
    EXPECT_EQ(m_language.GetMessage(7, QStringLiteral("a"), QStringLiteral("b")), QStringLiteral("a et b et %s"))
        << "a third mark stays as it is";
    EXPECT_EQ(m_language.GetMessage(99), QString()) << "a missing message is empty, not an error";
    EXPECT_EQ(m_language.extra(QStringLiteral("UndoDone"), QStringLiteral("12")), QStringLiteral("12 fichiers rétablis"));
    EXPECT_EQ(m_language.ReadLangKey(QStringLiteral("frmMain"), QStringLiteral("frmMain.Caption"), QStringLiteral("x")),
              QStringLiteral("Principale"));
    EXPECT_EQ(m_language.ReadLangKey(QStringLiteral("frmMain"), QStringLiteral("cmdX.Caption"), QStringLiteral("designed")),
              QStringLiteral("designed"));
}

TEST_F(LanguageTest, onlyParameterlessMessagesAreCachedUntilTheLanguageChanges)
{
    EXPECT_EQ(m_language.GetMessage(1), QStringLiteral("Information"));
    EXPECT_EQ(m_language.GetMessage(8, QStringLiteral("1.0")), QStringLiteral("Version 1.0"));
    QThread::msleep(20);  // a new modification time for the rewritten file
    write(QStringLiteral("Francais"),
          QStringLiteral("[MSG]\r\nm1=Changé, mais en cache\r\nm8=Édition %s\r\n"));
    EXPECT_EQ(m_language.GetMessage(1), QStringLiteral("Information")) << "read once, then from the cache";
    EXPECT_EQ(m_language.GetMessage(8, QStringLiteral("2.0")), QStringLiteral("Édition 2.0"))
        << "a message with a parameter is read each time";

    ASSERT_TRUE(m_language.changeLanguage(QStringLiteral("English")));
    EXPECT_EQ(m_language.GetMessage(1), QStringLiteral("Information (en)"));
    EXPECT_TRUE(m_language.helpFilePath().endsWith(QStringLiteral("/langages/English/Tarvello.html")));
    EXPECT_FALSE(m_language.changeLanguage(QStringLiteral("English"))) << "already current";
    EXPECT_FALSE(m_language.changeLanguage(QStringLiteral("Klingon"))) << "no file";
    EXPECT_EQ(m_language.displayName(), QStringLiteral("English"));
}

TEST_F(LanguageTest, numbersOutsideTheTableAreAProgrammingError)
{
    EXPECT_THROW(m_language.GetMessage(101), tarvello::common::VbError);
    EXPECT_THROW(m_language.GetMessage(-1), tarvello::common::VbError);
    EXPECT_NO_THROW(m_language.GetMessage(100));
}

TEST_F(LanguageTest, theLanguageListReadsEachFilesOwnName)
{
    write(QStringLiteral("Broken"), QStringLiteral("no section at all"));
    const auto list = m_language.availableLanguages();
    QStringList names;
    for (const auto &entry : list)
        names << entry.displayName + QLatin1Char('=') + entry.baseName;
    EXPECT_EQ(names, (QStringList{QStringLiteral("English=English"), QStringLiteral("Français=Francais")}));
    EXPECT_EQ(m_language.GetMessage(1), QStringLiteral("Information")) << "listing leaves the current language";
}

TEST_F(LanguageTest, aMissingOrMalformedFileGivesEmptyTextsAndDesignedDefaults)
{
    Language missing(m_dir.path());
    missing.setLanguage(QStringLiteral("Deutsch"));
    EXPECT_FALSE(missing.fileExists());
    EXPECT_EQ(missing.GetMessage(1), QString());
    EXPECT_EQ(missing.ReadLangKey(QStringLiteral("frmMain"), QStringLiteral("cmdAdd.Caption"), QStringLiteral("Ajouter")),
              QStringLiteral("Ajouter"));

    QFile garbage(m_dir.filePath(QStringLiteral("langages/Garbage.lng")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    for (int i = 0; i < 5000; ++i)
        garbage.putChar(char((i * 37 + 11) % 256));
    garbage.close();
    Language broken(m_dir.path());
    broken.setLanguage(QStringLiteral("Garbage"));
    EXPECT_EQ(broken.GetMessage(19, QStringLiteral("3")), QString());
}

TEST_F(LanguageTest, buttonImagesAreFoundByRole)
{
    QFile gif(m_dir.filePath(QStringLiteral("langages/common/oui.gif")));
    ASSERT_TRUE(gif.open(QIODevice::WriteOnly));
    gif.write("GIF89a");
    gif.close();
    EXPECT_TRUE(m_language.buttonImagePath(QStringLiteral("oui")).endsWith(QStringLiteral("langages/common/oui.gif")));
    EXPECT_EQ(m_language.buttonImagePath(QStringLiteral("non")), QString());
}

} // namespace
