#include "exif/BuiltinReader.h"

#include "exif/ExifParse.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvello::exif {

namespace {

// One field, filled the way exiftool keeps one of several tags of the same
// name: a tag of normal priority replaces what came before it; a
// low-priority one (IFD1, XMP) fills the field only when nothing did.
struct Pick {
    QString text;
    std::optional<double> number;
    bool set = false;

    void offer(const QString &value, bool low, std::optional<double> numeric = std::nullopt)
    {
        if (set && low)
            return;
        text = value;
        number = numeric;
        set = true;
    }
};

struct Fields {
    Pick make, model, orientation, createDate, width, height;
    Pick exposureTime, aperture, meteringMode, flash, focalLength, whiteBalance;
    Pick focal35, focalPlaneUnit;
    // The focal plane resolutions as stored, for Canon's sensor size.
    std::optional<std::pair<double, double>> focalPlaneX, focalPlaneY;
    std::optional<QString> comment;
    // The picture's own size, from the JPEG frame header.
    double frameWidth = 0;
    double frameHeight = 0;
};

// A number the way exiftool reads a rational: rounded to ten significant
// digits; nothing for 0/0 or n/0 ("undef" and "inf" there).
std::optional<double> rationalValue(double numerator, double denominator)
{
    if (denominator == 0)
        return std::nullopt;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.10g", numerator / denominator);
    return std::strtod(buffer, nullptr);
}

QString rationalUndefined(double numerator)
{
    return numerator != 0 ? QStringLiteral("inf") : QStringLiteral("undef");
}

// The leading number of a text, as exiftool's ToFloat takes it.
std::optional<double> leadingNumber(const QString &text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    char *end = nullptr;
    const double value = std::strtod(bytes.constData(), &end);
    if (end == bytes.constData())
        return std::nullopt;
    return value;
}

QString format(const char *pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return QString::fromLatin1(buffer);
}

QString exposureText(double seconds)
{
    if (seconds < 0.25001 && seconds > 0)
        return QStringLiteral("1/%1").arg(qint64(0.5 + 1 / seconds));
    QString text = format("%.1f", seconds);
    if (text.endsWith(u".0"))
        text.chop(2);
    return text;
}

QString unknown(qint64 value, bool hex = false)
{
    return hex ? QStringLiteral("Unknown (0x%1)").arg(value, 0, 16) : QStringLiteral("Unknown (%1)").arg(value);
}

QString orientationText(qint64 value)
{
    static const char *const names[] = {"Horizontal (normal)",
                                        "Mirror horizontal",
                                        "Rotate 180",
                                        "Mirror vertical",
                                        "Mirror horizontal and rotate 270 CW",
                                        "Rotate 90 CW",
                                        "Mirror horizontal and rotate 90 CW",
                                        "Rotate 270 CW"};
    return value >= 1 && value <= 8 ? QString::fromLatin1(names[value - 1]) : unknown(value);
}

QString meteringText(qint64 value)
{
    static const char *const names[] = {"Unknown", "Average", "Center-weighted average", "Spot", "Multi-spot",
                                        "Multi-segment", "Partial"};
    if (value >= 0 && value <= 6)
        return QString::fromLatin1(names[value]);
    return value == 255 ? QStringLiteral("Other") : unknown(value);
}

QString whiteBalanceText(qint64 value)
{
    if (value == 0)
        return QStringLiteral("Auto");
    return value == 1 ? QStringLiteral("Manual") : unknown(value);
}

QString flashText(qint64 value)
{
    static const std::pair<int, const char *> names[] = {
        {0x00, "No Flash"},
        {0x01, "Fired"},
        {0x05, "Fired, Return not detected"},
        {0x07, "Fired, Return detected"},
        {0x08, "On, Did not fire"},
        {0x09, "On, Fired"},
        {0x0d, "On, Return not detected"},
        {0x0f, "On, Return detected"},
        {0x10, "Off, Did not fire"},
        {0x14, "Off, Did not fire, Return not detected"},
        {0x18, "Auto, Did not fire"},
        {0x19, "Auto, Fired"},
        {0x1d, "Auto, Fired, Return not detected"},
        {0x1f, "Auto, Fired, Return detected"},
        {0x20, "No flash function"},
        {0x30, "Off, No flash function"},
        {0x41, "Fired, Red-eye reduction"},
        {0x45, "Fired, Red-eye reduction, Return not detected"},
        {0x47, "Fired, Red-eye reduction, Return detected"},
        {0x49, "On, Red-eye reduction"},
        {0x4d, "On, Red-eye reduction, Return not detected"},
        {0x4f, "On, Red-eye reduction, Return detected"},
        {0x50, "Off, Red-eye reduction"},
        {0x58, "Auto, Did not fire, Red-eye reduction"},
        {0x59, "Auto, Fired, Red-eye reduction"},
        {0x5d, "Auto, Fired, Red-eye reduction, Return not detected"},
        {0x5f, "Auto, Fired, Red-eye reduction, Return detected"},
    };
    for (const auto &[code, name] : names) {
        if (code == value)
            return QString::fromLatin1(name);
    }
    return unknown(value, true);
}

// exiftool's dates in XMP ("2010-04-13T09:37:22+02:00") print the Exif way
// ("2010:04:13 09:37:22+02:00").
QString xmpDate(const QString &value)
{
    static const QRegularExpression full(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})[T ](\\d{2}:\\d{2})(:\\d{2})?\\s*(\\S*)$"));
    static const QRegularExpression partial(QStringLiteral("^(\\d{4})(-\\d{2}){0,2}"));
    const QRegularExpressionMatch m = full.match(value);
    if (m.hasMatch())
        return m.captured(1) + u':' + m.captured(2) + u':' + m.captured(3) + u' ' + m.captured(4) + m.captured(5)
            + m.captured(6);
    if (partial.match(value).hasMatch())
        return QString(value).replace(u'-', u':');
    return value;
}

