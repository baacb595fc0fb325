#include "cli/CliSupport.h"

#include "controller/NameBatch.h"
#include "settings/Settings.h"
#include "exif/ExifReader.h"
#include "filelist/FolderScan.h"
#include "lang/Language.h"
#include "rules/Environment.h"
#include "rules/IdenticalNameTable.h"

#include <QIODevice>

#include <filesystem>
#include <numeric>
#include <system_error>

namespace tarvello::cli {

namespace {

const QByteArray kProgram = QByteArrayLiteral("tarvello-cli: ");

// Names that are not text are listed by name up to this many; the rest are counted.
constexpr int kNotTextListed = 20;

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

QByteArrayList pathsOf(const QByteArrayList &operands, QIODevice &in)
{
    QByteArrayList paths;
    for (const QByteArray &operand : operands) {
        if (operand != "-") {
            if (!operand.isEmpty())
                paths.append(operand);
            continue;
        }
        // Read whole, not by lines: a line holding NUL stays whole.
        for (QByteArray line : in.readAll().split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            if (!line.isEmpty())
                paths.append(line);
        }
    }
    return paths;
}

common::NativePath absolutePath(const QByteArray &given)
{
    if (given.startsWith('/'))
        return common::NativePath::fromBytes(given).cleaned();
    std::error_code error;
    const std::string current = std::filesystem::current_path(error).native();
    return common::NativePath::fromBytes(QByteArray::fromStdString(current))
        .child(common::NativePath::fromBytes(given))
        .cleaned();
}

QByteArrayList takeNotText(QByteArrayList &paths)
{
    QByteArrayList notText;
    const auto refused = [&](const QByteArray &path) {
        if (filelist::isTextName(absolutePath(path).folder().bytes()))
            return false;
        notText.append(path);
        return true;
    };
    paths.removeIf(refused);
    return notText;
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

QList<ComputedName> computeNames(const QByteArrayList &paths, settings::RuleOptions rule, const settings::Settings &settings,
                                 lang::Language &language, exif::ExifReader &exif,
                                 const std::optional<controller::ListSort> &sort)
{
    const rules::SystemClock clock;
    const rules::DiskFileFacts files;
    const bool readsExif = rules::ruleReadsExif(rule.rule);
    rules::IdenticalNameTable identicalNames;
    controller::NameBatch batch(std::move(rule),
                                rules::NameEngine(rules::NameSettings::fromSettings(settings), clock, files, exif, language),
                                identicalNames);
    QList<filelist::FileEntry> entries;
    entries.reserve(paths.size());
    for (const QByteArray &given : paths)
        entries.append(filelist::FileEntry::of(absolutePath(given)));
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
        name.native = entries.at(row).nativePath().bytes();
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
    switch (name.result.kind) {
    case rules::NameResult::Kind::PositionError:
        return kProgram + name.given + ": " + name.result.message.toUtf8();
    case rules::NameResult::Kind::RuntimeError:
        return kProgram + name.given + ": " + rules::afficheNomErrorText(*name.result.error).toUtf8();
    default:
        return {};
    }
}

} // namespace tarvello::cli
