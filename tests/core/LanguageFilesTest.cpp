// Checks of the language files shipped in langages/: what the program parses
// from them, what translators and merges can break.

#include "settings/SettingsFile.h"
#include "common/Cp1252.h"
#include "lang/Language.h"
#include "rules/RuleCheck.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <algorithm>

using tarvello::lang::Language;

namespace {

const QString kSourceFolder = TARVELLO_SOURCE_DIR;

// A language file as its lines say, with everything the profile layer would
// silently pass over: repeated sections and keys, lines that are neither.
struct RawLanguageFile {
    QByteArray bytes;
    QMap<QString, QMap<QString, QString>> values; // section and key lower-cased
    QStringList faults;
};

RawLanguageFile readRaw(const QString &baseName)
{
    RawLanguageFile raw;
    QFile file(kSourceFolder + "/langages/" + baseName + ".lng");
    if (file.open(QIODevice::ReadOnly))
        raw.bytes = file.readAll();
    QString section;
    int lineNumber = 0;
    for (QString line : tarvello::common::decodeCp1252(raw.bytes).split('\n')) {
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            section = trimmed.mid(1, trimmed.size() - 2).trimmed().toLower();
            if (raw.values.contains(section))
                raw.faults << QString("line %1: section [%2] again").arg(lineNumber).arg(section);
            raw.values[section];
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        const QString key = eq < 0 ? QString() : line.left(eq).trimmed().toLower();
        if (key.isEmpty() || section.isEmpty())
            raw.faults << QString("line %1: not a key of a section: %2").arg(lineNumber).arg(line);
        else if (raw.values[section].contains(key))
            raw.faults << QString("line %1: key %2 again in [%3]").arg(lineNumber).arg(key, section);
        else
            raw.values[section].insert(key, line.mid(eq + 1).trimmed());
    }
    return raw;
}

// The mnemonic letter of a caption ("&&" is a literal ampersand).
std::optional<QChar> mnemonicOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) == '&' && caption.at(++i) != '&')
            return caption.at(i).toUpper();
    }
    return std::nullopt;
}

class ShippedLanguageFile : public ::testing::TestWithParam<std::pair<const char *, const char *>>
{
protected:
    void SetUp() override
    {
        m_raw = readRaw(baseName());
        ASSERT_FALSE(m_raw.bytes.isEmpty()) << baseName().toStdString();
        m_language.setProgramFolder(kSourceFolder);
        m_language.setLanguage(displayName());
    }

    QString displayName() const { return GetParam().first; }
    QString baseName() const { return GetParam().second; }

    RawLanguageFile m_raw;
    Language m_language;
};

TEST_P(ShippedLanguageFile, isWindows1252WithCrLfAndEveryLineASectionOrAKeyThatFitsOnce)
{
    const QByteArray &bytes = m_raw.bytes;
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF")) << "a byte-order mark makes the file UTF-8";
    for (const char undefined : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'})
        EXPECT_FALSE(bytes.contains(undefined)) << "byte undefined in Windows-1252: " << int(uchar(undefined));
    if (std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0x80; })) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        // The decoder works when its result is turned into text.
        const QString decoded = utf8.decode(bytes);
        EXPECT_TRUE(utf8.hasError()) << "the file reads as UTF-8: it was saved in the wrong encoding";
    }
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << "every line must end with \\r\\n";
    EXPECT_EQ(bytes.count('\r'), bytes.count("\r\n"));

    EXPECT_TRUE(m_raw.faults.isEmpty()) << qPrintable(m_raw.faults.join('\n'));
    for (const char *section : {"language", "author", "msg", "extra", "frmmain"})
        EXPECT_TRUE(m_raw.values.contains(section)) << section;
    for (const char *key : {"name", "sitemsg", "site", "email"})
        EXPECT_FALSE(m_raw.values.value("author").value(key).isEmpty()) << key;
    for (auto section = m_raw.values.cbegin(); section != m_raw.values.cend(); ++section) {
        for (auto key = section->cbegin(); key != section->cend(); ++key)
            EXPECT_LE(key->size(), Language::kValueLimit) << qPrintable(section.key() + '/' + key.key());
    }
    const auto entries = m_language.availableLanguages();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [this](const tarvello::lang::LanguageEntry &e) {
        return e.displayName == displayName() && e.baseName == baseName();
    })) << "the options dialog would not offer this language under its name";
}

