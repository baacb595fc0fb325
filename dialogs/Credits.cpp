#include "dialogs/Credits.h"

#include "lang/Language.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarvello::dialogs {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QString kFallbackLanguage = QStringLiteral("English");

// Nearest integer, halves to even.
int nearest(double value)
{
    return int(std::lrint(value));
}

// Takes every occurrence of the tag out of the text; true when there was one.
bool takeTag(QString &text, QLatin1StringView tag)
{
    if (!text.contains(tag))
        return false;
    text.remove(tag);
    return true;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString creditBlocks(const lang::Language &language, const QString &siteAddress)
{
    const QString section = QString::fromLatin1(kAboutBoxName);
    QStringList blocks;
    for (int i = 1;; ++i) {
        const QString block = language.ReadLangKey(section, QStringLiteral("Credits%1").arg(i), QString(), siteAddress);
        if (block.isEmpty())
            break;
        blocks.append(block);
    }
    return blocks.join(kLineEnd);
}

} // namespace

QList<CreditLine> parseCredits(const QString &text)
{
    QList<CreditLine> lines;
    if (text.isEmpty())
        return lines;
    CreditLine previous;
    const QStringList pieces = text.split(kLineEnd);
    lines.reserve(pieces.size());
    for (const QString &piece : pieces) {
        CreditLine line;
        QString shown = piece;
        // The first alignment kind found decides; a second kind on the same
        // line stays in the text.
        if (takeTag(shown, QLatin1StringView("<AL>")))
            line.alignment = CreditAlignment::Left;
        else if (takeTag(shown, QLatin1StringView("<AC>")))
            line.alignment = CreditAlignment::Centre;
        else if (takeTag(shown, QLatin1StringView("<AR>")))
            line.alignment = CreditAlignment::Right;
        else
            line.alignment = previous.alignment;

        const bool boldOn = takeTag(shown, QLatin1StringView("<B>"));
        const bool boldOff = takeTag(shown, QLatin1StringView("</B>"));
        line.bold = boldOn || (!boldOff && previous.bold);
        const bool italicOn = takeTag(shown, QLatin1StringView("<I>"));
        const bool italicOff = takeTag(shown, QLatin1StringView("</I>"));
        line.italic = italicOn || (!italicOff && previous.italic);

        line.pause = takeTag(shown, QLatin1StringView("<P>"));
        line.sameRow = takeTag(shown, QLatin1StringView("<PL>"));

        // Only the first "<F" is read; one not followed by a size of two
        // digits (above 0) is text like any other.
        line.size = previous.size;
        const qsizetype font = shown.indexOf(QLatin1StringView("<F"));
        if (font >= 0 && font + 3 < shown.size() && isAsciiDigit(shown.at(font + 2)) && isAsciiDigit(shown.at(font + 3))) {
            const auto size = qint16(shown.mid(font + 2, 2).toShort());
            if (size > 0) {
                line.size = size;
                shown.remove(font, 5);
            }
        }

        line.text = shown;
        lines.append(line);
        previous = line;
    }
    return lines;
}

QString creditsText(const lang::Language &language, const QString &siteAddress)
{
    QString text = creditBlocks(language, siteAddress);
    if (text.isEmpty()) {
        lang::Language english(language.programFolder());
        english.setLanguage(kFallbackLanguage);
        text = creditBlocks(english, siteAddress);
    }
    return text;
}

CreditsScroll::CreditsScroll(QList<CreditLine> lines, QSize area, const Measure &measure)
    : m_lines(std::move(lines))
    , m_area(area)
    , m_offset(area.height())
{
    m_sizes.reserve(m_lines.size());
    for (const CreditLine &line : m_lines)
        m_sizes.append(measure(line));
}

CreditsFrame CreditsScroll::tick()
{
    CreditsFrame frame;
    frame.intervalMs = kTickMs;
    if (m_lines.isEmpty())
        return frame;
    frame.placements.reserve(m_lines.size());
    const int width = m_area.width();
    const int height = m_area.height();
    // Very long credits reach rows beyond 32 bits far below the area.
    qint64 y = 0;
    for (int i = 0; i < m_lines.size(); ++i) {
        const CreditLine &line = m_lines.at(i);
        const QSize text = m_sizes.at(i);
        if (!line.sameRow)
            y += line.size + 6;
        const int row = int(std::min<qint64>(m_offset + y, std::numeric_limits<int>::max()));
        int x = nearest(width / 2.0 - text.width() / 2.0);
        if (line.alignment == CreditAlignment::Left)
            x = 5;
        else if (line.alignment == CreditAlignment::Right)
            x = width - text.width() - 5;
        if (line.pause && row == nearest(height / 2.0 - text.height() / 2.0))
            frame.intervalMs = kPauseMs;
        // Once the whole credits have left the top they come in again from below.
        if (i == m_lines.size() - 1 && row < -(text.height() + 10))
            m_offset = height + 10;
        frame.placements.append({i, x, row, greyAt(row, height)});
    }
    --m_offset;
    return frame;
}

int CreditsScroll::greyAt(int row, int areaHeight)
{
    double fade = 0;
    if (row < 10)
        fade = (10.0 - row) * 255.0 / 20.0;
    else if (row > areaHeight - 30)
        fade = std::min(row - (areaHeight - 30), 30) * 255.0 / 20.0;
    return nearest(std::clamp(255.0 - fade, 0.0, 255.0));
}

} // namespace tarvello::dialogs
