// Checks of the language files and pictures shipped in langages/: what the
// program parses from them, what translators and merges can break.

#include "app/SettingsFile.h"
#include "common/Cp1252.h"
#include "lang/Language.h"

#include <QFile>
#include <QRegularExpression>
#include <QMap>
#include <QSet>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
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
const QMap<int, int> kParameterCounts = {
    {5, 2},  {8, 1},  {11, 1}, {18, 1}, {19, 1}, {21, 1}, {31, 1},
    {32, 2}, {33, 2}, {52, 1}, {59, 2}, {77, 1}, {88, 1}, {96, 1},
};

// The token each Label8 element inserts into the rule: its caption up to " :".
// Elements 29 and 30 insert a directive to fill in, checked by its form.
const QStringList kTokens = {
    QStringLiteral("#"),     QStringLiteral("*"),     QStringLiteral("$A$"),   QStringLiteral("$M$"),
    QStringLiteral("$J$"),   QStringLiteral("$h$"),   QStringLiteral("$m$"),   QStringLiteral("$s$"),
    QStringLiteral("$D$"),   QStringLiteral("$d$"),   QStringLiteral("$T$"),   QStringLiteral("$R$"),
    QStringLiteral("$O$"),   QStringLiteral("$K$"),   QStringLiteral("$C$"),   QStringLiteral("$P$"),
    QStringLiteral("$dA$"),  QStringLiteral("$dM$"),  QStringLiteral("$dJ$"),  QStringLiteral("$dh$"),
    QStringLiteral("$dm$"),  QStringLiteral("$ds$"),  QStringLiteral("$N$"),   QStringLiteral("$DA$"),
    QStringLiteral("$DM$"),  QStringLiteral("$DJ$"),  QStringLiteral("$Dh$"),  QStringLiteral("$Dm$"),
    QStringLiteral("$Ds$"),  QString(),               QString(),               QStringLiteral("$MKDIR"),
    QStringLiteral("$t$"),
};

const QRegularExpression kReplaceByText(QStringLiteral("^\\$REPC/[^/$]+/[^/$]*\\$$"));
const QRegularExpression kReplaceByPosition(QStringLiteral("^\\$REPP/\\d*/\\d*/-?1/[^/$]*\\$$"));

const QStringList kButtonRoles = {
    QStringLiteral("oui"),          QStringLiteral("non"),          QStringLiteral("annuler"),
    QStringLiteral("modifier"),     QStringLiteral("aide"),         QStringLiteral("options"),
    QStringLiteral("about"),        QStringLiteral("manuel"),       QStringLiteral("quitter"),
    QStringLiteral("ajouter"),      QStringLiteral("tout_ajouter"), QStringLiteral("retirer"),
    QStringLiteral("tout_retirer"), QStringLiteral("actualiser"),   QStringLiteral("forum"),
    QStringLiteral("pressepapier"), QStringLiteral("verif_version"), QStringLiteral("dependance"),
};

// The characters the rule box refuses in a rule.
const QString kForbiddenInRule = QStringLiteral("/:?\"<>|\\");

QString lngPath(const ShippedLanguage &language)
{
    return kSourceFolder + QStringLiteral("/langages/") + QLatin1String(language.baseName) + QStringLiteral(".lng");
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A language file as its lines say, with everything the profile layer would
// silently pass over: repeated sections and keys, lines that are neither.
struct RawLanguageFile {
    QList<QString> sectionOrder;
    QMap<QString, QMap<QString, QString>> values; // section and key lower-cased
    QStringList faults;
};

RawLanguageFile parseRaw(const QString &text)
{
    RawLanguageFile raw;
    QString section;
    int lineNumber = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        ++lineNumber;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            section = trimmed.mid(1, trimmed.size() - 2).trimmed().toLower();
            if (raw.values.contains(section))
                raw.faults << QStringLiteral("line %1: section [%2] again").arg(lineNumber).arg(section);
            raw.sectionOrder << section;
            raw.values[section];
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? QString() : line.left(eq).trimmed().toLower();
        if (key.isEmpty() || section.isEmpty()) {
            raw.faults << QStringLiteral("line %1: not a key of a section: %2").arg(lineNumber).arg(line);
            continue;
        }
        if (raw.values[section].contains(key))
            raw.faults << QStringLiteral("line %1: key %2 again in [%3]").arg(lineNumber).arg(key, section);
        else
            raw.values[section].insert(key, line.mid(eq + 1).trimmed());
    }
    return raw;
}