// The number of an XMP value: an integer, a decimal or a rational "n/d".
std::optional<double> xmpNumber(const QString &value)
{
    const qsizetype slash = value.indexOf(u'/');
    if (slash < 0)
        return leadingNumber(value);
    bool okN = false;
    bool okD = false;
    const double n = value.left(slash).toDouble(&okN);
    const double d = value.mid(slash + 1).toDouble(&okD);
    if (!okN || !okD)
        return std::nullopt;
    return rationalValue(n, d);
}

// An Exif text value as exiftool reads it: cut at the first NUL, trailing
// blanks dropped for the camera's make and model.
QString exifText(const Exiv2::Exifdatum &datum, bool trimEnd)
{
    const Exiv2::Value &value = datum.value();
    std::string bytes(value.size(), '\0');
    value.copy(reinterpret_cast<Exiv2::byte *>(bytes.data()), Exiv2::littleEndian);
    const std::string::size_type nul = bytes.find('\0');
    if (nul != std::string::npos)
        bytes.resize(nul);
    QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    if (trimEnd) {
        while (!text.isEmpty() && text.back().isSpace())
            text.chop(1);
    }
    return text;
}

// An unsigned or signed rational of an Exif value as a number.
std::optional<std::pair<double, double>> exifRational(const Exiv2::Exifdatum &datum)
{
    if (datum.count() < 1)
        return std::nullopt;
    if (const auto *u = dynamic_cast<const Exiv2::URationalValue *>(&datum.value()))
        return std::pair<double, double>(u->value_.at(0).first, u->value_.at(0).second);
    if (const auto *s = dynamic_cast<const Exiv2::RationalValue *>(&datum.value()))
        return std::pair<double, double>(s->value_.at(0).first, s->value_.at(0).second);
    return std::pair<double, double>(double(datum.toLong(0)), 1.0);
}

// Every number of an integer value, blank-separated, as exiftool prints it.
QString exifIntegers(const Exiv2::Exifdatum &datum)
{
    QStringList numbers;
    for (long i = 0; i < long(datum.count()); ++i)
        numbers.append(QString::number(qint64(datum.toLong(i))));
    return numbers.join(u' ');
}

void offerRational(Pick &pick, const Exiv2::Exifdatum &datum, bool low, QString (*print)(double))
{
    const auto r = exifRational(datum);
    if (!r)
        return;
    const auto value = rationalValue(r->first, r->second);
    pick.offer(value ? print(*value) : rationalUndefined(r->first), low, value);
}

