#include "dialogs/OptionChecks.h"

#include "common/Vb.h"
#include "common/VbError.h"
#include "lang/Language.h"

#include <QFileInfo>

namespace tarvello::dialogs {

namespace {

// The message of a counter reset value that the 16-bit setting cannot hold.
std::optional<QString> counterProblem(const QString &text, lang::Language &language)
{
    if (!common::vbIsNumeric(text))
        return language.GetMessage(13);
    try {
        common::vbCInt(text);
    } catch (const common::VbError &) {
        return language.extra(QStringLiteral("OptionOutOfRange"), text.trimmed());
    }
    return std::nullopt;
}

} // namespace

OptionForm optionFormOf(const settings::Settings &s)
{
    OptionForm form;
    form.yearFormat = s.Option_FormatAnnee;
    form.monthFormat = s.Option_FormatMois;
    form.forbiddenCharacters = s.forbiddenCharacters;
    form.forbiddenFiles = s.forbiddenFiles;
    form.ruleMode = s.Option_RegleApresRenommage == 0 ? 0 : 1;
    form.startMode = s.Option_RegleDebutApresRenommage;
    form.startReset = QString::number(s.Option_RegleDebutResetRenommage);
    form.stepMode = s.Option_ReglePasApresRenommage == 0 ? 0 : 1;
    form.stepReset = QString::number(s.Option_ReglePasResetRenommage);
    form.showThumbnails = s.Option_AfficherVignette != 0;
    form.thumbnailExtensions = s.Option_FormatExtensionVignette;
    form.thumbnailSize = s.Option_TailleVignette;
    form.startFolder = s.Option_DossierDepart;
    form.specificFolder = s.Option_DossierSpecifique;
    form.jheadExtensions = s.Option_ExtensionTraiteAvecJHEAD;
    form.exiftoolExtensions = s.Option_ExtensionTraiteAvecEXIFTOOL;
    return form;
}

bool isSingleCharacter(const QString &text)
{
    return text.size() == 1 || (text.size() == 2 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate());
}

std::optional<OptionProblem> checkOptionForm(const OptionForm &form, lang::Language &language)
{
    if (const auto problem = counterProblem(form.startReset, language))
        return OptionProblem{OptionField::StartReset, -1, *problem};
    if (const auto problem = counterProblem(form.stepReset, language))
        return OptionProblem{OptionField::StepReset, -1, *problem};
    QString forbidden;
    for (const settings::ForbiddenCharacterRow &row : form.forbiddenCharacters)
        forbidden += row.characters;
    for (int i = 0; i < form.forbiddenCharacters.size(); ++i) {
        const settings::ForbiddenCharacterRow &row = form.forbiddenCharacters.at(i);
        if (row.characters.isEmpty())
            return OptionProblem{OptionField::ForbiddenCharacters, i, language.GetMessage(27)};
        if (!isSingleCharacter(row.replacement))
            return OptionProblem{OptionField::ForbiddenCharacters, i,
                                 language.extra(QStringLiteral("OptionNoReplacement"), row.characters)};
        // A replacement that is itself forbidden would put back what the row takes out.
        if (forbidden.contains(row.replacement))
            return OptionProblem{OptionField::ForbiddenCharacters, i,
                                 language.extra(QStringLiteral("OptionReplacementForbidden"), row.replacement)};
    }
    if (form.startFolder == 2 && !QFileInfo(form.specificFolder).isDir())
        return OptionProblem{OptionField::SpecificFolder, -1, language.GetMessage(88, form.specificFolder)};
    return std::nullopt;
}

bool applyOptionForm(const OptionForm &form, settings::Settings &s, const QString &documentsFolder)
{
    if (form.yearFormat >= 0)
        s.Option_FormatAnnee = qint16(form.yearFormat);
    if (form.monthFormat >= 0)
        s.Option_FormatMois = qint16(form.monthFormat);
    s.forbiddenCharacters = form.forbiddenCharacters;
    // The file always holds at least one name, empty when the user removed them all.
    s.forbiddenFiles = form.forbiddenFiles.isEmpty() ? QStringList{QString()} : form.forbiddenFiles;
    s.Option_RegleApresRenommage = form.ruleMode == 0 ? 0 : 1;
    if (form.startMode >= 0)
        s.Option_RegleDebutApresRenommage = qint16(form.startMode);
    s.Option_RegleDebutResetRenommage = common::vbCInt(form.startReset);
    s.Option_ReglePasApresRenommage = form.stepMode == 0 ? 0 : 1;
    s.Option_ReglePasResetRenommage = common::vbCInt(form.stepReset);

    const bool thumbnailsChanged = form.thumbnailExtensions != s.Option_FormatExtensionVignette
        || form.showThumbnails != (s.Option_AfficherVignette != 0) || form.thumbnailSize != s.Option_TailleVignette;
    s.Option_FormatExtensionVignette = form.thumbnailExtensions;
    s.Option_AfficherVignette = form.showThumbnails ? 1 : 0;
    s.Option_TailleVignette = qint16(form.thumbnailSize);

    s.Option_DossierDepart = form.startFolder >= 0 && form.startFolder <= 2 ? qint16(form.startFolder) : 0;
    if (s.Option_DossierDepart == 0)
        s.Option_DossierSpecifique = documentsFolder;
    else if (s.Option_DossierDepart == 2)
        s.Option_DossierSpecifique = form.specificFolder;

    s.Option_ExtensionTraiteAvecJHEAD = form.jheadExtensions.toUpper();
    s.Option_ExtensionTraiteAvecEXIFTOOL = form.exiftoolExtensions.toUpper();
    return thumbnailsChanged;
}

bool changeLanguage(settings::Settings &s, lang::Language &language, const QString &displayName)
{
    const QString noComment = language.GetMessage(93);
    const QString currentRule = language.GetMessage(95);
    if (!language.changeLanguage(displayName))
        return false;
    s.Langage_LangueUtilisee = displayName;
    if (s.rule.comment == noComment)
        s.rule.comment = language.GetMessage(93);
    else if (s.rule.comment == currentRule)
        s.rule.comment = language.GetMessage(95);
    return true;
}

} // namespace tarvello::dialogs
