#include "app/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using tarvello::app::IniDocument;
using tarvello::app::IniFile;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

struct ValueCase {
    const char *line;
    const char *key;
    const char *expected;  // nullptr: absent
};

class IniValues : public testing::TestWithParam<ValueCase> {};

TEST_P(IniValues, readLikeTheProfileFunctions)
{
    const ValueCase &c = GetParam();
    const IniDocument doc = IniDocument::fromText(QStringLiteral("[General]\r\n") + QString::fromUtf8(c.line)
                                                  + QStringLiteral("\r\n[Other]\r\nkey=other\r\n"));
    const auto value = doc.value(QStringLiteral("general"), QString::fromUtf8(c.key));
    if (!c.expected) {
        EXPECT_FALSE(value.has_value()) << c.line;
    } else {
        ASSERT_TRUE(value.has_value()) << c.line;
        EXPECT_EQ(*value, QString::fromUtf8(c.expected)) << c.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IniValues,
    testing::Values(ValueCase{"key=value", "key", "value"}, ValueCase{"  Key =  value  ", "KEY", "value"},
                    ValueCase{"key=\"quoted value\"", "key", "quoted value"},
                    ValueCase{"key=\"\"inner\"\"", "key", "\"inner\""}, ValueCase{"key=\"", "key", "\""},
                    ValueCase{"key=a=b", "key", "a=b"}, ValueCase{"key=", "key", ""},
                    ValueCase{"key\tvalue", "key", nullptr}, ValueCase{";key=comment", "key", nullptr},
                    ValueCase{"other=1", "key", nullptr}, ValueCase{"key=é ü", "key", "é ü"}));

TEST(IniDocumentEdit, rewritesInPlaceAndKeepsEverythingElse)
{
    const QString original = QStringLiteral("; made by hand\r\n[General]\r\nA=1\r\n; keep me\r\nUnknown=x\r\n\r\n"
                                            "[Option]\r\nB=2\r\n");
    IniDocument doc = IniDocument::fromText(original);
    doc.setValue(QStringLiteral("GENERAL"), QStringLiteral("a"), QStringLiteral("10"));
    doc.setValue(QStringLiteral("General"), QStringLiteral("C"), QStringLiteral("3"));
    doc.setValue(QStringLiteral("New"), QStringLiteral("D"), QStringLiteral("4"));
    doc.remove(QStringLiteral("Option"), QStringLiteral("B"));
    doc.remove(QStringLiteral("Option"), QStringLiteral("absent"));
    EXPECT_EQ(doc.toText(), QStringLiteral("; made by hand\r\n[General]\r\na=10\r\n; keep me\r\nUnknown=x\r\nC=3\r\n\r\n"
                                           "[Option]\r\n\r\n[New]\r\nD=4\r\n"));
}

TEST(IniDocumentEdit, keepsTheLineEndsItWasWrittenWith)
{
    IniDocument unixDoc = IniDocument::fromText(QStringLiteral("[S]\nk=v\n"));
    unixDoc.setValue(QStringLiteral("S"), QStringLiteral("n"), QStringLiteral("w"));
    EXPECT_EQ(unixDoc.toText(), QStringLiteral("[S]\nk=v\nn=w\n"));
    IniDocument fresh;
    fresh.setValue(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_EQ(fresh.toText(), QStringLiteral("[S]\r\nk=v\r\n"));
    EXPECT_EQ(IniDocument::fromText(QStringLiteral("[S]\nk=v")).value(QStringLiteral("S"), QStringLiteral("k")),
              QStringLiteral("v"));
}

TEST(IniDocumentEdit, firstSectionAndFirstKeyWin)
{
    IniDocument doc = IniDocument::fromText(
        QStringLiteral("[S]\r\nk=first\r\nk=second\r\n[T]\r\nk=t\r\n[S]\r\nk=third\r\n"));
    EXPECT_EQ(doc.value(QStringLiteral("S"), QStringLiteral("k")), QStringLiteral("first"));
    doc.setValue(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("new"));
    EXPECT_EQ(doc.value(QStringLiteral("S"), QStringLiteral("k")), QStringLiteral("new"));
    EXPECT_EQ(doc.value(QStringLiteral("T"), QStringLiteral("k")), QStringLiteral("t"));
}

class IniFileOnDisk : public testing::Test
{
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("Tarvello.ini")); }
    QTemporaryDir m_dir;
};

