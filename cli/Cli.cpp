#include "cli/Cli.h"

#include "cli/CliOptions.h"
#include "cli/CliRename.h"
#include "cli/CliSupport.h"
#include "common/LargePages.h"
#include "common/NativePath.h"
#include "ini/IniFile.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"
#include "common/Vb.h"
#include "common/Zub.h"
#include "exif/ExifReader.h"
#include "lang/ErrorText.h"
#include "lang/Language.h"
#include "rules/RuleCheck.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIODevice>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <optional>

namespace tarvello::cli {

namespace {

enum class Command { None, Preview, Rename, Undo, Recover, History };

Command commandOf(const QByteArrayList &arguments)
{
    const QByteArray name = arguments.value(0);
    if (name == "preview")
        return Command::Preview;
    if (name == "rename")
        return Command::Rename;
    if (name == "undo")
        return Command::Undo;
    if (name == "recover")
        return Command::Recover;
    if (name == "history")
        return Command::History;
    return Command::None;
}

// Makes the asked language current when its file can be read. When it
// cannot, the default language or another readable one stands in and the
// unreadable file is told once; a language asked for by name whose file does
// not exist is a usage error. With no readable file there is no text to say
// anything with: a fixed line in both languages, and the exit code.
std::optional<int> chooseLanguage(lang::Language &language, const QString &asked, QIODevice &err)
{
    language.setLanguage(asked);
    if (language.isReadable())
        return std::nullopt;
    const QString askedFile = language.languageFilePath();
    const QString defaultLanguage = CliOptions().language;
    const bool unknown = asked != defaultLanguage && !language.fileExists();
    QStringList standIns = {defaultLanguage};
    for (const lang::LanguageEntry &entry : language.availableLanguages())
        standIns.append(entry.displayName);
    for (const QString &standIn : std::as_const(standIns)) {
        if (standIn == asked)
            continue;
        language.setLanguage(standIn);
        if (!language.isReadable())
            continue;
        const CliTexts texts(language);
        if (unknown) {
            writeMessage(err, texts.text("cliErrLanguage", askedFile));
            writeMessage(err, texts.text("cliSeeHelp"));
            return CliUsageError;
        }
        writeMessage(err, language.extra(QStringLiteral("LanguageUnreadable"), askedFile, language.displayName()));
        return std::nullopt;
    }
    writeMessage(err, QStringLiteral("aucun fichier de langue lisible (%1) : l'installation est incomplète, rien n'est fait.\n"
                                     "no readable language file (%1): the installation is incomplete, nothing is done.")
                          .arg(askedFile));
    return CliBrokenInstallation;
}

// Why the rule gives no name to any file, or nothing when it can be applied.
// An empty rule has its message; a rule of spaces, which the window passes
// over without a word, is told here, where no list shows that nothing moved.
std::optional<QString> ruleProblem(const QString &rule, lang::Language &language, const CliTexts &texts)
{
    if (rule.isEmpty())
        return language.GetMessage(37);
    if (common::vbTrim(rule).isEmpty())
        return texts.text("cliBlankRule");
    if (rules::holdsControlCharacter(rule))
        return texts.text("RuleControlCharacter");
    if (const std::optional<rules::RegexRefusal> refusal = rules::regexRefusal(rule))
        return rules::regexRefusalText(language, *refusal);
    return std::nullopt;
}

void printHelp(QIODevice &out, const CliTexts &texts, const QString &defaultRule)
{
    for (const auto &[usage, purpose] : {std::pair{"cliUsage", "cliPurpose"}, std::pair{"cliUsageRename", "cliPurposeRename"},
                                         std::pair{"cliUsageUndo", "cliPurposeUndo"},
                                         std::pair{"cliUsageRecover", "cliPurposeRecover"},
                                         std::pair{"cliUsageHistory", "cliPurposeHistory"}}) {
        writeLine(out, texts.text(usage).toUtf8());
        writeLine(out, "  " + texts.text(purpose).toUtf8());
    }
    writeLine(out, {});
    for (const char *key : {"cliOptRule", "cliOptStart", "cliOptStep", "cliOptCase", "cliOptExtension",
                            "cliOptFilter", "cliOptTrim", "cliOptUpperFirst", "cliOptUpperWords",
                            "cliOptNoForbidden", "cliOptNoNumbering", "cliOptSort", "cliOptReverse", "cliOptExifTool",
                            "cliOptSkipConflicts", "cliOptSetAside", "cliOptRun", "cliOptCsv", "cliOptSettings", "cliOptLang",
                            "cliOptHelp"}) {
        writeLine(out, "  " + texts.text(key, defaultRule).toUtf8());
    }
    writeLine(out, {});
    writeLine(out, texts.text("cliExitCodes").toUtf8());
    writeLine(out, texts.text("cliExitCodesMore").toUtf8());
}

// Takes the forbidden-character table, the forbidden file list and the date
// formats from a settings file; false (with the message) when it cannot.
bool loadSettingsTables(const QString &path, const QString &programFolder, settings::Settings &settings, const CliTexts &texts,
                        QString &message)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        message = texts.text("cliErrSettingsFile", path);
        return false;
    }
    settings::Settings loaded;
    lang::Language scratch(programFolder);
    const settings::SettingsLoadResult result = settings::readSettingsFile(ini::IniFile(path), loaded, scratch, QString());
    if (result.error) {
        message = texts.text("cliErrSettingsValue", path,
                             lang::systemErrorText(*result.error, QStringLiteral("ReadIniFile"),
                                                   QStringLiteral("Module modIniFile"), result.line)
                                 + QStringLiteral(" (")
                                 + texts.text("SettingsErrorPlace", result.key, QString::number(result.fileLine))
                                 + QLatin1Char(')'));
        return false;
    }
    settings.forbiddenCharacters = loaded.forbiddenCharacters;
    settings.forbiddenFiles = loaded.forbiddenFiles;
    settings.Option_FormatAnnee = loaded.Option_FormatAnnee;
    settings.Option_FormatMois = loaded.Option_FormatMois;
    settings.Option_OutilExifChoisi = loaded.Option_OutilExifChoisi;
    settings.Option_ExtensionTraiteAvecJHEAD = loaded.Option_ExtensionTraiteAvecJHEAD;
    settings.Option_ExtensionTraiteAvecEXIFTOOL = loaded.Option_ExtensionTraiteAvecEXIFTOOL;
    return true;
}

