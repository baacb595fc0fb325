#include "rules/NameEngine.h"

#include "common/Vb.h"
#include "common/Zub.h"
#include "exif/ExifInfo.h"
#include "lang/ErrorText.h"
#include "lang/Language.h"
#include "rules/Environment.h"
#include "rules/FolderScanCache.h"
#include "rules/IdenticalNameTable.h"
#include "rules/RegexDirective.h"
#include "rules/RuleTools.h"

#include <cstring>
#include <limits>

namespace tarvello::rules {

using common::VbError;
using common::vbCInt;
using common::vbInStr;
using common::vbIsNumeric;
using common::vbLeft;
using common::vbMid;
using common::vbRight;
using common::ZubGetExtension;
using common::ZubGetFileName;
using common::ZubGetPath;
using common::ZubStrWithoutExt;

namespace {

const QString kNumber = QStringLiteral("$N$");
const QString kCounterPlaceholder = QStringLiteral("$Z$");
const QString kRepc = QStringLiteral("$REPC");
const QString kRepp = QStringLiteral("$REPP");
const QString kRegx = QStringLiteral("$REGX");

// Whether the texts are equal, at once when one is a copy of the other (a
// text kept to know whether the rule changed) or their sizes differ.
bool sameText(QStringView a, QStringView b)
{
    return a.size() == b.size() && (a.data() == b.data() || a == b);
}

bool containsAny(const QString &name, std::initializer_list<QStringView> tokens)
{
    for (const QStringView token : tokens) {
        if (name.contains(token))
            return true;
    }
    return false;
}

// Whether the name holds "$x$" for one of the letters: one pass for a set of
// tokens, as every name of a list is asked it.
bool holdsLetterToken(QStringView name, QStringView letters)
{
    for (qsizetype i = name.indexOf(QLatin1Char('$')); i >= 0 && i + 2 < name.size();
         i = name.indexOf(QLatin1Char('$'), i + 1)) {
        if (name[i + 2] == QLatin1Char('$') && letters.contains(name[i + 1]))
            return true;
    }
    return false;
}

void replaceToken(QString &name, QStringView token, const QString &value)
{
    if (name.contains(token))
        name.replace(token.toString(), value);
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Sums and products of the counter are 32-bit numbers: past that, error 6.
qint32 checked32(qint64 value)
{
    if (value < std::numeric_limits<qint32>::min() || value > std::numeric_limits<qint32>::max())
        throw VbError(VbError::Overflow);
    return qint32(value);
}

// The counter value left-padded with zeros to the width; a longer value is
// written whole and a negative one keeps its sign in front ("-005").
class CounterDigits
{
public:
    CounterDigits(qint32 value, int width)
        : m_negative(value < 0)
    {
        quint32 magnitude = m_negative ? quint32(0) - quint32(value) : quint32(value);
        do {
            *--m_begin = char16_t(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        m_zeros = std::max<qsizetype>(0, width - (std::end(m_digits) - m_begin));
    }
    qsizetype size() const { return (m_negative ? 1 : 0) + m_zeros + (std::end(m_digits) - m_begin); }
    void writeTo(char16_t *out) const
    {
        if (m_negative)
            *out++ = u'-';
        out = std::fill_n(out, m_zeros, u'0');
        std::copy(static_cast<const char16_t *>(m_begin), std::cend(m_digits), out);
    }

private:
    char16_t m_digits[10];
    char16_t *m_begin = std::end(m_digits);
    bool m_negative;
    qsizetype m_zeros;
};

QString counterText(qint32 value, int width)
{
    const CounterDigits digits(value, width);
    QString text(digits.size(), Qt::Uninitialized);
    digits.writeTo(reinterpret_cast<char16_t *>(text.data()));
    return text;
}

bool isDigit(char16_t c)
{
    return char16_t(c - u'0') < 10;
}

// The first run of the digits 0 to 9 in the text, "" when it holds none.
QStringView firstDigitRun(QStringView text)
{
    const char16_t *c = text.utf16();
    const char16_t *const end = c + text.size();
    while (c != end && !isDigit(*c))
        ++c;
    const char16_t *const start = c;
    while (c != end && isDigit(*c))
        ++c;
    return QStringView(start, c);
}

// Every occurrence of the token in the name replaced by the value, without a
// copy of either.
void replaceAll(QString &name, QStringView token, QStringView value)
{
    name.replace(token.data(), token.size(), value.data(), value.size());
}

// True when the rule's caption leaves every extension in: the filter is "*"
// and the comment adds no bracket that would make the caption read otherwise.
bool takesEveryExtension(const settings::RuleOptions &rule)
{
    return sameText(rule.extensionFilter, u"*") && !rule.comment.contains(QLatin1Char('('))
        && !rule.comment.contains(QLatin1Char(')'));
}

QString capitalised(const QString &word)
{
    return common::vbUCase(vbLeft(word, 1)) + vbMid(word, 2);
}

// Each space-separated word capitalised; spaces before the first word vanish,
// spaces between words stay.
QString capitaliseWords(const QString &name)
{
    QString result;
    for (const QString &word : common::vbSplit(name, QStringLiteral(" "))) {
        if (result.isEmpty())
            result = capitalised(word);
        else if (word.isEmpty())
            result += QLatin1Char(' ');
        else
            result += QLatin1Char(' ') + capitalised(word);
    }
    return result;
}

bool matchesExtensionFilter(const QString &ext, const QString &filter)
{
    if (filter == QLatin1String("*"))
        return true;
    const QString upperExt = common::vbUCase(ext);
    for (const QString &pattern : common::vbSplit(filter, QStringLiteral(" "))) {
        if (common::vbLike(upperExt, common::vbUCase(pattern)))
            return true;
    }
    return false;
}

// Reads the fields of the directive that starts at the first occurrence of
// keyword, from the character after its own separator to the end of the
// name. At each "/" the separator count grows (from 1) and onSlash gets the
// new count and the field the "/" closes; at each "$" onDollar gets the count
// and the text since the last "/". Later "$" and "/" are read as well, since
// the scan never stops at the directive's end.
template<typename OnSlash, typename OnDollar>
void scanDirective(const QString &name, const QString &keyword, OnSlash onSlash, OnDollar onDollar)
{
    const int p = vbInStr(name, keyword);
    int separators = 1;
    int fieldStart = p + 6;
    for (int i = p + 6; i <= name.size(); ++i) {
        const QChar c = name.at(i - 1);
        if (c == QLatin1Char('/')) {
            onSlash(++separators, vbMid(name, fieldStart, i - fieldStart));
            fieldStart = i + 1;
        } else if (c == QLatin1Char('$')) {
            onDollar(separators, vbMid(name, fieldStart, i - fieldStart));
        }
    }
}

// $REPC/search/replacement[/choice]$, applied to the base name.
QString applyRepc(const QString &name, const QString &base)
{
    QString search;
    QString replacement;
    QString choice;
    scanDirective(
        name, kRepc,
        [&](int separators, const QString &field) {
            if (separators == 2)
                search = field;
            else if (separators == 3)
                replacement = field;
        },
        [&](int separators, const QString &field) {
            if (separators == 2) {
                replacement = field;
                choice.clear();
            } else if (separators == 3) {
                choice = field;
            }
        });
    if (choice.isEmpty())
        return search.isEmpty() ? base : QString(base).replace(search, replacement);
    const int q = vbInStr(base, search);
    if (q == 0)
        return base;
    if (choice == QLatin1String("-1"))
        return replacement + vbMid(base, q);
    if (choice == QLatin1String("1"))
        return vbLeft(base, q + int(search.size()) - 1) + replacement;
    return name;
}

// $REPP/first/second/direction/replacement$, applied to the base name;
// nullopt when neither position is a number.
std::optional<QString> applyRepp(const QString &name, const QString &base)
{
    QString first = QStringLiteral("1");
    QString second = QStringLiteral("1");
    bool fromStart = false;
    QString replacement;
    scanDirective(
        name, kRepp,
        [&](int separators, const QString &field) {
            if (separators == 2)
                first = field;
            else if (separators == 3)
                second = field;
            else if (separators == 4)
                fromStart = field == QLatin1String("1");
        },
        [&](int separators, const QString &field) {
            if (separators == 4)
                replacement = field;
        });
    const bool hasFirst = vbIsNumeric(first);
    const bool hasSecond = vbIsNumeric(second);
    if (!hasFirst && !hasSecond)
        return std::nullopt;
    const int length = int(base.size());
    if (hasFirst && hasSecond) {
        int a = vbCInt(first);
        int b = vbCInt(second);
        if (a > b)
            std::swap(a, b);
        if (fromStart)
            return vbLeft(base, a) + replacement + vbMid(base, b);
        if (length - b >= 1)
            return vbLeft(base, length - b + 1) + replacement + vbMid(base, length - a + 1);
        return replacement + vbMid(base, length - a + 1);
    }
    if (hasFirst) {
        const int a = vbCInt(first);
        if (fromStart)
            return replacement + vbMid(base, a);
        return length - a > 0 ? replacement + vbRight(base, a) : replacement + base;
    }
    const int b = vbCInt(second);
    if (fromStart)
        return vbLeft(base, b) + replacement;
    return length - b + 1 > 0 ? vbLeft(base, length - b + 1) + replacement : replacement;
}

// A date from the year and month texts of a photograph; error 13 when they do
// not make one.
QDate dateOf(const QString &year, const QString &month)
{
    const QDate date(vbCInt(year), vbCInt(month), 1);
    if (!date.isValid() || date.year() < 1)
        throw VbError(VbError::TypeMismatch);
    return date;
}

} // namespace

NameSettings NameSettings::fromSettings(const settings::Settings &settings, const QLocale &locale)
{
    NameSettings s;
    s.forbiddenCharacters = settings.forbiddenCharacters;
    s.forbiddenFiles = settings.forbiddenFiles;
    s.yearFormat = settings.Option_FormatAnnee;
    s.monthFormat = settings.Option_FormatMois;
    s.locale = locale;
    return s;
}

bool ruleReadsExif(const QString &ruleText)
{
    return containsAny(ruleText, {u"$d$", u"$T$", u"$K$", u"$R$", u"$O$", u"$C$", u"$dA$", u"$dM$", u"$dJ$", u"$dh$",
                                  u"$dm$", u"$ds$"});
}

QString afficheNomErrorText(const VbError &error)
{
    return lang::systemErrorText(error, QStringLiteral("affiche_nom"), QStringLiteral("Feuille frmMain"));
}

NameEngine::NameEngine(NameSettings settings, const Clock &clock, const FileFacts &files, exif::ExifSource &exif,
                       lang::Messages &messages)
    : m_settings(std::move(settings))
    , m_clock(clock)
    , m_files(files)
    , m_exif(exif)
    , m_messages(messages)
{
    for (const settings::ForbiddenCharacterRow &row : std::as_const(m_settings.forbiddenCharacters)) {
        for (const QChar c : row.characters)
            m_forbiddenUnits.set(c.unicode());
    }
}

NameResult NameEngine::computeName(const QString &path, int position, settings::RuleOptions &rule,
                                   IdenticalNameTable &identicalNames, FolderScanCache &folders) const
{
    NameResult result;
    try {
        result.name = compute(path, position, rule, identicalNames, folders, result);
    } catch (const VbError &error) {
        result = NameResult{NameResult::Kind::RuntimeError, {}, {}, error};
    }
    return result;
}

QString NameEngine::compute(const QString &path, int position, settings::RuleOptions &rule,
                            IdenticalNameTable &identicalNames, FolderScanCache &folders, NameResult &result) const
{
    // The name, its base and its extension are read in place: no copy of the
    // path for each file. A dot before the last "/" makes no extension.
    qsizetype nameStart = 0;
    qsizetype dot = -1;
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path.at(i);
        if (c == QLatin1Char('/')) {
            nameStart = i + 1;
            break;
        }
        if (c == QLatin1Char('.') && dot < 0)
            dot = i;
    }
    const QStringView fileName = QStringView(path).sliced(nameStart);
    const bool forbidden = std::any_of(m_settings.forbiddenFiles.cbegin(), m_settings.forbiddenFiles.cend(),
                                       [&](const QString &file) { return sameText(file, fileName); });
    const bool hasExtension = dot > nameStart && dot < path.size() - 1;
    const QStringView base = hasExtension ? QStringView(path).sliced(nameStart, dot - nameStart) : fileName;
    QStringView ext = hasExtension ? QStringView(path).sliced(dot + 1) : QStringView();
    const bool inFilter = takesEveryExtension(rule)
        || matchesExtensionFilter(ext.toString(),
                                  extensionFilterOfCaption(commentCaption(rule.comment, rule.extensionFilter)));
    if (rule.changeExtension != 0)
        ext = rule.newExtension;
    if (forbidden) {
        result.kind = NameResult::Kind::ForbiddenFile;
        return m_messages.GetMessage(91);
    }
    if (!inFilter) {
        result.kind = NameResult::Kind::OutsideFilter;
        return m_messages.GetMessage(97);
    }

    // A "$" or "#" the star brings in from the file's name would be read as
    // a token or a counter by the replacements: such a name takes them.
    const RulePieces &pieces = piecesOf(rule.rule);
    const bool fromPieces = pieces.usable && !(pieces.counterWidth > 0 && counterOf(rule).continuation)
        && !(pieces.baseNameSlots > 0 && (base.contains(QLatin1Char('$')) || base.contains(QLatin1Char('#'))));
    const bool caseKept = rule.trimSpaces == 0 && rule.upperFirstChar == 0 && rule.upperEachWord == 0
        && rule.caseIndex == settings::CasePreserve;
    // A name put together from pieces is written once in a string of its
    // size, its extension with it when nothing changes its case. A name of
    // replacements is made in a buffer kept from one file to the next, with
    // room for what the tokens bring, so that replacing them in place seldom
    // moves it. The name handed out is of its own size, since a list keeps a
    // million of them.
    QString built;
    QString &name = fromPieces ? built : m_scratch;
    if (fromPieces) {
        built = putTogether(pieces, fileName, base, caseKept ? ext : QStringView(), position, rule);
    } else {
        name.resize(0);
        if (const qsizetype room = rule.rule.size() + path.size() + 16; name.capacity() < room)
            name.reserve(room);
        if (!replaceTokens(name, path, fileName, base, position, rule, folders, result))
            return {};
    }

    if (!fromPieces || !caseKept) {
        if (rule.trimSpaces != 0)
            name = common::vbTrim(name);
        if (rule.upperFirstChar != 0)
            name = capitalised(name);
        if (rule.upperEachWord != 0)
            name = capitaliseWords(name);
        if (!ext.isEmpty()) {
            if (rule.caseIndex == settings::CaseUpper) {
                name = common::vbUCase(name) + QLatin1Char('.') + common::vbUCase(ext.toString());
            } else if (rule.caseIndex == settings::CaseLower) {
                name = common::vbLCase(name) + QLatin1Char('.') + common::vbLCase(ext.toString());
            } else {
                name.reserve(name.size() + 1 + ext.size());
                name.append(QLatin1Char('.')).append(ext);
            }
        }
    }
    if (rule.replaceForbidden == 1) {
        // Put together from allowed text and left in its case, the name can
        // hold a forbidden character only where the file's name or the
        // extension brought it.
        const bool textAllowed = fromPieces && pieces.textAllowed && caseKept;
        if (!textAllowed || (pieces.baseNameSlots > 0 && holdsForbidden(base)) || holdsForbidden(ext))
            name = replaceForbiddenCharacters(name);
    }
    if (rule.numberIdentical != 0)
        name = identicalNames.enter(name);
    if (fromPieces && built.capacity() == built.size())
        return built;
    return QString(name.constData(), name.size());
}

bool NameEngine::replaceTokens(QString &name, const QString &path, QStringView fileName, QStringView base,
                               int position, settings::RuleOptions &rule, FolderScanCache &folders,
                               NameResult &result) const
{
    name.append(rule.rule);
    if (name.contains(kNumber))
        replaceAll(name, kNumber, firstDigitRun(fileName));
    if (name.contains(QLatin1Char('*')))
        replaceAll(name, u"*", base);
    // Every later token and directive holds a "$", and none is inserted
    // without one: a name without it has nothing left to replace.
    if (name.contains(QLatin1Char('$'))) {
        replaceClockTokens(name);
        if (name.contains(u"$P$"))
            replaceToken(name, u"$P$", ZubGetFileName(ZubGetPath(path)));
        if (name.contains(u"$t$")) {
            if (const auto size = m_files.size(path))
                replaceToken(name, u"$t$", QString::number(*size));
        }
        // Whether the file's dates are looked up is the rule's business: a
        // token the star brought in from the file's own name does not count.
        const RuleTokens &tokens = tokensOf(rule.rule);
        if (tokens.readsFileDates)
            replaceFileDateTokens(name, path);
        if (tokens.readsExif)
            replaceExifTokens(name, path);

        if (rule.rule.contains(kRegx)) {
            if (const CompiledRegex &regex = regexOf(rule.rule); regex.directive)
                name = applyRegex(*regex.directive, regex.expression, base.toString());
        }
        if (name.contains(kRepc))
            name = applyRepc(name, base.toString());
        if (name.contains(kRepp)) {
            const auto replaced = applyRepp(name, base.toString());
            if (!replaced) {
                result.kind = NameResult::Kind::PositionError;
                result.message = m_messages.GetMessage(45);
                return false;
            }
            name = *replaced;
        }
    }
    if (name.contains(QLatin1Char('#')))
        applyCounter(name, path, position, rule, folders);
    return true;
}

void NameEngine::replaceClockTokens(QString &name) const
{
    if (!holdsLetterToken(name, u"AMJhms"))
        return;
    const QDateTime now = m_clock.now();
    const QDate today = now.date();
    if (name.contains(u"$A$"))
        replaceToken(name, u"$A$", formatYear(today.year()));
    if (name.contains(u"$M$"))
        replaceToken(name, u"$M$", formatMonth(today.month()));
    replaceToken(name, u"$J$", twoDigits(today.day()));
    replaceToken(name, u"$h$", twoDigits(now.time().hour()));
    replaceToken(name, u"$m$", twoDigits(now.time().minute()));
    replaceToken(name, u"$s$", twoDigits(now.time().second()));
}

void NameEngine::replaceFileDateTokens(QString &name, const QString &path) const
{
    const auto written = m_files.lastWriteTime(path);
    if (!written)
        return;
    const QString text = formatFileDate(*written);
    if (text.isEmpty())
        return;
    // The parts are those of the text, read from the same local time.
    const QDateTime local = written->toLocalTime();
    replaceToken(name, u"$D$", text);
    if (name.contains(u"$DA$"))
        replaceToken(name, u"$DA$", formatYear(local.date().year()));
    if (name.contains(u"$DM$"))
        replaceToken(name, u"$DM$", formatMonth(local.date().month()));
    replaceToken(name, u"$DJ$", twoDigits(local.date().day()));
    replaceToken(name, u"$Dh$", twoDigits(local.time().hour()));
    replaceToken(name, u"$Dm$", twoDigits(local.time().minute()));
    replaceToken(name, u"$Ds$", twoDigits(local.time().second()));
}

void NameEngine::replaceExifTokens(QString &name, const QString &path) const
{
    const exif::ExifInfo info = m_exif.getExif(path);
    replaceToken(name, u"$T$", info.FileSize);
    replaceToken(name, u"$d$", info.DateTaken);
    if (name.contains(u"$dA$"))
        replaceToken(name, u"$dA$", info.Year.isEmpty() ? QString() : formatYear(dateOf(info.Year, QStringLiteral("1")).year()));
    if (name.contains(u"$dM$"))
        replaceToken(name, u"$dM$", info.Year.isEmpty() ? QString() : formatMonth(dateOf(info.Year, info.Month).month()));
    replaceToken(name, u"$dJ$", info.Day);
    replaceToken(name, u"$dh$", info.Hour);
    replaceToken(name, u"$dm$", info.Minute);
    replaceToken(name, u"$ds$", info.Second);
    replaceToken(name, u"$K$", info.CameraModel);
    replaceToken(name, u"$R$", info.Resolution);
    replaceToken(name, u"$O$", info.Orientation);
    replaceToken(name, u"$C$", info.Comment);
}

void NameEngine::applyCounter(QString &name, const QString &path, int position, settings::RuleOptions &rule,
                              FolderScanCache &folders) const
{
    if (rule.continuationMode()) {
        // The folder holds names with forbidden characters already replaced, so
        // the prefix and suffix are compared in that form.
        if (rule.replaceForbidden == 1)
            name = replaceForbiddenCharacters(name);
        const int width = countOccurrences(name, QStringLiteral("#"));
        const int first = vbInStr(name, QStringLiteral("#"));
        const QString prefix = vbLeft(name, first - 1);
        const QString suffix = vbMid(name, first + width);
        const qint32 highest = folders.highestNumber(m_files, ZubGetPath(path), prefix, width, suffix);
        name = prefix + counterText(checked32(qint64(rule.counterStep) + highest), width) + suffix;
        return;
    }
    const qint32 value = counterValue(position, rule);
    const int width = int(name.count(QLatin1Char('#')));
    const qsizetype first = name.indexOf(QLatin1Char('#'));
    const QStringView left = QStringView(name).first(first);
    const QStringView right = QStringView(name).sliced(std::min(name.size(), first + width));
    // The counter goes in through a placeholder, and every placeholder in the
    // name takes the value: only a "$" around it can make another one.
    if (left.contains(QLatin1Char('$')) || right.contains(QLatin1Char('$'))) {
        name = left.toString() + kCounterPlaceholder + right.toString();
        name.replace(kCounterPlaceholder, counterText(value, width));
        return;
    }
    // The counter takes the place of as many characters as the name holds
    // "#", from the first "#" on (a "#" further on stays), in place.
    const CounterDigits digits(value, width);
    const qsizetype replaced = std::min<qsizetype>(width, name.size() - first);
    const qsizetype tail = name.size() - first - replaced;
    const qsizetype grown = digits.size() - replaced;
    if (grown > 0)
        name.resize(name.size() + grown);
    char16_t *text = reinterpret_cast<char16_t *>(name.data());
    if (grown != 0)
        std::memmove(text + first + digits.size(), text + first + replaced, std::size_t(tail) * sizeof(char16_t));
    digits.writeTo(text + first);
    if (grown < 0)
        name.resize(name.size() + grown);
}

qint32 NameEngine::counterValue(int position, settings::RuleOptions &rule) const
{
    const CounterTexts &counter = counterOf(rule);
    if (counter.error)
        throw *counter.error;
    rule.counterStart = counter.start;
    rule.counterStep = counter.step;
    return checked32(qint64(checked32(qint64(position - 1) * counter.step)) + counter.start);
}

QString NameEngine::putTogether(const RulePieces &pieces, QStringView fileName, QStringView base, QStringView ext,
                                int position, settings::RuleOptions &rule) const
{
    const QStringView digits = pieces.digitSlots > 0 ? firstDigitRun(fileName) : QStringView();
    std::optional<CounterDigits> counter;
    if (pieces.counterWidth > 0)
        counter.emplace(counterValue(position, rule), int(pieces.counterWidth));
    QString name(pieces.textSize + pieces.digitSlots * digits.size() + pieces.baseNameSlots * base.size()
                     + (counter ? counter->size() : 0) + (ext.isEmpty() ? 0 : 1 + ext.size()),
                 Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(name.data());
    const char16_t *text = reinterpret_cast<const char16_t *>(pieces.ruleText.constData());
    for (const RulePieces::Piece &piece : pieces.pieces) {
        switch (piece.kind) {
        case RulePieces::Kind::Text:
            out = std::copy_n(text + piece.from, piece.size, out);
            break;
        case RulePieces::Kind::Digits:
            out = std::copy_n(digits.utf16(), digits.size(), out);
            break;
        case RulePieces::Kind::BaseName:
            out = std::copy_n(base.utf16(), base.size(), out);
            break;
        case RulePieces::Kind::Counter:
            counter->writeTo(out);
            out += counter->size();
            break;
        }
    }
    if (!ext.isEmpty()) {
        *out++ = u'.';
        std::copy_n(ext.utf16(), ext.size(), out);
    }
    return name;
}

const NameEngine::RulePieces &NameEngine::piecesOf(const QString &ruleText) const
{
    if (m_pieces.read && sameText(m_pieces.ruleText, ruleText))
        return m_pieces;
    m_pieces = RulePieces{ruleText, true};
    RulePieces &compiled = m_pieces;
    const QStringView text(compiled.ruleText);
    // The counter takes as many characters as the name holds "#" from the
    // first one on: only a single run of them is one piece of its own.
    const qsizetype firstHash = text.indexOf(QLatin1Char('#'));
    const qsizetype hashes = text.count(QLatin1Char('#'));
    if (hashes > 0 && text.sliced(firstHash, hashes).count(QLatin1Char('#')) != hashes)
        return compiled;
    std::vector<RulePieces::Piece> pieces;
    qsizetype textStart = 0;
    const auto slot = [&](qsizetype at, RulePieces::Kind kind, qsizetype length) {
        if (at > textStart)
            pieces.push_back({RulePieces::Kind::Text, textStart, at - textStart});
        pieces.push_back({kind});
        textStart = at + length;
    };
    for (qsizetype i = 0; i < text.size(); i = std::max(i + 1, textStart)) {
        const QChar c = text[i];
        // The replacement of $N$ reads its occurrences from left to right, so
        // every "$" must open one of them.
        if (c == QLatin1Char('$')) {
            if (!text.sliced(i).startsWith(kNumber))
                return compiled;
            slot(i, RulePieces::Kind::Digits, kNumber.size());
            ++compiled.digitSlots;
        } else if (c == QLatin1Char('*')) {
            slot(i, RulePieces::Kind::BaseName, 1);
            ++compiled.baseNameSlots;
        } else if (i == firstHash) {
            slot(i, RulePieces::Kind::Counter, hashes);
            compiled.counterWidth = hashes;
        }
    }
    if (text.size() > textStart)
        pieces.push_back({RulePieces::Kind::Text, textStart, text.size() - textStart});
    for (const RulePieces::Piece &piece : pieces) {
        if (piece.kind == RulePieces::Kind::Text)
            compiled.textSize += piece.size;
    }
    compiled.pieces = std::move(pieces);
    compiled.usable = true;
    compiled.textAllowed = !holdsForbidden(text) && !holdsForbidden(u"0123456789-");
    return compiled;
}

bool NameEngine::holdsForbidden(QStringView text) const
{
    return std::any_of(text.cbegin(), text.cend(), [this](QChar c) { return m_forbiddenUnits.test(c.unicode()); });
}

QString NameEngine::replaceForbiddenCharacters(QString name) const
{
    if (!holdsForbidden(name))
        return name;
    for (const settings::ForbiddenCharacterRow &row : m_settings.forbiddenCharacters) {
        const QString &characters = row.characters;
        for (qsizetype i = 0; i < characters.size(); ++i) {
            const QChar c = characters.at(i);
            // A character outside the basic plane is replaced whole, never by halves.
            if (c.isHighSurrogate() && i + 1 < characters.size() && characters.at(i + 1).isLowSurrogate()) {
                name.replace(characters.mid(i, 2), row.replacement);
                ++i;
            } else if (name.contains(c)) {
                name.replace(c, row.replacement);
            }
        }
    }
    return name;
}

const NameEngine::RuleTokens &NameEngine::tokensOf(const QString &ruleText) const
{
    if (m_tokens.ruleText != ruleText) {
        m_tokens.ruleText = ruleText;
        m_tokens.readsFileDates = containsAny(ruleText, {u"$DA$", u"$D$", u"$DM$", u"$DJ$", u"$Dh$", u"$Dm$", u"$Ds$"});
        m_tokens.readsExif = ruleReadsExif(ruleText);
    }
    return m_tokens;
}

const NameEngine::CounterTexts &NameEngine::counterOf(const settings::RuleOptions &rule) const
{
    if (!m_counter.read || m_counter.storedStart != rule.counterStart || !sameText(m_counter.startText, rule.startText)
        || !sameText(m_counter.stepText, rule.stepText)) {
        m_counter = CounterTexts{rule.startText, rule.stepText, rule.counterStart, true, rule.continuationMode()};
        try {
            m_counter.start = common::vbCLng(rule.startText);
            m_counter.step = vbCInt(rule.stepText);
        } catch (const VbError &error) {
            m_counter.error = error;
        }
    }
    return m_counter;
}

const NameEngine::CompiledRegex &NameEngine::regexOf(const QString &ruleText) const
{
    if (m_regex.ruleText != ruleText) {
        m_regex.ruleText = ruleText;
        m_regex.directive.reset();
        if (!regexRefusal(ruleText)) {
            m_regex.directive = findRegexDirective(ruleText);
            m_regex.expression = compileRegex(*m_regex.directive);
            m_regex.expression.optimize();
        }
    }
    return m_regex;
}

QString NameEngine::formatYear(int year) const
{
    if (m_settings.yearFormat < 0 || m_settings.yearFormat >= settings::yearFormats().size())
        throw VbError(VbError::SubscriptOutOfRange);
    if (settings::yearFormats().at(m_settings.yearFormat) == QLatin1String("yy"))
        return twoDigits(year % 100);
    return QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
}

QString NameEngine::formatMonth(int month) const
{
    if (m_settings.monthFormat < 0 || m_settings.monthFormat >= settings::monthFormats().size())
        throw VbError(VbError::SubscriptOutOfRange);
    const QString &format = settings::monthFormats().at(m_settings.monthFormat);
    if (format == QLatin1String("m"))
        return QString::number(month);
    if (format == QLatin1String("mm"))
        return twoDigits(month);
    return m_settings.locale.monthName(month, format == QLatin1String("mmm") ? QLocale::ShortFormat
                                                                              : QLocale::LongFormat);
}

} // namespace tarvello::rules
