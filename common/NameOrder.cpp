#include "common/NameOrder.h"

#include "common/NativePath.h"
#include "common/Zub.h"

#include <algorithm>

namespace tarvello::common {

namespace {

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

} // namespace

QString nameSortKey(const QString &name)
{
    // Plain ASCII, most names, has no accent to drop and folds to lower case,
    // done here without the Unicode tables: keys are made for every file listed.
    QString key(name.size(), Qt::Uninitialized);
    QChar *out = key.data();
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80)
            return ZubStringSansAccent(name).toCaseFolded();
        *out++ = QChar(u >= 'A' && u <= 'Z' ? char16_t(u + ('a' - 'A')) : u);
    }
    return key;
}

int compareSortKeys(const QString &a, const QString &b)
{
    const qsizetype na = a.size();
    const qsizetype nb = b.size();
    // Names in one folder share long beginnings ("IMG_0001", "IMG_0002"):
    // the common part decides nothing, except that a number it ends in must
    // be read whole.
    const auto [endA, endB] = std::mismatch(a.cbegin(), a.cend(), b.cbegin(), b.cend());
    qsizetype i = endA - a.cbegin();
    while (i > 0 && isAsciiDigit(a.at(i - 1)))
        --i;
    qsizetype j = i;
    // Among numbers of equal value, the one written with fewer leading zeros
    // comes first; remembered so that only a full tie falls back on it.
    int zeroTie = 0;
    while (i < na && j < nb) {
        const QChar ca = a.at(i);
        const QChar cb = b.at(j);
        if (isAsciiDigit(ca) && isAsciiDigit(cb)) {
            qsizetype si = i;
            qsizetype sj = j;
            while (si < na && a.at(si) == QLatin1Char('0'))
                ++si;
            while (sj < nb && b.at(sj) == QLatin1Char('0'))
                ++sj;
            qsizetype ei = si;
            qsizetype ej = sj;
            while (ei < na && isAsciiDigit(a.at(ei)))
                ++ei;
            while (ej < nb && isAsciiDigit(b.at(ej)))
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            for (qsizetype k = 0; k < ei - si; ++k) {
                if (a.at(si + k) != b.at(sj + k))
                    return a.at(si + k) < b.at(sj + k) ? -1 : 1;
            }
            if (zeroTie == 0 && (si - i) != (sj - j))
                zeroTie = (si - i) < (sj - j) ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < na || j < nb)
        return i < na ? 1 : -1;
    return zeroTie;
}

QString nameCollationKey(const QString &name)
{
    // Plain ASCII is folded on the way; other names take their sort key first.
    const bool ascii = isAscii(name);
    const QString sortKey = ascii ? name : nameSortKey(name);
    const qsizetype n = sortKey.size();
    // Each number grows by two at most: written in place, then cut to size.
    QString key(n + 2 * (n / 2 + 1), Qt::Uninitialized);
    QChar *out = key.data();
    const QChar *in = sortKey.constData();
    for (qsizetype i = 0; i < n;) {
        if (!isAsciiDigit(in[i])) {
            const char16_t u = in[i++].unicode();
            *out++ = QChar(ascii && u >= 'A' && u <= 'Z' ? char16_t(u + ('a' - 'A')) : u);
            continue;
        }
        // A number: any digit compares alike with the characters that are not
        // digits, so "0" stands for it against them; against another number
        // its length without leading zeros decides, then its digits.
        qsizetype significant = i;
        while (significant < n && in[significant] == QLatin1Char('0'))
            ++significant;
        qsizetype end = significant;
        while (end < n && isAsciiDigit(in[end]))
            ++end;
        *out++ = QLatin1Char('0');
        *out++ = QChar(char16_t(std::min<qsizetype>(end - significant, 0xFFFF)));
        out = std::copy(in + significant, in + end, out);
        i = end;
    }
    key.truncate(out - key.constData());
    return key;
}

int compareNames(const QString &keyA, const QString &nameA, const QByteArray &bytesA,
                 const QString &keyB, const QString &nameB, const QByteArray &bytesB)
{
    if (const int byKey = compareSortKeys(keyA, keyB))
        return byKey;
    if (const int byName = nameA.compare(nameB))
        return byName < 0 ? -1 : 1;
    if (bytesA == bytesB)
        return 0;
    return bytesA < bytesB ? -1 : 1;
}

} // namespace tarvello::common