bool isWindowSection(const QString &section)
{
    return section != QLatin1String("language") && section != QLatin1String("author") && section != QLatin1String("msg")
        && section != QLatin1String("extra");
}

// What a GIF file's structure says; valid only when every block up to the
// trailer is where it should be.
struct GifFacts {
    bool valid = false;
    int width = 0;
    int height = 0;
    int frames = 0;
    bool transparent = false;
};

GifFacts inspectGif(const QByteArray &data)
{
    GifFacts facts;
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(data.at(i)); };
    if (data.size() < 13 || !(data.startsWith("GIF87a") || data.startsWith("GIF89a")))
        return facts;
    facts.width = byte(6) | byte(7) << 8;
    facts.height = byte(8) | byte(9) << 8;
    qsizetype pos = 13;
    if (byte(10) & 0x80)
        pos += 3 * (qsizetype(2) << (byte(10) & 7));
    // Skips data sub-blocks; false when the file ends inside them.
    const auto skipSubBlocks = [&]() {
        while (pos < data.size()) {
            const int size = byte(pos++);
            if (size == 0)
                return true;
            pos += size;
        }
        return false;
    };
    while (pos < data.size()) {
        const unsigned char introducer = byte(pos++);
        if (introducer == 0x3B) {
            facts.valid = facts.frames > 0 && pos == data.size();
            return facts;
        }
        if (introducer == 0x21 && pos + 1 < data.size()) {
            const unsigned char label = byte(pos++);
            if (label == 0xF9 && pos + 1 < data.size() && byte(pos) == 4 && (byte(pos + 1) & 1))
                facts.transparent = true;
            if (!skipSubBlocks())
                return facts;
        } else if (introducer == 0x2C && pos + 9 < data.size()) {
            const int left = byte(pos) | byte(pos + 1) << 8;
            const int top = byte(pos + 2) | byte(pos + 3) << 8;
            const int w = byte(pos + 4) | byte(pos + 5) << 8;
            const int h = byte(pos + 6) | byte(pos + 7) << 8;
            if (left + w > facts.width || top + h > facts.height)
                return facts;
            const unsigned char packed = byte(pos + 8);
            pos += 9;
            if (packed & 0x80)
                pos += 3 * (qsizetype(2) << (packed & 7));
            ++pos; // LZW minimum code size
            if (!skipSubBlocks())
                return facts;
            ++facts.frames;
        } else {
            return facts;
        }
    }
    return facts;
}

// The mnemonic letter of a caption ("&&" is a literal ampersand).
std::optional<QChar> mnemonicOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return caption.at(i + 1).toUpper();
    }
    return std::nullopt;
}

class ShippedLanguageFile : public ::testing::TestWithParam<ShippedLanguage>
{
protected:
    void SetUp() override
    {
        m_bytes = readBytes(lngPath(GetParam()));
        ASSERT_FALSE(m_bytes.isEmpty()) << qPrintable(lngPath(GetParam()));
        m_raw = parseRaw(tarvello::common::decodeCp1252(m_bytes));
        m_language.setProgramFolder(kSourceFolder);
        m_language.setLanguage(QString::fromUtf8(GetParam().displayName));
    }

