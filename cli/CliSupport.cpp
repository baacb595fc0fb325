#include "cli/CliSupport.h"

#include "cli/Cli.h"
#include "common/NativePath.h"
#include "controller/NameBatch.h"
#include "settings/Settings.h"
#include "exif/ExifReader.h"
#include "filelist/FolderScan.h"
#include "lang/Language.h"
#include "rename/RecordFormat.h"

#include <QDir>
#include <QIODevice>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <system_error>

namespace tarvello::cli {

namespace {

const QByteArray kProgram = QByteArrayLiteral("tarvello-cli: ");

// Names that are not text are listed by name up to this many; the rest are counted.
constexpr int kNotTextListed = 20;

// The current folder as the system gives it: bytes, whatever they read as.
QByteArray currentFolderBytes()
{
    std::error_code error;
    return QByteArray::fromStdString(std::filesystem::current_path(error).native());
}

// The text in UTF-8 at the end of the bytes, without a buffer of its own
// when it is ASCII, as most names are.
void appendUtf8(QByteArray &bytes, QStringView text)
{
    const qsizetype start = bytes.size();
    bytes.resize(start + text.size());
    char *out = bytes.data() + start;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            bytes.resize(start);
            bytes.append(text.toUtf8());
            return;
        }
        *out++ = char(c.unicode());
    }
}

} // namespace

QString CliTexts::text(const char *key, const QString &param1, const QString &param2) const
{
    return m_language.extra(QLatin1String(key), param1, param2);
}

QString CliTexts::errorText(const CliError &error) const
{
    switch (error.kind) {
    case CliError::UnknownOption: return text("cliErrUnknownOption", error.option);
    case CliError::MissingValue: return text("cliErrMissingValue", error.option);
    case CliError::BadValue: return text("cliErrBadValue", error.option, error.value);
    }
    return {};
}

void writeLine(QIODevice &device, const QByteArray &line)
{
    device.write(line);
    device.write("\n");
}

void writeMessage(QIODevice &device, const QString &text)
{
    // Language file texts break their lines with "\r\n".
    for (const QString &line : QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(QLatin1Char('\n')))
        writeLine(device, kProgram + line.toUtf8());
}

PathInput::PathInput(const QByteArrayList &operands, QIODevice &in)
    : m_operands(operands)
{
    if (operands.contains("-"))
        m_input = in.readAll();
}

bool currentFolderIsText()
{
    return filelist::isTextName(currentFolderBytes());
}

common::NativePath absolutePath(const QByteArray &given)
{
    if (given.startsWith('/'))
        return common::NativePath::fromBytes(given).cleaned();
    return common::NativePath::fromBytes(currentFolderBytes()).child(common::NativePath::fromBytes(given)).cleaned();
}

bool readsAsText(const QByteArray &path, bool currentIsText)
{
    // Most paths of a long list read as text whole, folder and name.
    if (filelist::isTextName(path) && (path.startsWith('/') || currentIsText))
        return true;
    return filelist::isTextName(absolutePath(path).folder().bytes());
}

void writeNotText(QIODevice &device, const CliTexts &texts, const QByteArrayList &paths)
{
    if (paths.isEmpty())
        return;
    writeMessage(device, texts.text("cliNotText"));
    for (const QByteArray &path : paths.mid(0, kNotTextListed))
        writeLine(device, kProgram + path);
    if (paths.size() > kNotTextListed)
        writeMessage(device, texts.text("AddNotTextMore", QString::number(paths.size() - kNotTextListed)));
}

bool namesRenamableEntry(const QByteArray &path)
{
    qsizetype end = path.size();
    while (end > 0 && path[end - 1] == '/')
        --end;
    if (end == 0)
        return false;
    const QByteArrayView kept = QByteArrayView(path).first(end);
    const QByteArrayView last = kept.sliced(kept.lastIndexOf('/') + 1);
    return last != "." && last != "..";
}

CliNamer::CliNamer(settings::RuleOptions rule, const settings::Settings &settings, lang::Language &language,
                   exif::ExifReader &exif)
    : m_batch(std::move(rule),
              rules::NameEngine(rules::NameSettings::fromSettings(settings), m_clock, m_files, exif, language),
              m_identicalNames)
{
}

