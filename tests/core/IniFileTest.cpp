#include "ini/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using tarvello::ini::IniDocument;
using tarvello::ini::IniFile;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Lines put between "[General]" and "[Other]", and the value of "key" they
// give (nullptr: absent).
TEST(IniDocument, valuesReadLikeTheProfileFunctions)
{
    const std::pair<const char *, const char *> cases[] = {
        {"key=value", "value"}, {"  Key =  value  ", "value"}, {"key=\"quoted value\"", "quoted value"},
        {"key=\"\"inner\"\"", "\"inner\""}, {"key=\"", "\""}, {"key=a=b", "a=b"}, {"key=", ""},
        {"key\tvalue", nullptr}, {";key=comment", nullptr}, {"other=1", nullptr}, {"key=é ü", "é ü"},
        // The first key and the first section of a name win.
        {"key=first\r\nkey=second", "first"}, {"x=1\r\n[Other]\r\n[General]\r\nkey=second section", nullptr}};
    for (const auto &[lines, expected] : cases) {
        const IniDocument doc = IniDocument::fromText("[General]\r\n" + QString(lines) + "\r\n[Other]\r\nkey=other\r\n");
        EXPECT_EQ(doc.value("general", "KEY"), expected ? std::optional<QString>(expected) : std::nullopt) << lines;
    }
}

TEST(IniDocumentEdit, rewritesInPlaceAndKeepsEverythingElse)
{
    IniDocument doc = IniDocument::fromText("; made by hand\r\n[General]\r\nA=1\r\n; keep me\r\nUnknown=x\r\n\r\n"
                                            "[Option]\r\nB=2\r\n[S]\r\nk=first\r\nk=second\r\n[S]\r\nk=third\r\n");
    doc.setValue("GENERAL", "a", "10");
    doc.setValue("General", "C", "3");
    doc.setValue("New", "D", "4");
    doc.setValue("S", "k", "new");
    doc.remove("Option", "B");
    doc.remove("Option", "absent");
    EXPECT_EQ(doc.toText(), "; made by hand\r\n[General]\r\na=10\r\n; keep me\r\nUnknown=x\r\nC=3\r\n\r\n"
                            "[Option]\r\n[S]\r\nk=new\r\nk=second\r\n[S]\r\nk=third\r\n\r\n[New]\r\nD=4\r\n");
}

TEST(IniDocumentEdit, aRemovedKeyUncoversItsNextLineAndLineNumbersFollowTheEdits)
{
    IniDocument doc = IniDocument::fromText("[S]\r\nk=1\r\nK=2\r\n\r\n; note\r\n\r\n[T]\r\nx=1\r\n");
    doc.remove("S", "k");
    EXPECT_EQ(doc.value("S", "k"), "2");
    EXPECT_EQ(doc.lineOf("s", "K"), 2);
    EXPECT_EQ(doc.lineOf("T", "x"), 7);
    doc.remove("S", "k");
    EXPECT_EQ(doc.value("S", "k"), std::nullopt);
    EXPECT_EQ(doc.lineOf("S", "k"), 0);
    doc.setValue("S", "n", "3");
    doc.setValue("S", "k", "4");
    EXPECT_EQ(doc.toText(), "[S]\r\n\r\n; note\r\nn=3\r\nk=4\r\n\r\n[T]\r\nx=1\r\n");
    EXPECT_EQ(doc.lineOf("S", "k"), 5);
    EXPECT_EQ(doc.lineOf("T", "x"), 8);
    EXPECT_EQ(doc.lineOf("U", "x"), 0);
}

TEST(IniDocumentEdit, keepsTheLineEndsItWasWrittenWith)
{
    IniDocument unixDoc = IniDocument::fromText("[S]\nk=v\n");
    unixDoc.setValue("S", "n", "w");
    EXPECT_EQ(unixDoc.toText(), "[S]\nk=v\nn=w\n");
    IniDocument fresh;
    fresh.setValue("S", "k", "v");
    EXPECT_EQ(fresh.toText(), "[S]\r\nk=v\r\n");
    EXPECT_EQ(IniDocument::fromText("[S]\nk=v").value("S", "k"), "v");
}