TEST_P(ShippedLanguageFile, textsTheProgramJoinsParsesComparesOrSplits)
{
    // The program writes these straight before the message that follows them.
    for (const int n : {32, 62, 68}) {
        const QString text = m_language.GetMessage(n, "3", "999");
        EXPECT_TRUE(!text.isEmpty() && text.back().isSpace()) << "m" << n << ": " << qPrintable(text);
    }
    // Thumbnail sizes grow from message 46 to 48, and are the same in every
    // language, so that they stay when the user changes the language.
    Language french(kSourceFolder);
    french.setLanguage("Français");
    tarvello::settings::ThumbnailSize last{0, 0};
    for (int n = 46; n <= 48; ++n) {
        const auto size = tarvello::settings::parseThumbnailSize(m_language.GetMessage(n));
        const auto frenchSize = tarvello::settings::parseThumbnailSize(french.GetMessage(n));
        ASSERT_TRUE(size && frenchSize) << "m" << n << " holds no (width x height)";
        EXPECT_TRUE(size->width > last.width && size->height > last.height) << n;
        EXPECT_TRUE(size->width == frenchSize->width && size->height == frenchSize->height) << n;
        last = *size;
    }
    // The comment caption is split at its parentheses.
    for (const int n : {16, 93, 95})
        EXPECT_FALSE(m_language.GetMessage(n).contains(QRegularExpression("[()]"))) << n;
    // The default rule must pass the rule check at the first start.
    const QString rule = m_language.GetMessage(16);
    EXPECT_FALSE(tarvello::rules::ruleRefusal(rule).has_value()) << qPrintable(rule);
    EXPECT_EQ(rule.count('$') % 2, 0) << qPrintable(rule);
    // Entries showing these instead of a new name are dropped by the rename: no
    // rule may compute them, so each holds a character the rule box refuses.
    EXPECT_NE(m_language.GetMessage(91), m_language.GetMessage(97));
    for (const int n : {91, 97})
        EXPECT_TRUE(tarvello::rules::ruleRefusal(m_language.GetMessage(n)).has_value()) << n;
    // The Exif tool chooser finds the choice back from the entry's text, the
    // tip list the chosen topic.
    QSet<QString> toolNames;
    for (const int n : {74, 75, 76, 78})
        toolNames.insert(m_language.GetMessage(n));
    EXPECT_EQ(toolNames.size(), 4);
    QSet<QString> tipTopics;
    for (int i = 0; i < 6; ++i)
        tipTopics.insert(m_language.extra(QString("TipTopic%1").arg(i)));
    tipTopics.remove(QString());
    EXPECT_EQ(tipTopics.size(), 6);
}

TEST_P(ShippedLanguageFile, mnemonicsAreUniqueInEachWindow)
{
    for (auto section = m_raw.values.cbegin(); section != m_raw.values.cend(); ++section) {
        if (QStringList{"language", "author", "msg", "extra"}.contains(section.key()))
            continue;
        QMap<QChar, QString> owners;
        for (auto key = section->cbegin(); key != section->cend(); ++key) {
            const auto letter = key.key().endsWith(".caption") ? mnemonicOf(key.value()) : std::nullopt;
            if (!letter)
                continue;
            EXPECT_FALSE(owners.contains(*letter)) << qPrintable(section.key()) << ": Alt+" << qPrintable(QString(*letter))
                                                   << " for both " << qPrintable(owners.value(*letter)) << " and "
                                                   << qPrintable(key.key());
            owners.insert(*letter, key.key());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedLanguageFile,
                         ::testing::Values(std::pair{"Français", "Francais"}, std::pair{"English", "English"}),
                         [](const auto &info) { return std::string(info.param.second); });

// A translation has the same keys, fills as many parameters as the original,
// and a token label inserts the same token (the caption up to " :"; the
// directives' examples are translated).
TEST(LanguageFiles, translationsHaveTheSameKeysParametersAndTokens)
{
    const RawLanguageFile french = readRaw("Francais");
    const RawLanguageFile english = readRaw("English");
    EXPECT_EQ(french.values.keys(), english.values.keys());
    const auto keysOf = [](const RawLanguageFile &file, const QString &section) {
        const auto keys = file.values.value(section);
        return QSet<QString>(keys.keyBegin(), keys.keyEnd());
    };
    for (const QString &section : french.values.keys()) {
        if (section == "language" || section == "author")
            continue;
        const QSet<QString> frenchKeys = keysOf(french, section);
        const QSet<QString> englishKeys = keysOf(english, section);
        EXPECT_TRUE(frenchKeys == englishKeys)
            << qPrintable(section) << " only in French: " << qPrintable((frenchKeys - englishKeys).values().join(' '))
            << "; only in English: " << qPrintable((englishKeys - frenchKeys).values().join(' '));
    }
    const auto tokenOf = [](const QString &caption) { return caption.left(caption.indexOf(" :")); };
    for (auto key = french.values.value("msg").cbegin(); key != french.values.value("msg").cend(); ++key)
        EXPECT_EQ(key->count("%s"), english.values.value("msg").value(key.key()).count("%s")) << qPrintable(key.key());
    for (auto key = french.values.value("frmmain").cbegin(); key != french.values.value("frmmain").cend(); ++key) {
        if (key.key().startsWith("label8(") && !key->startsWith("$REP")) {
            EXPECT_EQ(tokenOf(*key), tokenOf(english.values.value("frmmain").value(key.key()))) << qPrintable(key.key());
        }
    }
}

} // namespace