    QString rawMessage(int number) const
    {
        return m_raw.values.value(QStringLiteral("msg")).value(QStringLiteral("m%1").arg(number));
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
    const bool nonAscii = std::any_of(m_bytes.begin(), m_bytes.end(), [](char c) { return uchar(c) >= 0x80; });
    if (nonAscii) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        // The decoder works when its result is turned into text.
        const QString decoded = utf8.decode(m_bytes);
        EXPECT_TRUE(utf8.hasError()) << "the file reads as UTF-8: it was saved in the wrong encoding";
    }
    EXPECT_EQ(m_bytes.count('\n'), m_bytes.count("\r\n")) << "every line must end with \\r\\n";
    EXPECT_EQ(m_bytes.count('\r'), m_bytes.count("\r\n"));

    EXPECT_TRUE(m_language.fileExists());
    EXPECT_EQ(m_language.ReadLangKey(QStringLiteral("LANGUAGE"), QStringLiteral("language"), QString()),
              QString::fromUtf8(GetParam().displayName));
    const auto entries = m_language.availableLanguages();
    const bool listed = std::any_of(entries.begin(), entries.end(), [](const tarvello::lang::LanguageEntry &e) {
        return e.displayName == QString::fromUtf8(GetParam().displayName)
            && e.baseName == QLatin1String(GetParam().baseName);
    });
    EXPECT_TRUE(listed) << "the options dialog would not offer this language under its name";
}

TEST_P(ShippedLanguageFile, EveryLineIsASectionOrAKeyAndNothingRepeats)
{
    EXPECT_TRUE(m_raw.faults.isEmpty()) << qPrintable(m_raw.faults.join(QLatin1Char('\n')));
    for (const QString &section : {QStringLiteral("language"), QStringLiteral("author"), QStringLiteral("msg"),
                                   QStringLiteral("extra"), QStringLiteral("frmmain")})
        EXPECT_TRUE(m_raw.values.contains(section)) << qPrintable(section);
    for (const QString &key : {QStringLiteral("name"), QStringLiteral("sitemsg"), QStringLiteral("site"),
                               QStringLiteral("email")})
        EXPECT_FALSE(m_raw.values.value(QStringLiteral("author")).value(key).isEmpty()) << qPrintable(key);
}

TEST_P(ShippedLanguageFile, EveryValueFitsTheReadBuffer)
{
    for (auto section = m_raw.values.cbegin(); section != m_raw.values.cend(); ++section) {
        for (auto key = section->cbegin(); key != section->cend(); ++key)
            EXPECT_LE(key->size(), Language::kValueLimit) << qPrintable(section.key() + QLatin1Char('/') + key.key());
    }
}

TEST_P(ShippedLanguageFile, UsedMessagesArePresentWithTheirParameters)
{
    for (int n = 1; n <= 99; ++n) {
        SCOPED_TRACE(QStringLiteral("m%1").arg(n).toStdString());
        const QString raw = rawMessage(n);
        if (kUnusedMessages.contains(n)) {
            EXPECT_TRUE(raw.isEmpty());
            continue;
        }
        EXPECT_FALSE(m_language.GetMessage(n, QStringLiteral("1"), QStringLiteral("2")).isEmpty());
        EXPECT_EQ(raw.count(QStringLiteral("%s")), kParameterCounts.value(n, 0)) << qPrintable(raw);
    }
}

TEST_P(ShippedLanguageFile, MessagesJoinedToTheNextOneEndWithASpace)
{
    // The program writes these straight before the message that follows them.
    for (const int n : {32, 62, 68}) {
        const QString text = m_language.GetMessage(n, QStringLiteral("3"), QStringLiteral("999"));
        ASSERT_FALSE(text.isEmpty()) << n;
        EXPECT_TRUE(text.back().isSpace()) << "m" << n << ": " << qPrintable(text);
    }
}