// True when only the options every command takes were given.
bool onlyCommonOptions(const CliOptions &options)
{
    const CliOptions none;
    return !options.rule && !options.start && !options.step && !options.newExtension && !options.filter
        && options.caseIndex == none.caseIndex && !options.trim && !options.upperFirst && !options.upperWords
        && !options.noForbidden && !options.noNumbering && !options.skipConflicts && !options.exifTool
        && options.settingsFile.isEmpty() && !options.run && !options.csv && !options.sort && !options.reverse;
}

} // namespace

int runCli(const QByteArrayList &arguments, QIODevice &in, QIODevice &out, QIODevice &err,
           const QString &programFolder)
{
    const Command command = commandOf(arguments);
    const ParsedArguments parsed = parseCliOptions(command == Command::None ? arguments : arguments.mid(1));
    const CliOptions &options = parsed.options;

    lang::Language language(programFolder);
    if (const std::optional<int> refused = chooseLanguage(language, options.language, err))
        return *refused;
    const CliTexts texts(language);
    auto usageError = [&](const QString &message) {
        writeMessage(err, message);
        writeMessage(err, texts.text("cliSeeHelp"));
        return CliUsageError;
    };

    settings::Settings settings;
    settings.rule.rule = language.GetMessage(16);
    settings.rule.comment = language.GetMessage(95);
    if (parsed.error)
        return usageError(texts.errorText(*parsed.error));
    if (options.help) {
        printHelp(out, texts, settings.rule.rule);
        return CliSuccess;
    }
    if (command == Command::None) {
        return usageError(arguments.isEmpty()
                              ? texts.text("cliErrNoCommand")
                              : texts.text("cliErrCommand", common::NativePath::fromBytes(arguments.first()).text()));
    }
    const QString settingsFolder = common::ZubCheminDossier(common::FolderApplicationData) + QStringLiteral("/Tarvello");
    if (command == Command::History) {
        CliOptions rest = options;
        rest.csv = false;
        if (!parsed.operands.isEmpty() || !onlyCommonOptions(rest) || options.setAside)
            return usageError(texts.text("cliErrHistoryOptions"));
        return showHistory(settingsFolder, options.csv, language, out, err);
    }
    if (command == Command::Undo && options.run) {
        CliOptions rest = options;
        rest.run.reset();
        if (!parsed.operands.isEmpty() || !onlyCommonOptions(rest) || options.setAside)
            return usageError(texts.text("cliErrUndoRecoverOptions"));
        return undoHistoryRun(settingsFolder, *options.run, language, out, err);
    }
    if (command == Command::Undo || command == Command::Recover) {
        if (!parsed.operands.isEmpty() || !onlyCommonOptions(options))
            return usageError(texts.text("cliErrUndoRecoverOptions"));
        if (options.setAside) {
            return setRecordAside(command == Command::Undo ? rename::RecordKind::Undo : rename::RecordKind::Journal,
                                  settingsFolder, language, err);
        }
        return command == Command::Undo ? undoFiles(settingsFolder, language, out, err)
                                        : recoverFiles(settingsFolder, language, out, err);
    }
    if (command == Command::Preview && options.skipConflicts)
        return usageError(texts.errorText({CliError::UnknownOption, QStringLiteral("--skip-conflicts"), {}}));
    if (options.setAside)
        return usageError(texts.errorText({CliError::UnknownOption, QStringLiteral("--set-aside"), {}}));
    if (options.run)
        return usageError(texts.errorText({CliError::UnknownOption, QStringLiteral("--run"), {}}));
    if (options.csv)
        return usageError(texts.errorText({CliError::UnknownOption, QStringLiteral("--csv"), {}}));
    if (parsed.operands.isEmpty())
        return usageError(texts.text("cliErrNoFiles"));
    if (!options.settingsFile.isEmpty()) {
        QString message;
        if (!loadSettingsTables(options.settingsFile, programFolder, settings, texts, message)) {
            writeMessage(err, message);
            return CliUsageError;
        }
    }

    const settings::RuleOptions rule = ruleOf(options, settings);
    if (const std::optional<QString> problem = ruleProblem(rule.rule, language, texts)) {
        writeMessage(err, *problem);
        return CliUsageError;
    }

    // A rename fills its heap with some fifteen bytes for each byte of its
    // list (paths, names, plan, records): the first half of those pages is
    // touched on the second core while the list is read.
    constexpr qint64 kHeapPerListByte = 8;
    const std::jthread warming = command == Command::Rename && !in.isSequential()
        ? common::warmHeap(size_t(std::max<qint64>(in.size(), 0) * kHeapPerListByte))
        : std::jthread();
    // A rename copies the paths it renames end to end into one block, each
    // followed by a NUL, and goes on with views of it that the system reads
    // in place: a list of a million files takes no allocation a path, nor a
    // fresh page of memory for each few. The block outlives the rename; the
    // bytes read go once it is made.
    std::optional<PathInput> input(std::in_place, parsed.operands, in);
    std::unique_ptr<char[]> renamedBytes;
    char *renamedEnd = nullptr;
    QByteArrayList paths;
    if (command != Command::Preview) {
        qsizetype count = 0;
        qsizetype room = 0;
        input->forEach([&](const QByteArray &path) {
            ++count;
            room += path.size() + 1;
        });
        paths.reserve(count);
        renamedBytes = std::make_unique_for_overwrite<char[]>(size_t(room));
        renamedEnd = renamedBytes.get();
    }
    bool refused = false;
    const bool currentIsText = currentFolderIsText();
    QByteArrayList notText;
    input->forEach([&](const QByteArray &path) {
        if (!namesRenamableEntry(path)) {
            writeMessage(err, texts.text("cliErrNotAnEntry", common::NativePath::fromBytes(path).text()));
            refused = true;
        } else if (!readsAsText(path, currentIsText)) {
            notText.append(QByteArray(path.constData(), path.size()));
        } else if (command != Command::Preview) {
            paths.append(QByteArray::fromRawData(renamedEnd, path.size()));
            renamedEnd = std::copy_n(path.constData(), path.size(), renamedEnd);
            *renamedEnd++ = '\0';
        }
    });
    if (refused)
        return CliUsageError;
    writeNotText(err, texts, notText);
    exif::ExifOptions exifOptions = exif::exifOptions(settings);
    exifOptions.choice =
        options.exifTool.value_or(options.settingsFile.isEmpty() ? int(exif::ChoiceBuiltin) : settings.Option_OutilExifChoisi);
    // The tools are found beside the program first, as the window finds them.
    exifOptions.programFolder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : programFolder;
    // The external tools exchange files in a folder of this run's own inside
    // the private temporary folder, so that a run beside the window or
    // another run never shares their copy, argument file or output. It goes
    // after the reader, which stops the resident exiftool first.
    std::optional<QTemporaryDir> exifFolder;
    const bool sortsByTaken = options.sort == controller::SortKey::Taken;
    if ((rules::ruleReadsExif(rule.rule) || sortsByTaken) && exifOptions.choice != exif::ChoiceBuiltin) {
        QString why;
        const QString temporary = common::ZubGetTempDir(&why);
        if (temporary.isEmpty()) {
            writeMessage(err, why);
        } else {
            exifFolder.emplace(temporary + QStringLiteral("/cli-XXXXXX"));
            if (exifFolder->isValid()) {
                exifOptions.tempFolder = exifFolder->path();
                exifOptions.outputFile = exifFolder->path() + QStringLiteral("/tarvello-cli_exif.txt");
            }
        }
    }
    exif::ExifCache exifCache;
    exif::ExifReader exifReader(exifOptions, exifCache);
    exifReader.setEvents({.shown = {}, .batchStartFailed = [&] { writeMessage(err, texts.text("ExifBatchStartFailed")); }});
    std::optional<controller::ListSort> sort;
    if (options.sort)
        sort = controller::ListSort{*options.sort, options.reverse};
    int exitCode = CliSuccess;
    if (command == Command::Preview) {
        exitCode = previewNames(*input, currentIsText, rule, settings, language, exifReader, sort, options.reverse, out, err);
    } else {
        input.reset();
        if (!sort && options.reverse)
            std::reverse(paths.begin(), paths.end());
        exitCode = renameFiles(std::move(paths), rule, settings, language, exifReader, sort, options.skipConflicts,
                               settingsFolder, out, err);
    }
    return exitCode == CliSuccess && !notText.isEmpty() ? CliPathsNotText : exitCode;
}

} // namespace tarvello::cli
