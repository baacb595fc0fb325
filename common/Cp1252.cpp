#include "common/Cp1252.h"

#include <array>

namespace tarvello::common {

namespace {

// Unicode values of the bytes 0x80 to 0x9F.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool encodeOne(char16_t c, char &byte)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        byte = char(c);
        return true;
    }
    for (std::size_t i = 0; i < kHighTable.size(); ++i) {
        if (kHighTable[i] == c) {
            byte = char(0x80 + i);
            return true;
        }
    }
    return false;
}

} // namespace

QString decodeCp1252(const QByteArray &bytes)
{
    QString text;
    text.resize(bytes.size());
    QChar *out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *out++ = QChar(u >= 0x80 && u < 0xA0 ? kHighTable[u - 0x80] : char16_t(u));
    }
    return text;
}

bool encodeCp1252(const QString &text, QByteArray &out)
{
    QByteArray bytes;
    bytes.resize(text.size());
    char *dst = bytes.data();
    for (const QChar c : text) {
        if (!encodeOne(c.unicode(), *dst++))
            return false;
    }
    out = bytes;
    return true;
}

QString decodeProfileText(const QByteArray &bytes, bool *wasUtf8)
{
    const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
    if (wasUtf8)
        *wasUtf8 = utf8;
    return utf8 ? QString::fromUtf8(bytes.mid(3)) : decodeCp1252(bytes);
}

} // namespace tarvello::common