QString printExposure(double v) { return exposureText(v); }
QString printAperture(double v) { return format("%.1f", std::pow(2.0, v / 2)); }
QString printFocal(double v) { return format("%.1f mm", v); }

void offerInteger(Pick &pick, const Exiv2::Exifdatum &datum, bool low, QString (*print)(qint64))
{
    if (datum.count() < 1)
        return;
    if (datum.count() == 1)
        pick.offer(print(datum.toLong(0)), low);
    else
        pick.offer(QStringLiteral("Unknown (%1)").arg(exifIntegers(datum)), low);
}

void takeExif(const Exiv2::ExifData &data, Fields &f)
{
    // IFD0 and the Exif directory first, then the thumbnail's directory,
    // whose tags exiftool ranks below them.
    for (const bool thumbnailPass : {false, true}) {
        for (const Exiv2::Exifdatum &d : data) {
            const std::string group = d.groupName();
            const bool ifd0 = group == "Image";
            const bool thumbnail = group == "Thumbnail";
            if (thumbnail != thumbnailPass)
                continue;
            if (ifd0 || thumbnail) {
                switch (d.tag()) {
                case 0x010f: f.make.offer(exifText(d, true), thumbnail); break;
                case 0x0110: f.model.offer(exifText(d, true), thumbnail); break;
                case 0x0112: offerInteger(f.orientation, d, thumbnail, orientationText); break;
                default: break;
                }
            } else if (group == "Photo") {
                switch (d.tag()) {
                case 0x9004: f.createDate.offer(exifText(d, false), false); break;
                case 0xa002: f.width.offer(exifIntegers(d), false, d.count() ? std::optional<double>(d.toLong(0)) : std::nullopt); break;
                case 0xa003: f.height.offer(exifIntegers(d), false, d.count() ? std::optional<double>(d.toLong(0)) : std::nullopt); break;
                case 0x829a: offerRational(f.exposureTime, d, false, printExposure); break;
                case 0x9202: offerRational(f.aperture, d, false, printAperture); break;
                case 0x920a: offerRational(f.focalLength, d, false, printFocal); break;
                case 0x9207: offerInteger(f.meteringMode, d, false, meteringText); break;
                case 0x9209: offerInteger(f.flash, d, false, flashText); break;
                // exiftool ranks the Exif white balance low, below a maker's own.
                case 0xa403: offerInteger(f.whiteBalance, d, true, whiteBalanceText); break;
                case 0xa405:
                    if (d.count() >= 1)
                        f.focal35.offer(QString(), false, double(d.toLong(0)));
                    break;
                case 0xa20e: f.focalPlaneX = exifRational(d); break;
                case 0xa20f: f.focalPlaneY = exifRational(d); break;
                case 0xa210:
                    if (d.count() >= 1)
                        f.focalPlaneUnit.offer(QString(), false, double(d.toLong(0)));
                    break;
                default: break;
                }
            }
        }
    }
}

// Whether the XMP packet may fill a field still empty: XMP only fills what
// the Exif tags left, and most packets are worth no parsing.
bool xmpMayFill(const QByteArray &packet, const Fields &f)
{
    const std::pair<const Pick &, const char *> fields[] = {
        {f.make, "Make"},
        {f.model, "Model"},
        {f.orientation, "Orientation"},
        {f.createDate, "CreateDate"},
        {f.width, "PixelXDimension"},
        {f.height, "PixelYDimension"},
        {f.exposureTime, "ExposureTime"},
        {f.aperture, "ApertureValue"},
        {f.focalLength, "FocalLength"},
        {f.focal35, "FocalLengthIn35mmFilm"},
        {f.meteringMode, "MeteringMode"},
        {f.whiteBalance, "WhiteBalance"},
    };
    return std::any_of(std::begin(fields), std::end(fields),
                       [&packet](const auto &field) { return !field.first.set && packet.contains(field.second); });
}