QList<ComputedName> computeNames(const QByteArrayList &paths, settings::RuleOptions rule, const settings::Settings &settings,
                                 lang::Language &language, exif::ExifReader &exif,
                                 const std::optional<controller::ListSort> &sort)
{
    const bool readsExif = rules::ruleReadsExif(rule.rule);
    CliNamer namer(std::move(rule), settings, language, exif);
    controller::NameBatch &batch = namer.batch();
    QList<filelist::FileEntry> entries;
    QByteArrayList natives;
    entries.reserve(paths.size());
    natives.reserve(paths.size());
    for (const QByteArray &given : paths) {
        const common::NativePath native = absolutePath(given);
        entries.append(filelist::FileEntry::of(native));
        natives.append(native.bytes());
    }
    // The dates of shooting of a sort are read ahead too, before it.
    if (readsExif || (sort && sort->key == controller::SortKey::Taken)) {
        // The resident exiftool starts only when a rule or a sort needs it.
        if (exif.choice() == exif::ChoiceExifToolBatch)
            exif.startBatch();
        QStringList readable;
        readable.reserve(entries.size());
        for (const filelist::FileEntry &entry : std::as_const(entries))
            readable.append(entry.readablePath());
        exif.prefetch(readable);
    }
    QList<int> order(paths.size());
    std::iota(order.begin(), order.end(), 0);
    if (sort)
        order = controller::sortedRows(entries, *sort, exif);
    QList<ComputedName> names;
    QStringList absolute;
    names.reserve(paths.size());
    absolute.reserve(paths.size());
    for (const int row : std::as_const(order)) {
        ComputedName name;
        name.given = paths.at(row);
        name.path = entries.at(row).readablePath();
        name.native = natives.at(row);
        names.append(name);
        absolute.append(name.path);
    }
    qsizetype computed = 0;
    batch.run(absolute, 1, [&](int index, const controller::NameStep &step) {
        names[index].result = step.result;
        computed = index + 1;
        return true;
    });
    names.resize(computed);
    return names;
}

QByteArray nameErrorLine(const ComputedName &name)
{
    return nameErrorLine(name.given, name.result);
}

QByteArray nameErrorLine(const QByteArray &given, const rules::NameResult &result)
{
    switch (result.kind) {
    case rules::NameResult::Kind::PositionError:
        return kProgram + given + ": " + result.message.toUtf8();
    case rules::NameResult::Kind::RuntimeError:
        return kProgram + given + ": " + rules::afficheNomErrorText(*result.error).toUtf8();
    default:
        return {};
    }
}

QString absolutePathOf(const QDir &current, const QByteArray &given)
{
    const QString path = QFile::decodeName(given);
    // Most paths of a long list are absolute and clean already; "/" and "."
    // keep their bytes in the text, so the bytes tell.
    return rename::isCleanAbsolutePath(given) ? path : QDir::cleanPath(current.absoluteFilePath(path));
}

int previewNames(const PathInput &paths, bool currentIsText, settings::RuleOptions rule,
                 const settings::Settings &settings, lang::Language &language, exif::ExifReader &exif,
                 const std::optional<controller::ListSort> &sort, bool reverse, QIODevice &out, QIODevice &err)
{
    int exitCode = CliSuccess;
    QByteArray line;
    // False when the run ends here.
    const auto write = [&](const QByteArray &given, const rules::NameResult &result) {
        if (const QByteArray error = nameErrorLine(given, result); !error.isEmpty()) {
            writeLine(err, error);
            exitCode = CliNameErrors;
            if (result.kind == rules::NameResult::Kind::PositionError)
                return false;
        }
        // Emptied, not freed: the next line reuses its room.
        line.resize(0);
        line.append(given).append('\t');
        appendUtf8(line, result.name);
        line.append('\n');
        out.write(line);
        return true;
    };
    if (rules::ruleReadsExif(rule.rule) || sort || reverse) {
        QByteArrayList text;
        paths.forEach([&](const QByteArray &given) {
            if (readsAsText(given, currentIsText))
                text.append(QByteArray(given.constData(), given.size()));
        });
        if (!sort && reverse)
            std::reverse(text.begin(), text.end());
        for (const ComputedName &name : computeNames(text, std::move(rule), settings, language, exif, sort)) {
            if (!write(name.given, name.result))
                break;
        }
        return exitCode;
    }
    CliNamer namer(std::move(rule), settings, language, exif);
    controller::NameBatch &batch = namer.batch();
    const QDir current = QDir::current();
    bool going = true;
    int position = 0;
    // Refilled for each path, without a new string each time.
    QString path;
    paths.forEach([&](const QByteArray &given) {
        if (!going)
            return;
        // Most paths of a long list are ASCII, absolute and clean: their text
        // is their bytes.
        if (common::isAscii(given) && rename::isCleanAbsolutePath(given)) {
            path.resize(0);
            path.append(QLatin1StringView(given));
        } else if (!readsAsText(given, currentIsText)) {
            return;
        } else if (filelist::isTextName(given)) {
            path = absolutePathOf(current, given);
        } else {
            // A name that is not text is read by the rule as Windows-1252.
            path = filelist::FileEntry::of(absolutePath(given)).readablePath();
        }
        going = write(given, batch.next(path, ++position).result);
    });
    return exitCode;
}

} // namespace tarvello::cli
