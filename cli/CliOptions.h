#pragma once

#include "controller/ListSort.h"
#include "settings/RuleOptions.h"

#include <QByteArrayList>
#include <QString>

#include <optional>

namespace tarvello::settings {
struct Settings;
}

namespace tarvello::cli {

// A command line that cannot be followed, told to the user in their language.
struct CliError {
    enum Kind {
        UnknownOption,  // option
        MissingValue,   // option
        BadValue,       // option, value
    };
    Kind kind = UnknownOption;
    QString option;
    QString value;
};

// The options of a command line; those of the rule are shared by the commands
// that compute names, and one that is absent keeps the settings-file default.
struct CliOptions {
    std::optional<QString> rule;
    std::optional<QString> start;
    std::optional<QString> step;
    std::optional<QString> newExtension;
    std::optional<QString> filter;
    int caseIndex = settings::CasePreserve;
    bool trim = false;
    bool upperFirst = false;
    bool upperWords = false;
    bool noForbidden = false;
    bool noNumbering = false;
    // rename only: rename the files without conflict and leave the others.
    bool skipConflicts = false;
    // undo and recover only: set a damaged record aside instead.
    bool setAside = false;
    // preview and rename: the order the files are numbered in (the order
    // given when absent), the other way round with reverse.
    std::optional<controller::SortKey> sort;
    bool reverse = false;
    // undo only: the run of the history to undo (1 for the newest) instead of the last rename.
    std::optional<int> run;
    // history only: the whole history as CSV.
    bool csv = false;
    // preview and rename: the Exif reader choice, 1 to 5 (otherwise the
    // settings file's, else the built-in reader).
    std::optional<int> exifTool;
    QString settingsFile;
    QString language = QStringLiteral("Français");
    bool help = false;
};

// The options and what is left of a command line.
struct ParsedArguments {
    CliOptions options;
    // The other arguments in order, as the bytes given (file paths, "-").
    QByteArrayList operands;
    std::optional<CliError> error;
};

// Reads the options ("--rule TEXT" or "--rule=TEXT", "--" ends the
// options) out of the arguments that follow a command's name. A counter start
// must be "#" or a 32-bit number, a step a 16-bit number and an extension
// free of control characters; the first problem found is kept in error.
ParsedArguments parseCliOptions(const QByteArrayList &arguments);

// The rule of the options over the rule of the settings record: a start of "#"
// selects continuation mode, a new extension (even empty) turns on the change
// of extension.
settings::RuleOptions ruleOf(const CliOptions &options, const settings::Settings &settings);

} // namespace tarvello::cli