class IniFileOnDisk : public testing::Test
{
protected:
    QString path() const { return m_dir.filePath("Tarvello.ini"); }
    QTemporaryDir m_dir;
};

TEST_F(IniFileOnDisk, valuesAreCutAtTheLimitAndAtTheFirstNul)
{
    writeBytes(path(), "[S]\r\nlong=" + QByteArray(600, 'x') + "\r\nnul=abc" + QByteArray(1, '\0') + "def\r\n");
    const IniFile settings(path(), 511);
    EXPECT_EQ(settings.ReadIniKey("S", "long", {}).size(), 511);
    EXPECT_EQ(settings.ReadIniKey("S", "nul", {}), "abc");
    EXPECT_EQ(IniFile(path(), 399).ReadIniKey("S", "long", {}).size(), 399);
    EXPECT_EQ(settings.ReadIniKey("S", "absent", "def"), "def");
    EXPECT_EQ(IniFile(m_dir.filePath("none.ini")).ReadIniKey("S", "k", "d"), "d");
}

TEST_F(IniFileOnDisk, windows1252RoundTripsAndOtherTextSwitchesToUtf8)
{
    IniFile file(path());
    file.WriteIniKey("Langage", "Langage_LangueUtilisee", "Français");
    QByteArray bytes = readBytes(path());
    EXPECT_TRUE(bytes.contains("Fran\xE7" "ais")) << "é and ç are single Windows-1252 bytes";
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(file.ReadIniKey("Langage", "Langage_LangueUtilisee", {}), "Français");

    file.WriteIniKey("RegleRenommage", "RegleRenommage_Regle", "旅行_###");
    EXPECT_TRUE(readBytes(path()).startsWith("\xEF\xBB\xBF"));
    const IniFile again(path());
    EXPECT_EQ(again.ReadIniKey("RegleRenommage", "RegleRenommage_Regle", {}), "旅行_###");
    EXPECT_EQ(again.ReadIniKey("Langage", "Langage_LangueUtilisee", {}), "Français");
}

TEST_F(IniFileOnDisk, aBatchReplacesTheFileOnceAndLeavesNoTemporaryFile)
{
    writeBytes(path(), "; kept\r\n[S]\r\nold=1\r\n");
    IniFile file(path());
    file.beginBatch();
    for (int i = 0; i < 50; ++i)
        file.WriteIniKey("S", QStringLiteral("k%1").arg(i), QString::number(i));
    file.DeleteIniKey("S", "old");
    EXPECT_EQ(readBytes(path()), QByteArray("; kept\r\n[S]\r\nold=1\r\n")) << "nothing written before commit";
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(file.ReadIniKey("S", "k49", {}), "49");
    EXPECT_EQ(file.ReadIniKey("S", "old", "gone"), "gone");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"Tarvello.ini"});
}

TEST_F(IniFileOnDisk, seesChangesMadeByOthersAndFailsSilentlyWhereItCannotWrite)
{
    IniFile file(path());
    writeBytes(path(), "[S]\r\nk=1\r\n");
    EXPECT_EQ(file.ReadIniKey("S", "k", {}), "1");
    writeBytes(path(), "[S]\r\nk=22\r\n");
    EXPECT_EQ(file.ReadIniKey("S", "k", {}), "22");

    IniFile nowhere(m_dir.filePath("missing/folder/x.ini"));
    nowhere.WriteIniKey("S", "k", "v");
    nowhere.beginBatch();
    EXPECT_FALSE(nowhere.commit());
}

TEST_F(IniFileOnDisk, binaryAndTruncatedFilesReadWithoutHarm)
{
    QByteArray noise(4096, 0);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) % 256);
    writeBytes(path(), noise);
    IniFile file(path());
    EXPECT_EQ(file.ReadIniKey("General", "k", "d"), "d");
    writeBytes(path(), "[General]\r\nGeneral_Filtre=*.jp");
    EXPECT_EQ(file.ReadIniKey("General", "General_Filtre", {}), "*.jp");
    writeBytes(path(), "[Gene");
    EXPECT_EQ(file.ReadIniKey("Gene", "x", "d"), "d");
}

} // namespace
