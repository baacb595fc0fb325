#include "cli/CliOptions.h"

#include "settings/Settings.h"
#include "common/Vb.h"
#include "common/VbError.h"
#include "rules/RuleCheck.h"

#include <QFile>

#include <algorithm>
#include <iterator>

namespace tarvello::cli {

namespace {

// Whether the conversion takes the text without a run-time error.
template<typename Convert>
bool converts(Convert convert)
{
    try {
        convert();
        return true;
    } catch (const common::VbError &) {
        return false;
    }
}

std::optional<int> caseIndexOf(const QString &value)
{
    if (value == QLatin1String("preserve"))
        return settings::CasePreserve;
    if (value == QLatin1String("upper"))
        return settings::CaseUpper;
    if (value == QLatin1String("lower"))
        return settings::CaseLower;
    return std::nullopt;
}

// The options that take no value.
const std::pair<const char *, bool CliOptions::*> kFlags[] = {
    {"--trim", &CliOptions::trim},
    {"--upper-first", &CliOptions::upperFirst},
    {"--upper-words", &CliOptions::upperWords},
    {"--no-forbidden", &CliOptions::noForbidden},
    {"--no-numbering", &CliOptions::noNumbering},
    {"--skip-conflicts", &CliOptions::skipConflicts},
    {"--set-aside", &CliOptions::setAside},
    {"--reverse", &CliOptions::reverse},
    {"--csv", &CliOptions::csv},
    {"--help", &CliOptions::help},
};

} // namespace

ParsedArguments parseCliOptions(const QByteArrayList &arguments)
{
    ParsedArguments parsed;
    CliOptions &o = parsed.options;
    auto fail = [&parsed](CliError::Kind kind, const QString &option, const QString &value = {}) {
        if (!parsed.error)
            parsed.error = CliError{kind, option, value};
    };

    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray &argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith("--")) {
            parsed.operands.append(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        QString option = QFile::decodeName(argument);
        std::optional<QString> inlineValue;
        if (const qsizetype eq = option.indexOf(QLatin1Char('=')); eq > 0) {
            inlineValue = option.mid(eq + 1);
            option.truncate(eq);
        }
        // The value of an option that takes one: inline, or the next argument.
        auto value = [&]() -> std::optional<QString> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 >= arguments.size()) {
                fail(CliError::MissingValue, option);
                return std::nullopt;
            }
            return QFile::decodeName(arguments.at(++i));
        };

        if (option == QLatin1String("--rule")) {
            o.rule = value();
        } else if (option == QLatin1String("--start")) {
            o.start = value();
            if (o.start && *o.start != QLatin1String("#") && !converts([&] { common::vbCLng(*o.start); }))
                fail(CliError::BadValue, option, *o.start);
        } else if (option == QLatin1String("--step")) {
            o.step = value();
            if (o.step && !converts([&] { common::vbCInt(*o.step); }))
                fail(CliError::BadValue, option, *o.step);
        } else if (option == QLatin1String("--case")) {
            if (const auto text = value()) {
                if (const auto index = caseIndexOf(*text))
                    o.caseIndex = *index;
                else
                    fail(CliError::BadValue, option, *text);
            }
        } else if (option == QLatin1String("--extension")) {
            o.newExtension = value();
            if (o.newExtension && rules::holdsControlCharacter(*o.newExtension))
                fail(CliError::BadValue, option, *o.newExtension);
        } else if (option == QLatin1String("--sort")) {
            if (const auto text = value()) {
                if (const auto key = controller::sortKeyOf(*text))
                    o.sort = key;
                else
                    fail(CliError::BadValue, option, *text);
            }
        } else if (option == QLatin1String("--run")) {
            if (const auto text = value()) {
                bool ok = false;
                o.run = text->toInt(&ok);
                if (!ok || *o.run < 1)
                    fail(CliError::BadValue, option, *text);
            }
        } else if (option == QLatin1String("--filter")) {
            o.filter = value();
        } else if (option == QLatin1String("--exif-tool")) {
            if (const auto text = value()) {
                bool ok = false;
                const int choice = text->toInt(&ok);
                if (ok && choice >= 1 && choice <= 5)
                    o.exifTool = choice;
                else
                    fail(CliError::BadValue, option, *text);
            }
        } else if (option == QLatin1String("--settings")) {
            o.settingsFile = value().value_or(QString());
        } else if (option == QLatin1String("--lang")) {
            if (const auto name = value())
                o.language = *name;
        } else if (const auto found = std::find_if(std::begin(kFlags), std::end(kFlags),
                                                   [&](const auto &f) { return option == QLatin1String(f.first); });
                   found != std::end(kFlags)) {
            if (inlineValue)
                fail(CliError::BadValue, option, *inlineValue);
            o.*found->second = true;
        } else {
            fail(CliError::UnknownOption, option);
        }
    }
    return parsed;
}

settings::RuleOptions ruleOf(const CliOptions &options, const settings::Settings &settings)
{
    settings::RuleOptions rule = settings.rule;
    if (options.rule)
        rule.rule = *options.rule;
    if (options.start) {
        rule.startText = *options.start;
        rule.counterStart = rule.startText == QLatin1String("#") ? settings::kContinuationStart : common::vbCLng(rule.startText);
    }
    if (options.step) {
        rule.stepText = *options.step;
        rule.counterStep = common::vbCInt(rule.stepText);
    }
    if (options.newExtension) {
        rule.changeExtension = 1;
        rule.newExtension = *options.newExtension;
    }
    if (options.filter)
        rule.extensionFilter = *options.filter;
    rule.caseIndex = options.caseIndex;
    if (options.trim)
        rule.trimSpaces = 1;
    if (options.upperFirst)
        rule.upperFirstChar = 1;
    if (options.upperWords)
        rule.upperEachWord = 1;
    if (options.noForbidden)
        rule.replaceForbidden = 0;
    if (options.noNumbering)
        rule.numberIdentical = 0;
    return rule;
}

} // namespace tarvello::cli