TEST_P(ShippedLanguageFile, ThumbnailSizesParseAndGrow)
{
    float lastWidth = 0;
    float lastHeight = 0;
    for (int n = 46; n <= 48; ++n) {
        const auto size = tarvello::app::parseThumbnailSize(m_language.GetMessage(n));
        ASSERT_TRUE(size.has_value()) << "m" << n << " holds no (width x height)";
        EXPECT_GT(size->width, lastWidth) << n;
        EXPECT_GT(size->height, lastHeight) << n;
        lastWidth = size->width;
        lastHeight = size->height;
    }
}

TEST_P(ShippedLanguageFile, TextsTheProgramComparesOrSplitsStayDistinct)
{
    // The comment caption is split at its parentheses.
    for (const int n : {16, 93, 95}) {
        const QString text = m_language.GetMessage(n);
        EXPECT_FALSE(text.contains(QLatin1Char('(')) || text.contains(QLatin1Char(')'))) << n << qPrintable(text);
    }
    // The default rule must pass the rule check at the first start.
    const QString rule = m_language.GetMessage(16);
    for (const QChar c : kForbiddenInRule)
        EXPECT_FALSE(rule.contains(c)) << qPrintable(rule);
    EXPECT_EQ(rule.count(QLatin1Char('$')) % 2, 0) << qPrintable(rule);

    // Entries showing these instead of a new name are dropped by the rename: no
    // rule may compute them, so each holds a character the rule box refuses.
    const QString forbiddenFile = m_language.GetMessage(91);
    const QString outsideFilter = m_language.GetMessage(97);
    EXPECT_NE(forbiddenFile, outsideFilter);
    for (const QString &marker : {forbiddenFile, outsideFilter}) {
        const bool refused = std::any_of(marker.begin(), marker.end(),
                                         [](QChar c) { return kForbiddenInRule.contains(c); });
        EXPECT_TRUE(refused) << qPrintable(marker);
    }

    // The Exif tool chooser finds the choice back from the entry's text.
    QSet<QString> toolNames;
    for (const int n : {74, 75, 76, 78})
        toolNames.insert(m_language.GetMessage(n));
    EXPECT_EQ(toolNames.size(), 4);

    QSet<QString> tipTopics;
    for (int i = 0; i < 6; ++i)
        tipTopics.insert(m_language.extra(QStringLiteral("TipTopic%1").arg(i)));
    tipTopics.remove(QString());
    EXPECT_EQ(tipTopics.size(), 6) << "the tip list stores the chosen topic by its text";
}

TEST_P(ShippedLanguageFile, TokenLabelsInsertTheirToken)
{
    for (int i = 0; i < kTokens.size(); ++i) {
        const QString caption = m_language.ReadLangKey(QStringLiteral("frmMain"),
                                                       QStringLiteral("Label8(%1).Caption").arg(i), QString());
        const qsizetype colon = caption.indexOf(QStringLiteral(" :"));
        ASSERT_GT(colon, 0) << "Label8(" << i << ") has no \" :\" after its token: " << qPrintable(caption);
        const QString token = caption.left(colon);
        if (i == 29)
            EXPECT_TRUE(kReplaceByText.match(token).hasMatch()) << qPrintable(token);
        else if (i == 30)
            EXPECT_TRUE(kReplaceByPosition.match(token).hasMatch()) << qPrintable(token);
        else
            EXPECT_EQ(token, kTokens.at(i)) << "Label8(" << i << ")";
    }
}

TEST_P(ShippedLanguageFile, MnemonicsAreUniqueInEachWindow)
{
    for (auto section = m_raw.values.cbegin(); section != m_raw.values.cend(); ++section) {
        if (!isWindowSection(section.key()))
            continue;
        QMap<QChar, QString> owners;
        for (auto key = section->cbegin(); key != section->cend(); ++key) {
            if (!key.key().endsWith(QLatin1String(".caption")))
                continue;
            const auto letter = mnemonicOf(key.value());
            if (!letter)
                continue;
            EXPECT_FALSE(owners.contains(*letter))
                << qPrintable(section.key()) << ": Alt+" << qPrintable(QString(*letter)) << " for both "
                << qPrintable(owners.value(*letter)) << " and " << qPrintable(key.key());
            owners.insert(*letter, key.key());
        }
    }
}

