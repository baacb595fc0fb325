#include "common/Cp1252.h"
#include "dialogs/Credits.h"
#include "lang/Language.h"

#include "QtPrint.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <random>

using namespace tarvello;
using dialogs::CreditLine;
using dialogs::CreditsScroll;

namespace {

// A line's look in a few letters: its text, then B, I, P (pause), R (same
// row), its size and L, C or R for its alignment.
QString look(const CreditLine &line)
{
    return line.text + ' ' + (line.bold ? "B" : "") + (line.italic ? "I" : "") + (line.pause ? "P" : "")
           + (line.sameRow ? "R" : "") + QString::number(line.size) + "LRC"[int(line.alignment)];
}

TEST(Credits, eachLineTakesTheLookItsMarkupGivesIt)
{
    const struct { const char *markup; QStringList looks; } cases[] = {
        {"Tarvello", {"Tarvello BI12C"}},
        {"<F28><P><B>Tarvello\r\nsuite", {"Tarvello BIP28C", "suite BI28C"}},
        // Alignment carries until changed; the first alignment kind decides, the other stays as text.
        {"<AL>a\r\nb\r\n<AR>c\r\nd\r\n<AC>e", {"a BI12L", "b BI12L", "c BI12R", "d BI12R", "e BI12C"}},
        {"<AC><AR>x\r\n<AR>y<AL>", {"<AR>x BI12C", "<AR>y BI12L"}},
        // Bold on wins over bold off, and carries.
        {"</B><B>a\r\nb\r\n</B>c\r\nd", {"a BI12C", "b BI12C", "c I12C", "d I12C"}},
        // Pause and same row belong to their line.
        {"<P>a\r\n<PL>b\r\nc\r\n<P><PL>d", {"a BIP12C", "b BIR12C", "c BI12C", "d BIPR12C"}},
        // Only the first size tag is read; five characters go whatever closes
        // it; one cut short is text.
        {"<F12>a<F14>b", {"a<F14>b BI12C"}},
        {"<F14)Titre", {"Titre BI14C"}},
        {"<F10>a\r\nb<F\r\nc<F1", {"a BI10C", "b<F BI10C", "c<F1 BI10C"}},
        {"<al><b></i><f10><p>x", {"<al><b></i><f10><p>x BI12C"}},
        // Only CR LF ends a line; a last empty line keeps what carries.
        {"a\nb\rc\r\n", {"a\nb\rc BI12C", " BI12C"}},
        {"<AL></B><F10>a\r\n", {"a I10L", " I10L"}},
    };
    for (const auto &c : cases) {
        QStringList looks;
        for (const CreditLine &line : dialogs::parseCredits(c.markup))
            looks.append(look(line));
        EXPECT_EQ(looks, c.looks) << c.markup;
    }
}

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
        ASSERT_EQ(lines.size(), markup.isEmpty() ? 0 : markup.count("\r\n") + 1) << qPrintable(markup);
        for (const CreditLine &line : lines) {
            EXPECT_TRUE(line.size >= 1 && line.size <= 99) << qPrintable(markup);
            EXPECT_LE(line.text.size(), markup.size());
        }
        CreditsScroll scroll(lines, QSize(402, 186), [](const CreditLine &line) {
            return QSize(int(line.text.size()) * 7, line.size + 4);
        });
        for (int tick = 0; tick < 50; ++tick)
            ASSERT_EQ(scroll.tick().placements.size(), lines.size());
    }
}

// Lines measured as 10 pixels a character, 20 pixels high.
QSize tenPerCharacter(const CreditLine &line)
{
    return QSize(int(line.text.size()) * 10, 20);
}

TEST(Credits, linesArePlacedByTheirAlignmentAndRow)
{
    const QList<CreditLine> lines = dialogs::parseCredits("<F28>Tarvello\r\n<AL><F12>jhead\r\n<PL><AR>Matthias Wandel\r\n<AC>x");
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
    const QList<CreditLine> lines = dialogs::parseCredits("<F28><P>Tarvello\r\n<F12>a\r\n<P>b\r\nc\r\n<F10>");
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

// Blocks are joined up to the first missing one, with the site; a language
// without credits gets the English ones.
TEST(Credits, textOfTheLanguageFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkpath("langages"));
    const auto write = [&dir](const QString &base, const QString &text) {
        QFile file(dir.filePath("langages/" + base + ".lng"));
        QByteArray bytes;
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && common::encodeCp1252(text, bytes));
        file.write(bytes);
    };
    const auto creditsIn = [&dir](const QString &language) {
        lang::Language current(dir.path());
        current.setLanguage(language);
        return dialogs::creditsText(current, "https://site");
    };
    write("Francais", "[LANGUAGE]\r\nlanguage=Français\r\n[frmAboutCredits]\r\nCredits1=<F28>Tarvello|Été\r\n"
                      "Credits2=<F18><P>%s||\r\nCredits4=jamais lu\r\n");
    write("Deutsch", "[LANGUAGE]\r\nlanguage=Deutsch\r\n[frmAboutCredits]\r\nCredits2=nie\r\n");
    write("English", "[LANGUAGE]\r\nlanguage=English\r\n[frmAboutCredits]\r\nCredits1=<F28>Tarvello|%s\r\n");
    EXPECT_EQ(creditsIn("Français"), "<F28>Tarvello\r\nÉté\r\n<F18><P>https://site\r\n\r\n");
    EXPECT_EQ(creditsIn("Deutsch"), "<F28>Tarvello\r\nhttps://site");
}

} // namespace
