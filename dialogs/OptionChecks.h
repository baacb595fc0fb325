#pragma once

#include "settings/Settings.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tarvello::lang {
class Language;
}

namespace tarvello::dialogs {

// What the options dialog's controls hold, read off them when the user
// confirms. The two editable lists come without their trailing entry row.
struct OptionForm {
    int yearFormat = -1;  // -1: no entry selected
    int monthFormat = -1;
    QList<settings::ForbiddenCharacterRow> forbiddenCharacters;
    QStringList forbiddenFiles;
    int ruleMode = 1;
    int startMode = -1;   // -1: no choice selected
    QString startReset;
    int stepMode = 1;
    QString stepReset;
    bool showThumbnails = true;
    QString thumbnailExtensions;
    int thumbnailSize = 0;
    int startFolder = 0;
    QString specificFolder;
    QString jheadExtensions;
    QString exiftoolExtensions;
    bool operator==(const OptionForm &) const = default;
};

// The form as the dialog opens on these settings.
OptionForm optionFormOf(const settings::Settings &settings);

// The control a refused value belongs to, so the dialog can show it.
enum class OptionField { StartReset, StepReset, ForbiddenCharacters, SpecificFolder };

struct OptionProblem {
    OptionField field;
    int row = -1;  // the list row, for the forbidden characters
    QString text;  // the message, from the language file
};

// True when the text is one character, the only replacement a row of the
// forbidden characters may have.
bool isSingleCharacter(const QString &text);

// The first value of the form that the settings cannot take, with the message
// that says why; nullopt when the form can be confirmed.
std::optional<OptionProblem> checkOptionForm(const OptionForm &form, lang::Language &language);

// Writes a checked form into the settings. documentsFolder is what the start
// folder "documents" stores. True when the thumbnails changed (their view
// must be redrawn).
bool applyOptionForm(const OptionForm &form, settings::Settings &settings, const QString &documentsFolder);

// The language change of the options dialog: the chosen language becomes the
// current one and the stored one, and a comment of the current rule that only
// stands in for none (message 93 or 95) is given in the new language. False,
// and nothing changes, when the language is already current or its file is
// missing.
bool changeLanguage(settings::Settings &settings, lang::Language &language, const QString &displayName);

} // namespace tarvello::dialogs
