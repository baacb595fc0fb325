// Checks of the language files shipped in langages/: what the program parses
// from them, what translators and merges can break.

#include "settings/SettingsFile.h"
#include "common/Cp1252.h"
#include "lang/Language.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

using tarvello::lang::Language;

namespace {

const QString kSourceFolder = QStringLiteral(TARVELLO_SOURCE_DIR);

struct ShippedLanguage {
    const char *displayName;
    const char *baseName;
};

void PrintTo(const ShippedLanguage &language, std::ostream *os) { *os << language.baseName; }

const ShippedLanguage kShipped[] = {{"Français", "Francais"}, {"English", "English"}};

// The characters the rule box refuses in a rule.
const QString kForbiddenInRule = QStringLiteral("/:?\"<>|\\");

// A language file as its lines say, with everything the profile layer would
// silently pass over: repeated sections and keys, lines that are neither.
struct RawLanguageFile {
    QMap<QString, QMap<QString, QString>> values; // section and key lower-cased
    QStringList faults;
};

QByteArray shippedBytes(const ShippedLanguage &language)
{
    QFile file(kSourceFolder + "/langages/" + language.baseName + ".lng");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

RawLanguageFile parseRaw(const QByteArray &bytes)
{
    RawLanguageFile raw;
    QString section;
    int lineNumber = 0;
    for (QString line : tarvello::common::decodeCp1252(bytes).split('\n')) {
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            section = trimmed.mid(1, trimmed.size() - 2).trimmed().toLower();
            if (raw.values.contains(section))
                raw.faults << QStringLiteral("line %1: section [%2] again").arg(lineNumber).arg(section);
            raw.values[section];
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        const QString key = eq < 0 ? QString() : line.left(eq).trimmed().toLower();
        if (key.isEmpty() || section.isEmpty())
            raw.faults << QStringLiteral("line %1: not a key of a section: %2").arg(lineNumber).arg(line);
        else if (raw.values[section].contains(key))
            raw.faults << QStringLiteral("line %1: key %2 again in [%3]").arg(lineNumber).arg(key, section);
        else
            raw.values[section].insert(key, line.mid(eq + 1).trimmed());
    }
    return raw;
}

// The mnemonic letter of a caption ("&&" is a literal ampersand).
std::optional<QChar> mnemonicOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != '&')
            continue;
        if (caption.at(i + 1) != '&')
            return caption.at(i + 1).toUpper();
        ++i;
    }
    return std::nullopt;
}

class ShippedLanguageFile : public ::testing::TestWithParam<ShippedLanguage>
{
protected:
    void SetUp() override
    {
        m_bytes = shippedBytes(GetParam());
        ASSERT_FALSE(m_bytes.isEmpty()) << GetParam().baseName;
        m_raw = parseRaw(m_bytes);
        m_language.setProgramFolder(kSourceFolder);
        m_language.setLanguage(QString::fromUtf8(GetParam().displayName));
    }

    QByteArray m_bytes;
    RawLanguageFile m_raw;
    Language m_language;
};

TEST_P(ShippedLanguageFile, IsWindows1252WithCrLfAndItsDisplayName)
{
    EXPECT_FALSE(m_bytes.startsWith("\xEF\xBB\xBF")) << "a byte-order mark makes the file UTF-8";
    for (const char undefined : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'})
        EXPECT_FALSE(m_bytes.contains(undefined)) << "byte undefined in Windows-1252: " << int(uchar(undefined));
    if (std::any_of(m_bytes.begin(), m_bytes.end(), [](char c) { return uchar(c) >= 0x80; })) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        // The decoder works when its result is turned into text.
        const QString decoded = utf8.decode(m_bytes);
        EXPECT_TRUE(utf8.hasError()) << "the file reads as UTF-8: it was saved in the wrong encoding";
    }
    EXPECT_EQ(m_bytes.count('\n'), m_bytes.count("\r\n")) << "every line must end with \\r\\n";
    EXPECT_EQ(m_bytes.count('\r'), m_bytes.count("\r\n"));

    EXPECT_TRUE(m_language.fileExists());
    EXPECT_EQ(m_language.ReadLangKey("LANGUAGE", "language", {}), QString::fromUtf8(GetParam().displayName));
    const auto entries = m_language.availableLanguages();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const tarvello::lang::LanguageEntry &e) {
        return e.displayName == QString::fromUtf8(GetParam().displayName) && e.baseName == GetParam().baseName;
    })) << "the options dialog would not offer this language under its name";
}

TEST_P(ShippedLanguageFile, EveryLineIsASectionOrAKeyThatFitsAndNothingRepeats)
{
    EXPECT_TRUE(m_raw.faults.isEmpty()) << qPrintable(m_raw.faults.join('\n'));
    for (const char *section : {"language", "author", "msg", "extra", "frmmain"})
        EXPECT_TRUE(m_raw.values.contains(section)) << section;
    for (const char *key : {"name", "sitemsg", "site", "email"})
        EXPECT_FALSE(m_raw.values.value("author").value(key).isEmpty()) << key;
    for (auto section = m_raw.values.cbegin(); section != m_raw.values.cend(); ++section) {
        for (auto key = section->cbegin(); key != section->cend(); ++key)
            EXPECT_LE(key->size(), Language::kValueLimit) << qPrintable(section.key() + '/' + key.key());
    }
}

