#include "common/Cp1252.h"
#include "dialogs/Credits.h"
#include "lang/Language.h"

#include "QtPrint.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <ostream>
#include <random>

using namespace tarvello;
using dialogs::CreditAlignment;
using dialogs::CreditLine;
using dialogs::CreditsScroll;

namespace tarvello::dialogs {

void PrintTo(const CreditLine &line, std::ostream *os)
{
    *os << '"' << line.text.toStdString() << "\" " << (line.bold ? "bold " : "") << (line.italic ? "italic " : "")
        << line.size << "pt align " << int(line.alignment) << (line.pause ? " pause" : "")
        << (line.sameRow ? " same-row" : "");
}

} // namespace tarvello::dialogs

namespace {

enum Flag { Plain = 0, Bold = 1, Italic = 2, Pause = 4, SameRow = 8 };

struct Expected {
    const char *text;
    int flags;
    int size;
    char alignment; // 'L', 'C' or 'R'
};

CreditLine lineOf(const Expected &e)
{
    CreditLine line;
    line.text = QString::fromUtf8(e.text);
    line.bold = e.flags & Bold;
    line.italic = e.flags & Italic;
    line.size = qint16(e.size);
    line.alignment = e.alignment == 'L' ? CreditAlignment::Left
        : e.alignment == 'R'             ? CreditAlignment::Right
                                         : CreditAlignment::Centre;
    line.pause = e.flags & Pause;
    line.sameRow = e.flags & SameRow;
    return line;
}

struct ParseCase {
    const char *name;
    const char *markup;
    std::vector<Expected> lines;
};

void PrintTo(const ParseCase &c, std::ostream *os)
{
    *os << c.name;
}

constexpr int BI = Bold | Italic;

const ParseCase kParseCases[] = {
    {"defaults before the first line", "Tarvello", {{"Tarvello", BI, 12, 'C'}}},
    {"the title line", "<F28><P><B>Tarvello\r\nsuite", {{"Tarvello", BI | Pause, 28, 'C'}, {"suite", BI, 28, 'C'}}},
    {"alignment carries until changed", "<AL>a\r\nb\r\n<AR>c\r\nd\r\n<AC>e",
     {{"a", BI, 12, 'L'}, {"b", BI, 12, 'L'}, {"c", BI, 12, 'R'}, {"d", BI, 12, 'R'}, {"e", BI, 12, 'C'}}},
    {"the first alignment kind decides, the other stays as text", "<AC><AR>x\r\n<AR>y<AL>",
     {{"<AR>x", BI, 12, 'C'}, {"<AR>y", BI, 12, 'L'}}},
    {"bold on wins over bold off and carries", "</B><B>a\r\nb\r\n</B>c\r\nd",
     {{"a", BI, 12, 'C'}, {"b", BI, 12, 'C'}, {"c", Italic, 12, 'C'}, {"d", Italic, 12, 'C'}}},
    {"pause and same row belong to their line", "<P>a\r\n<PL>b\r\nc\r\n<P><PL>d",
     {{"a", BI | Pause, 12, 'C'}, {"b", BI | SameRow, 12, 'C'}, {"c", BI, 12, 'C'}, {"d", BI | Pause | SameRow, 12, 'C'}}},
    {"only the first size tag is read", "<F12>a<F14>b", {{"a<F14>b", BI, 12, 'C'}}},
    {"five characters go whatever closes the tag", "<F14)Titre", {{"Titre", BI, 14, 'C'}}},
    {"a size cut short is text", "<F10>a\r\nb<F\r\nc<F1", {{"a", BI, 10, 'C'}, {"b<F", BI, 10, 'C'}, {"c<F1", BI, 10, 'C'}}},
    {"tags are upper case only", "<al><b></i><f10><p>x", {{"<al><b></i><f10><p>x", BI, 12, 'C'}}},
    {"only CR LF ends a line", "a\nb\rc\r\n", {{"a\nb\rc", BI, 12, 'C'}, {"", BI, 12, 'C'}}},
    {"a last empty line keeps what carries", "<AL></B><F10>a\r\n", {{"a", Italic, 10, 'L'}, {"", Italic, 10, 'L'}}},
};

class CreditsParse : public testing::TestWithParam<ParseCase>
{
};

TEST_P(CreditsParse, readsEachLinesLook)
{
    QList<CreditLine> expected;
    for (const Expected &e : GetParam().lines)
        expected.append(lineOf(e));
    const QList<CreditLine> lines = dialogs::parseCredits(QString::fromUtf8(GetParam().markup));
    ASSERT_EQ(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines.at(i), expected.at(i)) << "line " << i;
}

INSTANTIATE_TEST_SUITE_P(Markup, CreditsParse, testing::ValuesIn(kParseCases));

// Any mix of tag pieces and line ends gives one line per piece, sizes a font
// can have, and credits that scroll.
TEST(Credits, malformedMarkupNeverBreaksTheParserOrTheScroll)
{
    const QStringList pieces = {"<", ">", "/", "F", "P", "L", "B", "I", "A", "C", "R", "0", "9", "<F", "<F1",
                                "</", "<PL>", "<P>", "<B>", "</I>", "<AL>", "<AR>", "\r", "\n", "\r\n", "é", " "};
    std::mt19937 random(20261205);
    for (int round = 0; round < 300; ++round) {
        QString markup;
        const int length = int(random() % 400);
        for (int i = 0; i < length; ++i)
            markup += pieces.at(qsizetype(random() % pieces.size()));
        const QList<CreditLine> lines = dialogs::parseCredits(markup);
        ASSERT_EQ(lines.size(), markup.isEmpty() ? 0 : markup.count(QStringLiteral("\r\n")) + 1) << qPrintable(markup);
        for (const CreditLine &line : lines) {
            EXPECT_TRUE(line.size >= 1 && line.size <= 99) << qPrintable(markup);
            EXPECT_LE(line.text.size(), markup.size());
        }
        CreditsScroll scroll(lines, QSize(402, 186), [](const CreditLine &line) {
            return QSize(int(line.text.size()) * 7, line.size + 4);
        });
        for (int tick = 0; tick < 50; ++tick) {
            const auto frame = scroll.tick();
            ASSERT_EQ(frame.placements.size(), lines.size());
        }
    }
}

// Lines measured as 10 pixels a character, 20 pixels high.
QSize tenPerCharacter(const CreditLine &line)
{
    return QSize(int(line.text.size()) * 10, 20);
}

TEST(Credits, linesArePlacedByTheirAlignmentAndRow)
{
    const QList<CreditLine> lines = dialogs::parseCredits(
        QStringLiteral("<F28>Tarvello\r\n<AL><F12>jhead\r\n<PL><AR>Matthias Wandel\r\n<AC>x"));
    CreditsScroll scroll(lines, QSize(402, 186), tenPerCharacter);
    const auto first = scroll.tick();
    ASSERT_EQ(first.placements.size(), 4);
    const auto &title = first.placements.at(0);
    const auto &name = first.placements.at(1);
    const auto &role = first.placements.at(2);
    const auto &last = first.placements.at(3);
    // The credits start below the area, each row lower by its line's size and a gap.
    EXPECT_GE(title.y, 186);
    EXPECT_GT(name.y, title.y);
    EXPECT_EQ(role.y, name.y) << "a same-row line shares the row before it";
    EXPECT_GT(last.y, role.y);
    EXPECT_EQ(name.x, 5);
    EXPECT_EQ(role.x + 15 * 10 + 5, 402) << "right-aligned with the same margin";
    EXPECT_EQ(title.x * 2 + 8 * 10, 402) << "centred";

    // One pixel up per tick, every line alike.
    const auto second = scroll.tick();
    for (qsizetype i = 0; i < 4; ++i)
        EXPECT_EQ(second.placements.at(i).y, first.placements.at(i).y - 1);
}

// Over whole passes: each marked line holds the credits a second once per
// pass, exactly when it is centred, and the credits come back from below
// once the last line has left the top.
TEST(Credits, pausesOncePerPassAndLoops)
{
    const QList<CreditLine> lines = dialogs::parseCredits(
        QStringLiteral("<F28><P>Tarvello\r\n<F12>a\r\n<P>b\r\nc\r\n<F10>"));
    const QSize area(402, 186);
    CreditsScroll scroll(lines, area, tenPerCharacter);
    QList<int> pausedLines;
    int passes = 0;
    int previousFirstRow = INT_MAX;
    for (int tick = 0; tick < 2000 && passes < 3; ++tick) {
        const auto frame = scroll.tick();
        const int firstRow = frame.placements.first().y;
        if (firstRow > previousFirstRow) {
            ++passes;
            EXPECT_GE(firstRow, area.height()) << "back below the area";
            EXPECT_LT(frame.placements.last().y - frame.placements.first().y + previousFirstRow, 0)
                << "only once the last line had left the top";
        }
        previousFirstRow = firstRow;
        int centred = -1;
        for (const auto &placement : frame.placements) {
            if (lines.at(placement.line).pause && placement.y + 10 == area.height() / 2)
                centred = placement.line;
        }
        EXPECT_EQ(frame.intervalMs, centred < 0 ? CreditsScroll::kTickMs : CreditsScroll::kPauseMs) << "tick " << tick;
        if (centred >= 0)
            pausedLines.append(centred);
    }
    EXPECT_EQ(passes, 3);
    // Three whole passes, each holding on both marked lines in their order.
    EXPECT_EQ(pausedLines, (QList<int>{0, 2, 0, 2, 0, 2}));
}

class CreditsText : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("langages"));
    }

    void write(const QString &base, const QString &text)
    {
        QFile file(m_dir.filePath(QStringLiteral("langages/") + base + QStringLiteral(".lng")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes;
        ASSERT_TRUE(common::encodeCp1252(text, bytes));
        file.write(bytes);
    }

    QString creditsIn(const QString &language)
    {
        lang::Language current(m_dir.path());
        current.setLanguage(language);
        return dialogs::creditsText(current, QStringLiteral("https://site"));
    }

    QTemporaryDir m_dir;
};

TEST_F(CreditsText, blocksJoinedUpToTheFirstMissingOneWithTheSite)
{
    write(QStringLiteral("Francais"),
          QStringLiteral("[LANGUAGE]\r\nlanguage=Français\r\n[frmAboutCredits]\r\nCredits1=<F28>Tarvello|Été\r\n"
                         "Credits2=<F18><P>%s||\r\nCredits4=jamais lu\r\n"));
    write(QStringLiteral("English"), QStringLiteral("[LANGUAGE]\r\nlanguage=English\r\n[frmAboutCredits]\r\nCredits1=en\r\n"));
    EXPECT_EQ(creditsIn(QStringLiteral("Français")),
              QStringLiteral("<F28>Tarvello\r\nÉté\r\n<F18><P>https://site\r\n\r\n"));
}

TEST_F(CreditsText, aLanguageWithoutCreditsGetsTheEnglishOnes)
{
    write(QStringLiteral("Deutsch"), QStringLiteral("[LANGUAGE]\r\nlanguage=Deutsch\r\n[frmAboutCredits]\r\nCredits2=nie\r\n"));
    write(QStringLiteral("English"),
          QStringLiteral("[LANGUAGE]\r\nlanguage=English\r\n[frmAboutCredits]\r\nCredits1=<F28>Tarvello|%s\r\n"));
    EXPECT_EQ(creditsIn(QStringLiteral("Deutsch")), QStringLiteral("<F28>Tarvello\r\nhttps://site"));
}

} // namespace