// The simple properties of an XMP packet, by namespace and name, whether
// written as attributes of rdf:Description or as elements of their own.
void takeXmp(const QByteArray &packet, Fields &f)
{
    if (packet.isEmpty() || !xmpMayFill(packet, f))
        return;
    const QString tiff = QStringLiteral("http://ns.adobe.com/tiff/1.0/");
    const QString exif = QStringLiteral("http://ns.adobe.com/exif/1.0/");
    const QString xmp = QStringLiteral("http://ns.adobe.com/xap/1.0/");
    const QString crs = QStringLiteral("http://ns.adobe.com/camera-raw-settings/1.0/");
    const QString rdf = QStringLiteral("http://www.w3.org/1999/02/22-rdf-syntax-ns#");

    auto property = [&](QStringView ns, QStringView name, const QString &value) {
        if (ns == tiff) {
            if (name == u"Make")
                f.make.offer(value, true);
            else if (name == u"Model")
                f.model.offer(value, true);
            else if (name == u"Orientation")
                f.orientation.offer(orientationText(value.toLongLong()), true);
        } else if (ns == xmp) {
            if (name == u"CreateDate")
                f.createDate.offer(xmpDate(value), true);
        } else if (ns == crs) {
            if (name == u"WhiteBalance")
                f.whiteBalance.offer(value, true);
        } else if (ns == exif) {
            const auto number = xmpNumber(value);
            if (name == u"PixelXDimension")
                f.width.offer(value, true, number);
            else if (name == u"PixelYDimension")
                f.height.offer(value, true, number);
            else if (name == u"ExposureTime")
                f.exposureTime.offer(number ? exposureText(*number) : value, true, number);
            else if (name == u"ApertureValue")
                f.aperture.offer(number ? format("%.1f", std::pow(std::sqrt(2.0), *number)) : value, true, number);
            else if (name == u"FocalLength")
                f.focalLength.offer(number ? printFocal(*number) : value, true, number);
            else if (name == u"MeteringMode")
                f.meteringMode.offer(meteringText(value.toLongLong()), true);
            else if (name == u"WhiteBalance")
                f.whiteBalance.offer(whiteBalanceText(value.toLongLong()), true);
            else if (name == u"FocalLengthIn35mmFilm")
                f.focal35.offer(QString(), true, number);
        }
    };

    QXmlStreamReader xml(packet);
    int depth = 0;
    int descriptionDepth = -1;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (depth == descriptionDepth)
                descriptionDepth = -1;
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        ++depth;
        if (xml.namespaceUri() == rdf && xml.name() == u"Description") {
            for (const QXmlStreamAttribute &a : xml.attributes())
                property(a.namespaceUri(), a.name(), a.value().toString());
            descriptionDepth = depth;
        } else if (descriptionDepth >= 0 && depth == descriptionDepth + 1) {
            const QString ns = xml.namespaceUri().toString();
            const QString name = xml.name().toString();
            property(ns, name, xml.readElementText(QXmlStreamReader::SkipChildElements));
            --depth;
        }
    }
}

// Canon writes the sensor size in the denominators of the focal plane
// resolutions (exiftool's reading of them).
std::optional<double> canonSensorDiagonal(const Fields &f)
{
    if (!f.focalPlaneX || !f.focalPlaneY)
        return std::nullopt;
    const auto [xn, xd] = *f.focalPlaneX;
    const auto [yn, yd] = *f.focalPlaneY;
    if (std::fmod(xn, 1000) == 0 && std::fmod(yn, 1000) == 0 && xn >= 640000 && yn >= 480000 && xn < 10000000
        && yn < 10000000 && xd >= 61 && xd < 1500 && yd >= 61 && yd < 1000 && xd != yd)
        return std::sqrt(xd * xd + yd * yd) * 0.0254;
    return std::nullopt;
}