TEST_P(ShippedLanguageFile, MessagesTheProgramJoinsOrParses)
{
    // The program writes these straight before the message that follows them.
    for (const int n : {32, 62, 68}) {
        const QString text = m_language.GetMessage(n, "3", "999");
        EXPECT_TRUE(!text.isEmpty() && text.back().isSpace()) << "m" << n << ": " << qPrintable(text);
    }
    // Thumbnail sizes grow from message 46 to 48.
    tarvello::settings::ThumbnailSize last{0, 0};
    for (int n = 46; n <= 48; ++n) {
        const auto size = tarvello::settings::parseThumbnailSize(m_language.GetMessage(n));
        ASSERT_TRUE(size.has_value()) << "m" << n << " holds no (width x height)";
        EXPECT_TRUE(size->width > last.width && size->height > last.height) << n;
        last = *size;
    }
}

TEST_P(ShippedLanguageFile, TextsTheProgramComparesOrSplitsStayDistinct)
{
    // The comment caption is split at its parentheses.
    for (const int n : {16, 93, 95})
        EXPECT_FALSE(m_language.GetMessage(n).contains(QRegularExpression("[()]"))) << n;
    // The default rule must pass the rule check at the first start.
    const QString rule = m_language.GetMessage(16);
    for (const QChar c : kForbiddenInRule)
        EXPECT_FALSE(rule.contains(c)) << qPrintable(rule);
    EXPECT_EQ(rule.count('$') % 2, 0) << qPrintable(rule);

    // Entries showing these instead of a new name are dropped by the rename: no
    // rule may compute them, so each holds a character the rule box refuses.
    const QString forbiddenFile = m_language.GetMessage(91);
    const QString outsideFilter = m_language.GetMessage(97);
    EXPECT_NE(forbiddenFile, outsideFilter);
    for (const QString &marker : {forbiddenFile, outsideFilter}) {
        EXPECT_TRUE(std::any_of(marker.begin(), marker.end(), [](QChar c) { return kForbiddenInRule.contains(c); }))
            << qPrintable(marker);
    }

    // The Exif tool chooser finds the choice back from the entry's text, the
    // tip list the chosen topic.
    QSet<QString> toolNames;
    for (const int n : {74, 75, 76, 78})
        toolNames.insert(m_language.GetMessage(n));
    EXPECT_EQ(toolNames.size(), 4);
    QSet<QString> tipTopics;
    for (int i = 0; i < 6; ++i)
        tipTopics.insert(m_language.extra(QStringLiteral("TipTopic%1").arg(i)));
    tipTopics.remove(QString());
    EXPECT_EQ(tipTopics.size(), 6);
}

TEST_P(ShippedLanguageFile, MnemonicsAreUniqueInEachWindow)
{
    for (auto section = m_raw.values.cbegin(); section != m_raw.values.cend(); ++section) {
        if (QStringList{"language", "author", "msg", "extra"}.contains(section.key()))
            continue;
        QMap<QChar, QString> owners;
        for (auto key = section->cbegin(); key != section->cend(); ++key) {
            const auto letter = key.key().endsWith(".caption") ? mnemonicOf(key.value()) : std::nullopt;
            if (!letter)
                continue;
            EXPECT_FALSE(owners.contains(*letter))
                << qPrintable(section.key()) << ": Alt+" << qPrintable(QString(*letter)) << " for both "
                << qPrintable(owners.value(*letter)) << " and " << qPrintable(key.key());
            owners.insert(*letter, key.key());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedLanguageFile, ::testing::ValuesIn(kShipped));

TEST(LanguageFiles, TranslationsHaveTheSameKeysAndSizes)
{
    const RawLanguageFile french = parseRaw(shippedBytes(kShipped[0]));
    const RawLanguageFile english = parseRaw(shippedBytes(kShipped[1]));
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

    // A translation fills as many parameters as the original, and a token
    // label inserts the same token (the caption up to " :"; the directives'
    // examples are translated).
    const auto tokenOf = [](const QString &caption) { return caption.left(caption.indexOf(" :")); };
    for (auto key = french.values.value("msg").cbegin(); key != french.values.value("msg").cend(); ++key)
        EXPECT_EQ(key->count("%s"), english.values.value("msg").value(key.key()).count("%s")) << qPrintable(key.key());
    for (auto key = french.values.value("frmmain").cbegin(); key != french.values.value("frmmain").cend(); ++key) {
        if (key.key().startsWith("label8(") && !key->startsWith("$REP")) {
            EXPECT_EQ(tokenOf(*key), tokenOf(english.values.value("frmmain").value(key.key()))) << qPrintable(key.key());
        }
    }

    // The thumbnails keep their size when the user changes the language.
    Language language(kSourceFolder);
    for (int n = 46; n <= 48; ++n) {
        language.setLanguage(QString::fromUtf8(kShipped[0].displayName));
        const auto frenchSize = tarvello::settings::parseThumbnailSize(language.GetMessage(n));
        language.setLanguage(QString::fromUtf8(kShipped[1].displayName));
        const auto englishSize = tarvello::settings::parseThumbnailSize(language.GetMessage(n));
        ASSERT_TRUE(frenchSize && englishSize) << n;
        EXPECT_TRUE(frenchSize->width == englishSize->width && frenchSize->height == englishSize->height) << n;
    }
}

} // namespace
