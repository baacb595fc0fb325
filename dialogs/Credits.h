#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <functional>

namespace tarvello::lang {
class Language;
}

namespace tarvello::dialogs {

// The about box's window name, which is also its section of the language file.
inline constexpr char kAboutBoxName[] = "frmAboutCredits";

// Where a credits line stands across the credits area.
enum class CreditAlignment : qint32 { Left = 0, Right = 1, Centre = 2 };

// One line of the credits with the look its markup gave it.
struct CreditLine {
    QString text;
    bool bold = true;
    bool italic = true;
    qint16 size = 12; // points
    CreditAlignment alignment = CreditAlignment::Centre;
    // Scrolling stops for a second when the line reaches the middle.
    bool pause = false;
    // Printed on the row of the line before it.
    bool sameRow = false;

    bool operator==(const CreditLine &) const = default;
};

// Cuts the credits at each "\r\n" and reads each line's tags: <AL> <AC> <AR>
// (alignment), <B> </B> <I> </I>, <Fnn> (size in points, two digits), <P>
// (pause) and <PL> (same row). Alignment, bold, italic and size carry to the
// lines below until a tag changes them; the tags that decided are taken out
// of the text and anything else stays as text, so no input is refused.
QList<CreditLine> parseCredits(const QString &text);

// The credits markup in the current language: the keys Credits1, Credits2...
// of the about box's section, read until one is missing or empty, joined by
// line ends ("|" in a value is a line end too; "%s" is the site address). A
// language file without credits gets the English ones.
QString creditsText(const lang::Language &language, const QString &siteAddress);

// One tick of the scrolling credits: where each line is printed, in what grey,
// and how long until the next tick.
struct CreditsFrame {
    struct Placement {
        int line = 0;     // index in the parsed lines
        int x = 0;        // left edge, pixels from the area's left
        int y = 0;        // top edge, pixels from the area's top
        int grey = 255;   // 255 white in the middle, 0 black at the edges
    };
    QList<Placement> placements;
    int intervalMs = 30;
};

// The credits moving up through an area of a given inner size, one pixel per
// tick, fading in at the bottom and out at the top, and starting again from
// below once the last line has left the top.
class CreditsScroll
{
public:
    // Measures a line's text in the line's own font (width and height, pixels).
    using Measure = std::function<QSize(const CreditLine &)>;

    static constexpr int kTickMs = 30;
    static constexpr int kPauseMs = 1000;

    // The lines are measured once; the credits start just below the area.
    CreditsScroll(QList<CreditLine> lines, QSize area, const Measure &measure);

    const QList<CreditLine> &lines() const { return m_lines; }
    int offset() const { return m_offset; }

    // Lays out the credits at the current offset, then moves them up a pixel.
    CreditsFrame tick();

    // The grey of text whose top edge is on this row of an area this high.
    static int greyAt(int row, int areaHeight);

private:
    QList<CreditLine> m_lines;
    QList<QSize> m_sizes;
    QSize m_area;
    int m_offset = 0;
};

} // namespace tarvello::dialogs