TEST_F(IniFileOnDisk, valuesAreCutAtTheLimitAndAtTheFirstNul)
{
    writeBytes(path(), "[S]\r\nlong=" + QByteArray(600, 'x') + "\r\nnul=abc" + QByteArray(1, '\0') + "def\r\n");
    const IniFile settings(path(), 511);
    EXPECT_EQ(settings.ReadIniKey(QStringLiteral("S"), QStringLiteral("long"), {}).size(), 511);
    EXPECT_EQ(settings.ReadIniKey(QStringLiteral("S"), QStringLiteral("nul"), {}), QStringLiteral("abc"));
    const IniFile language(path(), 399);
    EXPECT_EQ(language.ReadIniKey(QStringLiteral("S"), QStringLiteral("long"), {}).size(), 399);
    EXPECT_EQ(settings.ReadIniKey(QStringLiteral("S"), QStringLiteral("absent"), QStringLiteral("def")),
              QStringLiteral("def"));
    EXPECT_EQ(IniFile(m_dir.filePath(QStringLiteral("none.ini")))
                  .ReadIniKey(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("d")),
              QStringLiteral("d"));
}

TEST_F(IniFileOnDisk, windows1252RoundTripsAndOtherTextSwitchesToUtf8)
{
    IniFile file(path());
    file.WriteIniKey(QStringLiteral("Langage"), QStringLiteral("Langage_LangueUtilisee"), QStringLiteral("Français"));
    QByteArray bytes = readBytes(path());
    EXPECT_TRUE(bytes.contains("Fran\xE7" "ais")) << "é and ç are single Windows-1252 bytes";
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(file.ReadIniKey(QStringLiteral("Langage"), QStringLiteral("Langage_LangueUtilisee"), {}),
              QStringLiteral("Français"));

    file.WriteIniKey(QStringLiteral("RegleRenommage"), QStringLiteral("RegleRenommage_Regle"), QStringLiteral("旅行_###"));
    bytes = readBytes(path());
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const IniFile again(path());
    EXPECT_EQ(again.ReadIniKey(QStringLiteral("RegleRenommage"), QStringLiteral("RegleRenommage_Regle"), {}),
              QStringLiteral("旅行_###"));
    EXPECT_EQ(again.ReadIniKey(QStringLiteral("Langage"), QStringLiteral("Langage_LangueUtilisee"), {}),
              QStringLiteral("Français"));
}

TEST_F(IniFileOnDisk, aBatchReplacesTheFileOnceAndLeavesNoTemporaryFile)
{
    writeBytes(path(), "; kept\r\n[S]\r\nold=1\r\n");
    IniFile file(path());
    file.beginBatch();
    for (int i = 0; i < 50; ++i)
        file.WriteIniKey(QStringLiteral("S"), QStringLiteral("k%1").arg(i), QString::number(i));
    file.DeleteIniKey(QStringLiteral("S"), QStringLiteral("old"));
    EXPECT_EQ(readBytes(path()), QByteArray("; kept\r\n[S]\r\nold=1\r\n")) << "nothing written before commit";
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(file.ReadIniKey(QStringLiteral("S"), QStringLiteral("k49"), {}), QStringLiteral("49"));
    EXPECT_EQ(file.ReadIniKey(QStringLiteral("S"), QStringLiteral("old"), QStringLiteral("gone")),
              QStringLiteral("gone"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Tarvello.ini")});
}

TEST_F(IniFileOnDisk, seesChangesMadeByOthersAndFailsSilentlyWhereItCannotWrite)
{
    IniFile file(path());
    writeBytes(path(), "[S]\r\nk=1\r\n");
    EXPECT_EQ(file.ReadIniKey(QStringLiteral("S"), QStringLiteral("k"), {}), QStringLiteral("1"));
    writeBytes(path(), "[S]\r\nk=22\r\n");
    EXPECT_EQ(file.ReadIniKey(QStringLiteral("S"), QStringLiteral("k"), {}), QStringLiteral("22"));

    IniFile nowhere(m_dir.filePath(QStringLiteral("missing/folder/x.ini")));
    nowhere.WriteIniKey(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"));
    nowhere.beginBatch();
    EXPECT_FALSE(nowhere.commit());
}

TEST_F(IniFileOnDisk, binaryAndTruncatedFilesReadWithoutHarm)
{
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(char((i * 7919) % 256));
    writeBytes(path(), noise);
    IniFile file(path());
    EXPECT_EQ(file.ReadIniKey(QStringLiteral("General"), QStringLiteral("k"), QStringLiteral("d")),
              QStringLiteral("d"));
    writeBytes(path(), "[General]\r\nGeneral_Filtre=*.jp");
    EXPECT_EQ(file.ReadIniKey(QStringLiteral("General"), QStringLiteral("General_Filtre"), {}), QStringLiteral("*.jp"));
    writeBytes(path(), "[Gene");
    EXPECT_EQ(file.ReadIniKey(QStringLiteral("Gene"), QStringLiteral("x"), QStringLiteral("d")), QStringLiteral("d"));
}

} // namespace
