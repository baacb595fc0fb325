#pragma once

#include "settings/RuleOptions.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace tarvello::settings {

// The program's version, written into the settings file at every save.
struct ProgramVersion {
    int major = TARVELLO_VERSION_MAJOR;
    int minor = TARVELLO_VERSION_MINOR;
    int revision = TARVELLO_VERSION_PATCH;

    // "1.13.0"
    QString text() const;
};

// One row of the forbidden-character table: any character of `characters` is
// replaced by `replacement`.
struct ForbiddenCharacterRow {
    QString characters;
    QString replacement;
    bool operator==(const ForbiddenCharacterRow &) const = default;
};

struct ThumbnailSize {
    float width = 0;
    float height = 0;
};

// Every key of the settings file, one field per key named after it (the rule
// being edited is one record), plus the tables the file carries. Read once at
// start, written once at exit; a field's initial value is what a file without
// its key gives it.
struct Settings {
    // Langage
    QString Langage_LangueUtilisee = QStringLiteral("Français");

    // General
    QString General_VersionCourante;
    qint32 General_NombreFichierRenomme = 0;
    qint32 General_AfficherImageBouton = 1;
    QString General_FiltreAffichage = QStringLiteral("*.*");
    // The day (ISO) a start-up version check last reached the site: one a day.
    QString General_DerniereVerification;
    qint32 General_VisualiserImage = 0;
    qint32 General_MettreAJour = 1;
    float General_PositionFenetreTop = 100;
    float General_PositionFenetreLeft = 100;
    float General_FenetreHauteur = 9525;
    float General_FenetreLargeur = 15250;
    qint16 General_NombreRegle = 0;

    // Option
    QList<ForbiddenCharacterRow> forbiddenCharacters = defaultForbiddenCharacters();
    QStringList forbiddenFiles = defaultForbiddenFiles();
    qint16 Option_RegleApresRenommage = 1;
    qint16 Option_RegleDebutApresRenommage = 1;
    qint16 Option_RegleDebutResetRenommage = 1;
    qint16 Option_ReglePasApresRenommage = 1;
    qint16 Option_ReglePasResetRenommage = 1;
    qint32 Option_OutilExifChoisi = 0;
    QString Option_ExtensionTraiteAvecJHEAD = QStringLiteral("JPG JPEG");
    QString Option_ExtensionTraiteAvecEXIFTOOL = QStringLiteral("ARW CRW JPG JPEG RAW TIF TIFF");
    qint32 Option_AfficherVignette = 1;
    QString Option_FormatExtensionVignette = QStringLiteral("gif jpg jpeg bmp");
    qint16 Option_TailleVignette = 0;
    qint16 Option_DossierDepart = 1;
    QString Option_DossierSpecifique;
    qint16 Option_FormatAnnee = 0;
    qint16 Option_FormatMois = 1;

    // RegleRenommage: the rule being edited, then the aids around the rule box.
    RuleOptions rule;
    QString RegleRenommage_Astuce;
    qint16 RegleRenommage_optRepPos = 0;
    std::array<QString, 4> RegleRenommage_txtRepPos = {QStringLiteral("1"), QStringLiteral("1"),
                                                       QStringLiteral("1"), QStringLiteral("1")};
    qint16 RegleRenommage_optRepPosDebutFin = 0;
    QString RegleRenommage_txtRemplacerPos;
    qint16 RegleRenommage_optRepStr = 0;
    QString RegleRenommage_RechercherChaine;
    QString RegleRenommage_RemplacerChaine;

    // Memorised rules, at least one record (an empty rule text is a free slot).
    QList<RuleOptions> memorisedRules = {RuleOptions{}};

    // Thumbnail sizes parsed from messages 46 to 48 of the language file.
    std::array<ThumbnailSize, 3> thumbnailSizes{};

    static QList<ForbiddenCharacterRow> defaultForbiddenCharacters();
    static QStringList defaultForbiddenFiles();
};

// Year formats by Option_FormatAnnee and month formats by Option_FormatMois.
const QStringList &yearFormats();
const QStringList &monthFormats();

} // namespace tarvello::settings