TEST_P(ShippedLanguageFile, StandByPicturesAreInTheLanguageFolder)
{
    for (const QString &name : {QStringLiteral("non_image.gif"), QStringLiteral("non_image2.gif")}) {
        const QString path = m_language.languageFolder() + QLatin1Char('/') + name;
        const GifFacts gif = inspectGif(readBytes(path));
        EXPECT_TRUE(gif.valid) << qPrintable(path);
        EXPECT_EQ(gif.width, 161) << qPrintable(path);
        EXPECT_EQ(gif.height, 121) << qPrintable(path);
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedLanguageFile, ::testing::ValuesIn(kShipped));

TEST(LanguageFiles, TranslationsHaveTheSameKeysAndSizes)
{
    const RawLanguageFile french = parseRaw(tarvello::common::decodeCp1252(readBytes(lngPath(kShipped[0]))));
    const RawLanguageFile english = parseRaw(tarvello::common::decodeCp1252(readBytes(lngPath(kShipped[1]))));
    QStringList frenchSections = french.values.keys();
    QStringList englishSections = english.values.keys();
    EXPECT_EQ(frenchSections, englishSections);
    for (const QString &section : frenchSections) {
        if (section == QLatin1String("language") || section == QLatin1String("author"))
            continue;
        const auto frenchKeys = QSet<QString>(french.values.value(section).keyBegin(),
                                              french.values.value(section).keyEnd());
        const auto englishKeys = QSet<QString>(english.values.value(section).keyBegin(),
                                               english.values.value(section).keyEnd());
        const QStringList onlyFrench = QSet<QString>(frenchKeys).subtract(englishKeys).values();
        const QStringList onlyEnglish = QSet<QString>(englishKeys).subtract(frenchKeys).values();
        EXPECT_TRUE(onlyFrench.isEmpty()) << qPrintable(section) << " only in French: "
                                          << qPrintable(onlyFrench.join(QStringLiteral(", ")));
        EXPECT_TRUE(onlyEnglish.isEmpty()) << qPrintable(section) << " only in English: "
                                           << qPrintable(onlyEnglish.join(QStringLiteral(", ")));
    }

    // The thumbnails keep their size when the user changes the language.
    Language language(kSourceFolder);
    QList<tarvello::app::ThumbnailSize> sizes[2];
    for (int l = 0; l < 2; ++l) {
        language.setLanguage(QString::fromUtf8(kShipped[l].displayName));
        for (int n = 46; n <= 48; ++n)
            sizes[l] << tarvello::app::parseThumbnailSize(language.GetMessage(n)).value_or(tarvello::app::ThumbnailSize{});
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sizes[0][i].width, sizes[1][i].width) << 46 + i;
        EXPECT_EQ(sizes[0][i].height, sizes[1][i].height) << 46 + i;
    }
}

TEST(LanguageFiles, EveryButtonRoleHasItsImageAndHoverImage)
{
    const Language language(kSourceFolder);
    for (const QString &role : kButtonRoles) {
        for (const QString &name : {role, role + QStringLiteral("_d")}) {
            const QString path = language.buttonImagePath(name);
            ASSERT_FALSE(path.isEmpty()) << "missing langages/common/" << qPrintable(name) << ".gif";
            const GifFacts gif = inspectGif(readBytes(path));
            EXPECT_TRUE(gif.valid) << qPrintable(path);
            EXPECT_EQ(gif.width, 24) << qPrintable(path);
            EXPECT_EQ(gif.height, 24) << qPrintable(path);
            EXPECT_TRUE(gif.transparent) << qPrintable(path) << " has no transparent background";
        }
    }
}

} // namespace
