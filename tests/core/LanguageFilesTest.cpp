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

// Numbers 1 to 99 that no part of the program reads.
const QSet<int> kUnusedMessages = {17, 23, 39, 40, 42, 43, 49, 50, 94, 98};

// Messages that take parameters, with the number of "%s" the caller fills;
// every other message must have none, or its "%s" would show up empty.
const QMap<int, int> kParameterCounts = {{5, 2},  {8, 1},  {11, 1}, {18, 1}, {19, 1}, {21, 1}, {31, 1},
                                         {32, 2}, {33, 2}, {52, 1}, {59, 2}, {77, 1}, {88, 1}, {96, 1}};

// The token each Label8 element inserts into the rule: its caption up to " :".
// Elements 29 and 30 ("-" here) insert a directive to fill in, checked by its form.
const QStringList kTokens = QStringLiteral("# * $A$ $M$ $J$ $h$ $m$ $s$ $D$ $d$ $T$ $R$ $O$ $K$ $C$ $P$ $dA$ $dM$ $dJ$ "
                                           "$dh$ $dm$ $ds$ $N$ $DA$ $DM$ $DJ$ $Dh$ $Dm$ $Ds$ - - $MKDIR $t$")
                                .split(QLatin1Char(' '));
const QRegularExpression kDirectiveForms[] = {QRegularExpression("^\\$REPC/[^/$]+/[^/$]*\\$$"),
                                              QRegularExpression("^\\$REPP/\\d*/\\d*/-?1/[^/$]*\\$$")};

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

TEST_P(ShippedLanguageFile, UsedMessagesArePresentWithTheirParameters)
{
    for (int n = 1; n <= 99; ++n) {
        SCOPED_TRACE(n);
        const QString raw = m_raw.values.value("msg").value(QStringLiteral("m%1").arg(n));
        if (kUnusedMessages.contains(n)) {
            EXPECT_TRUE(raw.isEmpty());
            continue;
        }
        EXPECT_FALSE(m_language.GetMessage(n, "1", "2").isEmpty());
        EXPECT_EQ(raw.count("%s"), kParameterCounts.value(n, 0)) << qPrintable(raw);
    }
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

TEST_P(ShippedLanguageFile, TokenLabelsInsertTheirToken)
{
    for (int i = 0; i < kTokens.size(); ++i) {
        const QString caption = m_language.ReadLangKey("frmMain", QStringLiteral("Label8(%1).Caption").arg(i), {});
        const qsizetype colon = caption.indexOf(" :");
        ASSERT_GT(colon, 0) << "Label8(" << i << ") has no \" :\" after its token: " << qPrintable(caption);
        const QString token = caption.left(colon);
        if (i == 29 || i == 30)
            EXPECT_TRUE(kDirectiveForms[i - 29].match(token).hasMatch()) << qPrintable(token);
        else
            EXPECT_EQ(token, kTokens.at(i)) << "Label8(" << i << ")";
    }
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