// exiftool's scale factor to the 35 mm format, from what the standard tags
// hold: the 35 mm focal length, else the sensor size the focal plane
// resolution gives.
std::optional<double> scaleFactor35(const Fields &f)
{
    const double focal = f.focalLength.number.value_or(0);
    const double focal35 = f.focal35.number.value_or(0);
    if (focal != 0 && focal35 != 0)
        return focal35 / focal;
    std::optional<double> diagonal;
    if (f.make.text == u"Canon")
        diagonal = canonSensorDiagonal(f);
    if (!diagonal) {
        double units = 25.4;
        switch (qint64(f.focalPlaneUnit.number.value_or(0))) {
        case 3: units = 10; break;
        case 4: units = 1; break;
        case 5: units = 0.001; break;
        default: break;
        }
        if (!f.focalPlaneX)
            return std::nullopt;
        const auto xRes = rationalValue(f.focalPlaneX->first, f.focalPlaneX->second);
        std::optional<double> yRes = xRes;
        if (f.focalPlaneY && f.focalPlaneY->first != 0)
            yRes = rationalValue(f.focalPlaneY->first, f.focalPlaneY->second);
        if (!xRes || *xRes == 0 || !yRes || *yRes == 0)
            return std::nullopt;
        const std::pair<double, double> sizes[] = {
            {f.width.number.value_or(0), f.height.number.value_or(0)},
            {f.frameWidth, f.frameHeight},
        };
        std::optional<std::pair<double, double>> chosen;
        for (const auto &[w, h] : sizes) {
            if (w == 0 || h == 0)
                continue;
            chosen = {w, h};
            if (w / h > 0.5 && w / h < 2)
                break;
            chosen.reset();
        }
        if (!chosen)
            return std::nullopt;
        const double w = chosen->first * units / *xRes;
        const double h = chosen->second * units / *yRes;
        diagonal = std::sqrt(w * w + h * h);
        if (!(*diagonal > 1 && *diagonal < 100))
            return std::nullopt;
    }
    return std::sqrt(36.0 * 36 + 24 * 24) / *diagonal;
}

// The metadata segments of a JPEG file, up to the start of the picture data.
struct JpegSegments {
    QByteArray exif;
    QByteArray xmp;
    QByteArray ciff;
    std::optional<QByteArray> comment;
    int width = 0;
    int height = 0;
};

// The start of a file, read in large pieces as far as a walk needs it.
class FileHead
{
public:
    explicit FileHead(int descriptor) : m_descriptor(descriptor) {}

    // True when the bytes before end are read.
    bool reach(qint64 end)
    {
        if (end > m_bytes.size() && !m_atEnd) {
            const qint64 had = m_bytes.size();
            m_bytes.resize(std::max<qint64>(end, std::max<qint64>(16 * 1024, 2 * had)));
            const qint64 read = ::read(m_descriptor, m_bytes.data() + had, size_t(m_bytes.size() - had));
            m_bytes.resize(had + std::max<qint64>(read, 0));
            m_atEnd = m_bytes.size() < end;
        }
        return end <= m_bytes.size();
    }
    uchar at(qint64 pos) const { return uchar(m_bytes.at(pos)); }
    QByteArray mid(qint64 pos, qint64 length) const { return m_bytes.mid(pos, length); }

private:
    int m_descriptor;
    QByteArray m_bytes;
    bool m_atEnd = false;
};

bool readJpegSegments(int descriptor, JpegSegments &out)
{
    FileHead head(descriptor);
    if (!head.reach(2) || head.at(0) != 0xff || head.at(1) != 0xd8)
        return false;
    static const QByteArray exifId("Exif\0\0", 6);
    static const QByteArray xmpId("http://ns.adobe.com/xap/1.0/\0", 29);
    qint64 pos = 2;
    while (head.reach(pos + 1) && head.at(pos) == 0xff) {
        while (head.reach(pos + 2) && head.at(pos + 1) == 0xff)
            ++pos;
        if (!head.reach(pos + 2))
            break;
        const uchar marker = head.at(pos + 1);
        pos += 2;
        if (marker == 0xd9 || marker == 0xda)
            break;
        if ((marker >= 0xd0 && marker <= 0xd7) || marker == 0x01)
            continue;
        if (!head.reach(pos + 2))
            break;
        const qint64 length = (head.at(pos) << 8 | head.at(pos + 1)) - 2;
        pos += 2;
        if (length < 0 || !head.reach(pos + length))
            break;
        const bool frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (marker == 0xfe) {
            QByteArray text = head.mid(pos, length);
            while (text.endsWith('\0'))
                text.chop(1);
            out.comment = text;
        } else if (frame && length >= 5) {
            out.height = head.at(pos + 1) << 8 | head.at(pos + 2);
            out.width = head.at(pos + 3) << 8 | head.at(pos + 4);
        } else if (marker == 0xe1 || marker == 0xe0) {
            const QByteArray payload = head.mid(pos, length);
            if (marker == 0xe1 && out.exif.isEmpty() && payload.startsWith(exifId))
                out.exif = payload.mid(exifId.size());
            else if (marker == 0xe1 && out.xmp.isEmpty() && payload.startsWith(xmpId))
                out.xmp = payload.mid(xmpId.size());
            else if (marker == 0xe0 && out.ciff.isEmpty() && payload.size() > 14
                     && (payload.startsWith("II") || payload.startsWith("MM")) && payload.mid(6, 8) == "HEAPJPGM")
                out.ciff = payload;
        }
        pos += length;
    }
    return true;
}

