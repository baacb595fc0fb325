#include "app/Cli.h"

#include "app/CliOptions.h"
#include "app/CliRename.h"
#include "app/CliSupport.h"
#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "common/Zub.h"
#include "lang/ErrorText.h"
#include "lang/Language.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

namespace tarvello::app {

namespace {

enum class Command { None, Preview, Rename, Undo, Recover };

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
    return Command::None;
}

void printHelp(QIODevice &out, const CliTexts &texts, const QString &defaultRule)
{
    for (const auto &[usage, purpose] : {std::pair{"cliUsage", "cliPurpose"}, std::pair{"cliUsageRename", "cliPurposeRename"},
                                         std::pair{"cliUsageUndo", "cliPurposeUndo"},
                                         std::pair{"cliUsageRecover", "cliPurposeRecover"}}) {
        writeLine(out, texts.text(usage).toUtf8());
        writeLine(out, "  " + texts.text(purpose).toUtf8());
    }
    writeLine(out, {});
    for (const char *key : {"cliOptRule", "cliOptStart", "cliOptStep", "cliOptCase", "cliOptExtension",
                            "cliOptFilter", "cliOptTrim", "cliOptUpperFirst", "cliOptUpperWords",
                            "cliOptNoForbidden", "cliOptNoNumbering", "cliOptSkipConflicts", "cliOptSettings",
                            "cliOptLang", "cliOptHelp"}) {
        writeLine(out, "  " + texts.text(key, defaultRule).toUtf8());
    }
    writeLine(out, {});
    writeLine(out, texts.text("cliExitCodes").toUtf8());
}

// Takes the forbidden-character table, the forbidden file list and the date
// formats from a settings file; false (with the message) when it cannot.
bool loadSettingsTables(const QString &path, const QString &programFolder, Settings &settings, const CliTexts &texts,
                        QString &message)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        message = texts.text("cliErrSettingsFile", path);
        return false;
    }
    Settings loaded;
    lang::Language scratch(programFolder);
    const SettingsLoadResult result = readSettingsFile(IniFile(path), loaded, scratch, QString());
    if (result.error) {
        message = texts.text("cliErrSettingsValue", path,
                             lang::systemErrorText(*result.error, QStringLiteral("ReadIniFile"),
                                                   QStringLiteral("Module modIniFile"), result.line));
        return false;
    }
    settings.forbiddenCharacters = loaded.forbiddenCharacters;
    settings.forbiddenFiles = loaded.forbiddenFiles;
    settings.Option_FormatAnnee = loaded.Option_FormatAnnee;
    settings.Option_FormatMois = loaded.Option_FormatMois;
    return true;
}

// True when only the options every command takes were given.
bool onlyCommonOptions(const RuleOptions &options)
{
    const RuleOptions none;
    return !options.rule && !options.start && !options.step && !options.newExtension && !options.filter
        && options.caseIndex == none.caseIndex && !options.trim && !options.upperFirst && !options.upperWords
        && !options.noForbidden && !options.noNumbering && !options.skipConflicts && options.settingsFile.isEmpty();
}

int preview(const QList<ComputedName> &names, QIODevice &out, QIODevice &err)
{
    int exitCode = CliSuccess;
    for (const ComputedName &name : names) {
        if (const QByteArray line = nameErrorLine(name); !line.isEmpty()) {
            writeLine(err, line);
            if (name.result.kind == rules::NameResult::Kind::PositionError)
                return CliNameErrors;
            exitCode = CliNameErrors;
        }
        writeLine(out, name.given + '\t' + name.result.name.toUtf8());
    }
    return exitCode;
}

} // namespace

int runCli(const QByteArrayList &arguments, QIODevice &in, QIODevice &out, QIODevice &err,
           const QString &programFolder)
{
    const Command command = commandOf(arguments);
    const ParsedArguments parsed = parseRuleOptions(command == Command::None ? arguments : arguments.mid(1));
    const RuleOptions &options = parsed.options;

    lang::Language language(programFolder);
    language.setLanguage(options.language);
    if (!language.fileExists()) {
        lang::Language french(programFolder);
        french.setLanguage(RuleOptions().language);
        QString message = french.extra(QStringLiteral("cliErrLanguage"), language.languageFilePath());
        // Without any language file there is no text to take; this one line
        // says what is missing.
        if (message.isEmpty())
            message = QStringLiteral("language file not found: %1").arg(language.languageFilePath());
        writeMessage(err, message);
        return CliUsageError;
    }
    const CliTexts texts(language);
    auto usageError = [&](const QString &message) {
        writeMessage(err, message);
        writeMessage(err, texts.text("cliSeeHelp"));
        return CliUsageError;
    };

    Settings settings;
    settings.RegleRenommage_Regle = language.GetMessage(16);
    settings.RegleRenommage_Commentaire = language.GetMessage(95);
    if (parsed.error)
        return usageError(texts.errorText(*parsed.error));
    if (options.help) {
        printHelp(out, texts, settings.RegleRenommage_Regle);
        return CliSuccess;
    }
    if (command == Command::None) {
        return usageError(arguments.isEmpty() ? texts.text("cliErrNoCommand")
                                              : texts.text("cliErrCommand", QFile::decodeName(arguments.first())));
    }
    const QString settingsFolder = common::ZubCheminDossier(common::FolderApplicationData) + QStringLiteral("/Tarvello");
    if (command == Command::Undo || command == Command::Recover) {
        if (!parsed.operands.isEmpty() || !onlyCommonOptions(options))
            return usageError(texts.text("cliErrUndoRecoverOptions"));
        return command == Command::Undo ? undoFiles(settingsFolder, language, out, err)
                                        : recoverFiles(settingsFolder, language, out, err);
    }
    if (command == Command::Preview && options.skipConflicts)
        return usageError(texts.errorText({CliError::UnknownOption, QStringLiteral("--skip-conflicts"), {}}));
    if (parsed.operands.isEmpty())
        return usageError(texts.text("cliErrNoFiles"));
    if (!options.settingsFile.isEmpty()) {
        QString message;
        if (!loadSettingsTables(options.settingsFile, programFolder, settings, texts, message)) {
            writeMessage(err, message);
            return CliUsageError;
        }
    }

    const QByteArrayList paths = pathsOf(parsed.operands, in);
    bool refused = false;
    for (const QByteArray &path : paths) {
        if (!namesRenamableEntry(path)) {
            writeMessage(err, texts.text("cliErrNotAnEntry", QFile::decodeName(path)));
            refused = true;
        }
    }
    if (refused)
        return CliUsageError;
    const QList<ComputedName> names = computeNames(paths, ruleSettingsOf(options, settings), settings, language);
    if (command == Command::Preview)
        return preview(names, out, err);
    return renameFiles(names, options.skipConflicts, settingsFolder, language, out, err);
}

} // namespace tarvello::app
