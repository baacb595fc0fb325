#include "app/Cli.h"

#include "app/CliOptions.h"
#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "exif/ExifInfo.h"
#include "lang/ErrorText.h"
#include "lang/Language.h"
#include "rules/Environment.h"
#include "rules/FolderScanCache.h"
#include "rules/IdenticalNameTable.h"
#include "rules/NameEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

namespace tarvello::app {

namespace {

const QByteArray kProgram = QByteArrayLiteral("tarvello-cli: ");

// The texts of the command line, in the chosen language (section EXTRA).
class CliTexts
{
public:
    explicit CliTexts(const lang::Language &language) : m_language(language) {}

    QString text(const char *key, const QString &param1 = {}, const QString &param2 = {}) const
    {
        return m_language.extra(QLatin1String(key), param1, param2);
    }

    QString errorText(const CliError &error) const
    {
        switch (error.kind) {
        case CliError::UnknownOption: return text("cliErrUnknownOption", error.option);
        case CliError::MissingValue: return text("cliErrMissingValue", error.option);
        case CliError::BadValue: return text("cliErrBadValue", error.option, error.value);
        }
        return {};
    }

private:
    const lang::Language &m_language;
};

void writeLine(QIODevice &device, const QByteArray &line)
{
    device.write(line);
    device.write("\n");
}

void printHelp(QIODevice &out, const CliTexts &texts, const QString &defaultRule)
{
    writeLine(out, texts.text("cliUsage").toUtf8());
    writeLine(out, texts.text("cliPurpose").toUtf8());
    writeLine(out, {});
    for (const char *key : {"cliOptRule", "cliOptStart", "cliOptStep", "cliOptCase", "cliOptExtension",
                            "cliOptFilter", "cliOptTrim", "cliOptUpperFirst", "cliOptUpperWords",
                            "cliOptNoForbidden", "cliOptNoNumbering", "cliOptSettings", "cliOptLang",
                            "cliOptHelp"}) {
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

// The paths to preview in order: the operands, with "-" standing for the lines
// of standard input. Empty operands and lines name no file and are passed over.
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

} // namespace

int runCli(const QByteArrayList &arguments, QIODevice &in, QIODevice &out, QIODevice &err,
           const QString &programFolder)
{
    const bool isPreview = !arguments.isEmpty() && arguments.first() == "preview";
    const ParsedArguments parsed = parseRuleOptions(isPreview ? arguments.mid(1) : arguments);
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
        writeLine(err, kProgram + message.toUtf8());
        return CliUsageError;
    }
    const CliTexts texts(language);
    auto usageError = [&](const QString &message) {
        writeLine(err, kProgram + message.toUtf8());
        writeLine(err, kProgram + texts.text("cliSeeHelp").toUtf8());
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
    if (!isPreview) {
        return usageError(arguments.isEmpty() ? texts.text("cliErrNoCommand")
                                              : texts.text("cliErrCommand", QFile::decodeName(arguments.first())));
    }
    if (parsed.operands.isEmpty())
        return usageError(texts.text("cliErrNoFiles"));
    if (!options.settingsFile.isEmpty()) {
        QString message;
        if (!loadSettingsTables(options.settingsFile, programFolder, settings, texts, message)) {
            writeLine(err, kProgram + message.toUtf8());
            return CliUsageError;
        }
    }

    rules::RuleSettings rule = ruleSettingsOf(options, settings);
    const rules::SystemClock clock;
    const rules::DiskFileFacts files;
    exif::NoExifSource exif;
    const rules::NameEngine engine(rules::NameSettings::fromSettings(settings), clock, files, exif, language);
    rules::IdenticalNameTable identicalNames;
    rules::FolderScanCache folders;
    const QDir current = QDir::current();
    int exitCode = CliSuccess;
    int position = 0;
    for (const QByteArray &given : pathsOf(parsed.operands, in)) {
        const QString path = QDir::cleanPath(current.absoluteFilePath(QFile::decodeName(given)));
        const rules::NameResult result = engine.computeName(path, ++position, rule, identicalNames, folders);
        if (result.kind == rules::NameResult::Kind::PositionError) {
            writeLine(err, kProgram + given + ": " + result.message.toUtf8());
            return CliNameErrors;
        }
        if (result.kind == rules::NameResult::Kind::RuntimeError) {
            writeLine(err, kProgram + given + ": " + rules::afficheNomErrorText(*result.error).toUtf8());
            exitCode = CliNameErrors;
        }
        writeLine(out, given + '\t' + result.name.toUtf8());
    }
    return exitCode;
}

} // namespace tarvello::app