// The maker's own notes hold hundreds of tags the reader never uses, and
// decoding them is most of libexiv2's work: the Exif block is handed over with
// its MakerNote tag renamed to one that stays an opaque blob.
void hideMakerNote(QByteArray &tiff)
{
    if (tiff.size() < 8 || (!tiff.startsWith("II") && !tiff.startsWith("MM")))
        return;
    const bool little = tiff.at(0) == 'I';
    const auto *bytes = reinterpret_cast<const uchar *>(tiff.constData());
    const qint64 size = tiff.size();
    auto u16 = [&](qint64 at) -> qint64 {
        return at + 2 > size ? -1 : little ? bytes[at] | bytes[at + 1] << 8 : bytes[at] << 8 | bytes[at + 1];
    };
    auto u32 = [&](qint64 at) -> qint64 {
        if (at + 4 > size)
            return -1;
        return little ? qint64(u16(at)) | qint64(u16(at + 2)) << 16 : qint64(u16(at)) << 16 | qint64(u16(at + 2));
    };
    // The entry of a tag in the directory at offset, or -1.
    auto entry = [&](qint64 directory, int tag) -> qint64 {
        const qint64 count = u16(directory);
        for (qint64 i = 0; count > 0 && i < count; ++i) {
            const qint64 at = directory + 2 + 12 * i;
            if (at + 12 > size)
                return -1;
            if (u16(at) == tag)
                return at;
        }
        return -1;
    };
    const qint64 exifPointer = entry(u32(4), 0x8769);
    if (exifPointer < 0)
        return;
    const qint64 makerNote = entry(u32(exifPointer + 8), 0x927c);
    if (makerNote < 0)
        return;
    // 0x927d: a tag no standard names.
    tiff[makerNote + (little ? 0 : 1)] = char(0x7d);
}

// A Canon CIFF block stored in a JPEG, read the way libexiv2 reads a CRW
// file: it then holds the camera's make and model as Exif tags.
void takeCiff(QByteArray block, Exiv2::ExifData &into)
{
    block.replace(6, 8, "HEAPCCDR");
    Exiv2::CrwImage image(Exiv2::BasicIo::AutoPtr(new Exiv2::MemIo), false);
    Exiv2::CrwParser::decode(&image, reinterpret_cast<const Exiv2::byte *>(block.constData()), uint32_t(block.size()));
    into = image.exifData();
}

void readMetadata(const QString &path, Fields &f)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    JpegSegments jpeg;
    const bool isJpeg = readJpegSegments(descriptor, jpeg);
    ::close(descriptor);
    if (isJpeg) {
        if (!jpeg.ciff.isEmpty()) {
            try {
                Exiv2::ExifData ciff;
                takeCiff(jpeg.ciff, ciff);
                takeExif(ciff, f);
            } catch (...) {
            }
        }
        if (!jpeg.exif.isEmpty()) {
            hideMakerNote(jpeg.exif);
            Exiv2::ExifData data;
            try {
                Exiv2::ExifParser::decode(data, reinterpret_cast<const Exiv2::byte *>(jpeg.exif.constData()),
                                          uint32_t(jpeg.exif.size()));
            } catch (...) {
            }
            takeExif(data, f);
        }
        takeXmp(jpeg.xmp, f);
        f.comment = jpeg.comment ? std::optional<QString>(QString::fromUtf8(*jpeg.comment)) : std::nullopt;
        f.frameWidth = jpeg.width;
        f.frameHeight = jpeg.height;
        return;
    }
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        if (!image.get())
            return;
        image->readMetadata();
        takeExif(image->exifData(), f);
        takeXmp(QByteArray::fromStdString(image->xmpPacket()), f);
    } catch (...) {
    }
}

// A value as exiftool writes it on its output: control characters shown as
// ".", NULs dropped, trailing blanks dropped.
QString printed(QString value)
{
    for (QChar &c : value) {
        if ((c.unicode() >= 0x01 && c.unicode() <= 0x1f) || c.unicode() == 0x7f)
            c = u'.';
    }
    value.remove(QChar(0));
    while (!value.isEmpty() && value.back().isSpace() && value.back().unicode() < 0x80)
        value.chop(1);
    return value;
}

// The modification time as exiftool prints it, in local time with its offset.
QString fileDateText(time_t seconds)
{
    struct tm local;
    if (!localtime_r(&seconds, &local))
        return {};
    const long offset = local.tm_gmtoff;
    const long minutes = std::labs(offset) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d%c%02ld:%02ld", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+',
                  minutes / 60, minutes % 60);
    return QString::fromLatin1(text);
}

// Once per run, before any read: libexiv2 prints no warnings of its own, and
// its XMP toolkit (used for TIFF and raw files) is made ready for several
// threads.
void prepareLibrary()
{
    static std::once_flag once;
    static std::mutex xmpLock;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(
            [](void *lock, bool locking) {
                if (locking)
                    static_cast<std::mutex *>(lock)->lock();
                else
                    static_cast<std::mutex *>(lock)->unlock();
            },
            &xmpLock);
    });
}

} // namespace

QString exiftoolFileSize(qint64 bytes)
{
    const double v = double(bytes);
    if (bytes < 2000)
        return QStringLiteral("%1 bytes").arg(bytes);
    if (bytes < 10000)
        return format("%.1f kB", v / 1000);
    if (bytes < 2000000)
        return format("%.0f kB", v / 1000);
    if (bytes < 10000000)
        return format("%.1f MB", v / 1000000);
    if (bytes < 2000000000)
        return format("%.0f MB", v / 1000000);
    if (bytes < 10000000000)
        return format("%.1f GB", v / 1000000000);
    return format("%.0f GB", v / 1000000000);
}

std::optional<ExifInfo> readBuiltin(const QString &path)
{
    prepareLibrary();
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    Fields f;
    readMetadata(path, f);

    ExifTextParser parser(ExifTextParser::Format::ExifTool);
    auto line = [&parser](const char *label, const QString &value) {
        parser.addExifToolValue(QLatin1String(label), printed(value));
    };
    auto pick = [&line](const char *label, const Pick &p) {
        if (p.set)
            line(label, p.text);
    };
    const qsizetype slash = path.lastIndexOf(u'/');
    line("File Name", path.mid(slash + 1));
    line("Directory", slash > 0 ? path.left(slash) : slash == 0 ? QStringLiteral("/") : QStringLiteral("."));
    line("File Size", exiftoolFileSize(status.st_size));
    line("File Modification Date/Time", fileDateText(status.st_mtime));
    pick("Make", f.make);
    pick("Camera Model Name", f.model);
    pick("Orientation", f.orientation);
    pick("Exposure Time", f.exposureTime);
    pick("Create Date", f.createDate);
    pick("Aperture Value", f.aperture);
    pick("Metering Mode", f.meteringMode);
    pick("Flash", f.flash);
    pick("Exif Image Width", f.width);
    pick("Exif Image Height", f.height);
    pick("White Balance", f.whiteBalance);
    if (f.comment)
        line("Comment", *f.comment);
    // exiftool's last line of that label: the focal length with its 35 mm
    // equivalent when the scale is known.
    if (f.focalLength.set) {
        const double focal = f.focalLength.number.value_or(0);
        const auto scale = scaleFactor35(f);
        if (scale)
            line("Focal Length", QString::fromLatin1("%1 (35 mm equivalent: %2)")
                                     .arg(format("%.1f mm", focal), format("%.1f mm", focal * *scale)));
        else
            line("Focal Length", format("%.1f mm", focal));
    }
    return parser.info();
}

} // namespace tarvello::exif
