#include "app/SettingsFile.h"

#include "common/Vb.h"
#include "lang/Language.h"

#include <algorithm>
#include <limits>

namespace tarvello::app {

using common::vbCInt;
using common::vbCLng;
using common::vbCSng;
using common::vbSplit;

namespace {

const QString kGeneral = QStringLiteral("General");
const QString kLangage = QStringLiteral("Langage");
const QString kOption = QStringLiteral("Option");
const QString kRegle = QStringLiteral("RegleRenommage");

enum class RuleFormat { None, Old, Current, Unknown };

RuleFormat ruleFormatOf(const QString &version)
{
    if (version.isEmpty())
        return RuleFormat::None;
    if (version == QLatin1String("1.10.0") || version == QLatin1String("1.11.0"))
        return RuleFormat::Old;
    // A file this version wrote reads like the 1.12 files it descends from.
    if (version == QLatin1String("1.12.0") || version == QLatin1String("1.12.1")
        || version == QLatin1String("1.12.2") || version == ProgramVersion().text())
        return RuleFormat::Current;
    return RuleFormat::Unknown;
}

QString flag(qint32 value)
{
    return QString::number(value);
}

QString single(float value)
{
    return QString::number(double(value), 'g', 7);
}

// Reads keys in order and counts statements, so that the error report can say
// where the load stopped.
class Reader
{
public:
    explicit Reader(const IniFile &file) : m_file(file) {}

    int line() const { return m_line; }
    const QString &section() const { return m_section; }
    const QString &key() const { return m_key; }

    QString text(const QString &section, const QString &key, const QString &def)
    {
        m_line += 10;
        m_section = section;
        m_key = key;
        return m_file.ReadIniKey(section, key, def);
    }
    qint16 int16(const QString &section, const QString &key, qint16 def)
    {
        return vbCInt(text(section, key, QString::number(def)));
    }
    qint32 int32(const QString &section, const QString &key, qint32 def)
    {
        return vbCLng(text(section, key, QString::number(def)));
    }
    float real(const QString &section, const QString &key, float def)
    {
        return vbCSng(text(section, key, single(def)));
    }

private:
    const IniFile &m_file;
    int m_line = 0;
    QString m_section;
    QString m_key;
};

void readAll(Reader &in, Settings &s, lang::Language &language, const QString &documentsFolder,
             SettingsLoadResult &result)
{
    // 1. Language first: every default taken from a message is in it.
    s.Langage_LangueUtilisee = in.text(kLangage, QStringLiteral("Langage_LangueUtilisee"), s.Langage_LangueUtilisee);
    language.setLanguage(s.Langage_LangueUtilisee);
    if (!language.isReadable()) {
        result.unreadableLanguageFile = language.languageFilePath();
        const QString fallback = Settings().Langage_LangueUtilisee;
        if (language.displayName() != fallback) {
            language.setLanguage(fallback);
            result.fellBackToDefault = language.isReadable();
            if (!result.fellBackToDefault)
                language.setLanguage(s.Langage_LangueUtilisee);
        }
    }
    s.rule.rule = language.GetMessage(16);
    s.rule.comment = language.GetMessage(95);
    s.Option_DossierSpecifique = documentsFolder;
    for (int i = 0; i < 3; ++i)
        s.thumbnailSizes[i] = parseThumbnailSize(language.GetMessage(46 + i)).value_or(ThumbnailSize{});

    // 2-4. General.
    s.General_VersionCourante = in.text(kGeneral, QStringLiteral("General_VersionCourante"), QString());
    const RuleFormat format = ruleFormatOf(s.General_VersionCourante);
    s.General_NombreFichierRenomme = in.int32(kGeneral, QStringLiteral("General_NombreFichierRenomme"), 0);
    s.General_AfficherImageBouton = in.int32(kGeneral, QStringLiteral("General_AfficherImageBouton"), 1);
    s.General_FiltreAffichage = in.text(kGeneral, QStringLiteral("General_FiltreAffichage"), QStringLiteral("*.*"));
    if (format == RuleFormat::Old)
        s.General_FiltreAffichage = vbSplit(s.General_FiltreAffichage, QStringLiteral("|")).join(QLatin1Char(' '));
    s.General_VisualiserImage = in.int32(kGeneral, QStringLiteral("General_VisualiserImage"), 0);
    s.General_MettreAJour = in.int32(kGeneral, QStringLiteral("General_MettreAJour"), 1);

    // 5. Forbidden-character table (-1: the default table).
    const qint16 charBound = in.int16(kOption, QStringLiteral("Option_NombreCaractereInterdit"), -1);
    if (charBound != -1) {
        s.forbiddenCharacters.clear();
        for (int n = 0; n <= charBound; ++n) {
            ForbiddenCharacterRow row;
            row.characters = in.text(kOption, QStringLiteral("Option_CharactereInterdit%1").arg(n), QString());
            row.replacement = in.text(kOption, QStringLiteral("Option_CharactereReplacement%1").arg(n), QString());
            s.forbiddenCharacters.append(row);
        }
    }

    // 6. Forbidden file list (-1: the default list).
    const qint16 fileBound = in.int16(kOption, QStringLiteral("Option_NbFileNotRenamed"), -1);
    if (fileBound != -1) {
        s.forbiddenFiles.clear();
        for (int n = 0; n <= fileBound; ++n)
            s.forbiddenFiles.append(in.text(kOption, QStringLiteral("Option_FileNotRenamed%1").arg(n), QString()));
    }

    // 7-10. Options.
    s.Option_RegleApresRenommage = in.int16(kOption, QStringLiteral("Option_RegleApresRenommage"), 1);
    s.Option_RegleDebutApresRenommage = in.int16(kOption, QStringLiteral("Option_RegleDebutApresRenommage"), 1);
    s.Option_RegleDebutResetRenommage = in.int16(kOption, QStringLiteral("Option_RegleDebutResetRenommage"), 1);
    s.Option_ReglePasApresRenommage = in.int16(kOption, QStringLiteral("Option_ReglePasApresRenommage"), 1);
    s.Option_ReglePasResetRenommage = in.int16(kOption, QStringLiteral("Option_ReglePasResetRenommage"), 1);
    s.Option_OutilExifChoisi = in.int32(kOption, QStringLiteral("Option_OutilExifChoisi"), 0);
    s.Option_ExtensionTraiteAvecJHEAD =
        in.text(kOption, QStringLiteral("Option_ExtensionTraiteAvecJHEAD"), s.Option_ExtensionTraiteAvecJHEAD);
    s.Option_ExtensionTraiteAvecEXIFTOOL =
        in.text(kOption, QStringLiteral("Option_ExtensionTraiteAvecEXIFTOOL"), s.Option_ExtensionTraiteAvecEXIFTOOL);
    s.Option_AfficherVignette = in.int32(kOption, QStringLiteral("Option_AfficherVignette"), 1);
    s.Option_FormatExtensionVignette =
        in.text(kOption, QStringLiteral("Option_FormatExtensionVignette"), s.Option_FormatExtensionVignette);
    s.Option_TailleVignette = in.int16(kOption, QStringLiteral("Option_TailleVignette"), 0);
    s.Option_DossierDepart = in.int16(kOption, QStringLiteral("Option_DossierDepart"), 1);
    s.Option_DossierSpecifique = in.text(kOption, QStringLiteral("Option_DossierSpecifique"), documentsFolder);
    s.Option_FormatAnnee = in.int16(kOption, QStringLiteral("Option_FormatAnnee"), 0);
    s.Option_FormatMois = in.int16(kOption, QStringLiteral("Option_FormatMois"), 1);

    // 11. The rule being edited.
    s.rule.counterStart = in.int32(kRegle, QStringLiteral("RegleRenommage_DebutPas"), 1);
    s.rule.counterStep = in.int16(kRegle, QStringLiteral("RegleRenommage_Pas"), 1);
    s.rule.changeExtension = in.int32(kRegle, QStringLiteral("RegleRenommage_ModifieExtension"), 0);
    s.rule.newExtension =
        in.text(kRegle, QStringLiteral("RegleRenommage_ModifieExtensionValeur"), QString());
    s.rule.replaceForbidden =
        in.int32(kRegle, QStringLiteral("RegleRenommage_RemplacerCaractereInterdit"), 1);
    s.rule.rule = in.text(kRegle, QStringLiteral("RegleRenommage_Regle"), s.rule.rule);
    s.rule.numberIdentical =
        in.int32(kRegle, QStringLiteral("RegleRenommage_IncrementeFichierIdentique"), 1);
    s.rule.trimSpaces = in.int32(kRegle, QStringLiteral("RegleRenommage_EffaceEspace"), 0);
    s.rule.upperFirstChar =
        in.int32(kRegle, QStringLiteral("RegleRenommage_PremierCaractereEnMajuscule"), 0);
    s.rule.upperEachWord =
        in.int32(kRegle, QStringLiteral("RegleRenommage_PremierCaractereEnMajusculePourChaqueMot"), 0);

    // 12. Window geometry (the window itself is made by the caller).
    s.General_PositionFenetreTop = in.real(kGeneral, QStringLiteral("General_PositionFenetreTop"), 100);
    if (s.General_PositionFenetreTop < -100000)
        s.General_PositionFenetreTop = 100;
    s.General_PositionFenetreLeft = in.real(kGeneral, QStringLiteral("General_PositionFenetreLeft"), 100);
    if (s.General_PositionFenetreLeft < -100000)
        s.General_PositionFenetreLeft = 100;
    s.General_FenetreHauteur = in.real(kGeneral, QStringLiteral("General_FenetreHauteur"), 9525);
    s.General_FenetreLargeur = in.real(kGeneral, QStringLiteral("General_FenetreLargeur"), 15250);

    // 13. Comment and extension filter of the current rule.
    s.rule.comment =
        in.text(kRegle, QStringLiteral("RegleRenommage_Commentaire"), s.rule.comment);
    s.rule.extensionFilter = in.text(kRegle, QStringLiteral("RegleRenommage_Extension"), QStringLiteral("*"));

    // 14. Memorised rules, in the format of the version that wrote them.
    s.General_NombreRegle = std::max<qint16>(0, in.int16(kGeneral, QStringLiteral("General_NombreRegle"), 0));
    s.memorisedRules = QList<RuleOptions>(s.General_NombreRegle + 1);
    if (format == RuleFormat::Unknown) {
        result.unknownVersion = true;
    } else if (format != RuleFormat::None) {
        for (int n = 0; n <= s.General_NombreRegle; ++n) {
            const QString line = in.text(kGeneral, QStringLiteral("General_Regle%1").arg(n), QString());
            if (!line.isEmpty())
                s.memorisedRules[n] = parseMemorisedRule(line, format == RuleFormat::Old);
        }
    }

    // 16. A memorised rule equal to the current one brings its comment and filter.
    for (const RuleOptions &rule : std::as_const(s.memorisedRules)) {
        if (!rule.rule.isEmpty() && rule.rule == s.rule.rule) {
            s.rule.comment = rule.comment.isEmpty() ? language.GetMessage(93) : rule.comment;
            s.rule.extensionFilter = rule.extensionFilter.isEmpty() ? QStringLiteral("*") : rule.extensionFilter;
        }
    }

    // 17-18. Tip topic and the replacement aids.
    s.RegleRenommage_Astuce = in.text(kRegle, QStringLiteral("RegleRenommage_Astuce"), QString());
    s.RegleRenommage_optRepPos = in.int16(kRegle, QStringLiteral("RegleRenommage_optRepPos"), 0);
    for (int i = 0; i < 4; ++i)
        s.RegleRenommage_txtRepPos[i] =
            in.text(kRegle, QStringLiteral("RegleRenommage_txtRepPos%1").arg(i), QStringLiteral("1"));
    s.RegleRenommage_optRepPosDebutFin = in.int16(kRegle, QStringLiteral("RegleRenommage_optRepPosDebutFin"), 0);
    s.RegleRenommage_txtRemplacerPos = in.text(kRegle, QStringLiteral("RegleRenommage_txtRemplacerPos"), QString());
    s.RegleRenommage_optRepStr = in.int16(kRegle, QStringLiteral("RegleRenommage_optRepStr"), 0);
    s.RegleRenommage_RechercherChaine = in.text(kRegle, QStringLiteral("RegleRenommage_RechercherChaine"), QString());
    s.RegleRenommage_RemplacerChaine = in.text(kRegle, QStringLiteral("RegleRenommage_RemplacerChaine"), QString());
}

} // namespace

SettingsLoadResult readSettingsFile(const IniFile &file, Settings &settings, lang::Language &language,
                                    const QString &documentsFolder)
{
    SettingsLoadResult result;
    const IniFile snapshot = file.snapshot();
    Reader in(snapshot);
    try {
        readAll(in, settings, language, documentsFolder, result);
    } catch (const common::VbError &error) {
        result.error = error;
        result.line = in.line();
        result.key = in.key();
        result.fileLine = snapshot.lineOf(in.section(), in.key());
    }
    settings.rule.showStoredCounter();
    return result;
}

bool writeSettingsFile(IniFile &file, const Settings &s, const QString &shownFolder, const ProgramVersion &version)
{
    file.beginBatch();
    auto put = [&file](const QString &section, const QString &key, const QString &value) {
        file.WriteIniKey(section, key, value);
    };

    // 1-3. General, geometry, version.
    put(kGeneral, QStringLiteral("General_NombreFichierRenomme"), QString::number(s.General_NombreFichierRenomme));
    put(kGeneral, QStringLiteral("General_AfficherImageBouton"), flag(s.General_AfficherImageBouton));
    put(kGeneral, QStringLiteral("General_FiltreAffichage"), s.General_FiltreAffichage);
    put(kGeneral, QStringLiteral("General_VisualiserImage"), flag(s.General_VisualiserImage));
    put(kGeneral, QStringLiteral("General_MettreAJour"), flag(s.General_MettreAJour));
    put(kGeneral, QStringLiteral("General_PositionFenetreTop"), single(s.General_PositionFenetreTop));
    put(kGeneral, QStringLiteral("General_PositionFenetreLeft"), single(s.General_PositionFenetreLeft));
    put(kGeneral, QStringLiteral("General_FenetreHauteur"), single(s.General_FenetreHauteur));
    put(kGeneral, QStringLiteral("General_FenetreLargeur"), single(s.General_FenetreLargeur));
    put(kGeneral, QStringLiteral("General_VersionCourante"), version.text());

    // 4. Memorised rules: the old keys go, the records are numbered afresh.
    // The load reads the keys 0 to the count itself, so the key of that number
    // goes too, or a rule loaded from it would stay behind twice. A count past
    // the largest the load accepts stops the load before any rule is read.
    bool oldCountOk = false;
    const int oldCount = std::min<int>(file.ReadIniKey(kGeneral, QStringLiteral("General_NombreRegle"),
                                                       QStringLiteral("0"))
                                           .trimmed()
                                           .toInt(&oldCountOk),
                                       std::numeric_limits<qint16>::max());
    for (int n = 0; oldCountOk && n <= oldCount; ++n)
        file.DeleteIniKey(kGeneral, QStringLiteral("General_Regle%1").arg(n));
    int written = 0;
    for (const RuleOptions &rule : s.memorisedRules) {
        if (rule.rule.isEmpty())
            continue;
        put(kGeneral, QStringLiteral("General_Regle%1").arg(written), formatMemorisedRule(rule));
        ++written;
    }
    put(kGeneral, QStringLiteral("General_NombreRegle"), QString::number(written));

    // 5. Language.
    put(kLangage, QStringLiteral("Langage_LangueUtilisee"), s.Langage_LangueUtilisee);

    // 6-7. The two tables, each with its upper bound. An entry the load does
    // not find reads as empty, so an empty one is not written (a table can
    // claim 32768 rows), and an older value under its key goes.
    auto putEntry = [&file](const QString &key, const QString &value) {
        if (value.isEmpty())
            file.DeleteIniKey(kOption, key);
        else
            file.WriteIniKey(kOption, key, value);
    };
    put(kOption, QStringLiteral("Option_NombreCaractereInterdit"), QString::number(s.forbiddenCharacters.size() - 1));
    for (int n = 0; n < s.forbiddenCharacters.size(); ++n) {
        putEntry(QStringLiteral("Option_CharactereInterdit%1").arg(n), s.forbiddenCharacters.at(n).characters);
        putEntry(QStringLiteral("Option_CharactereReplacement%1").arg(n), s.forbiddenCharacters.at(n).replacement);
    }
    put(kOption, QStringLiteral("Option_NbFileNotRenamed"), QString::number(s.forbiddenFiles.size() - 1));
    for (int n = 0; n < s.forbiddenFiles.size(); ++n)
        putEntry(QStringLiteral("Option_FileNotRenamed%1").arg(n), s.forbiddenFiles.at(n));

    // 8-10. Options.
    put(kOption, QStringLiteral("Option_RegleApresRenommage"), QString::number(s.Option_RegleApresRenommage));
    put(kOption, QStringLiteral("Option_RegleDebutApresRenommage"), QString::number(s.Option_RegleDebutApresRenommage));
    put(kOption, QStringLiteral("Option_RegleDebutResetRenommage"), QString::number(s.Option_RegleDebutResetRenommage));
    put(kOption, QStringLiteral("Option_ReglePasApresRenommage"), QString::number(s.Option_ReglePasApresRenommage));
    put(kOption, QStringLiteral("Option_ReglePasResetRenommage"), QString::number(s.Option_ReglePasResetRenommage));
    put(kOption, QStringLiteral("Option_OutilExifChoisi"), QString::number(s.Option_OutilExifChoisi));
    put(kOption, QStringLiteral("Option_ExtensionTraiteAvecJHEAD"), s.Option_ExtensionTraiteAvecJHEAD);
    put(kOption, QStringLiteral("Option_ExtensionTraiteAvecEXIFTOOL"), s.Option_ExtensionTraiteAvecEXIFTOOL);
    put(kOption, QStringLiteral("Option_AfficherVignette"), flag(s.Option_AfficherVignette));
    put(kOption, QStringLiteral("Option_FormatExtensionVignette"), s.Option_FormatExtensionVignette);
    put(kOption, QStringLiteral("Option_TailleVignette"), QString::number(s.Option_TailleVignette));
    put(kOption, QStringLiteral("Option_DossierDepart"), QString::number(s.Option_DossierDepart));
    put(kOption, QStringLiteral("Option_DossierSpecifique"),
        s.Option_DossierDepart == 1 && !shownFolder.isEmpty() ? shownFolder : s.Option_DossierSpecifique);
    put(kOption, QStringLiteral("Option_FormatAnnee"), QString::number(s.Option_FormatAnnee));
    put(kOption, QStringLiteral("Option_FormatMois"), QString::number(s.Option_FormatMois));

    // 11-13. The rule being edited and the replacement aids.
    put(kRegle, QStringLiteral("RegleRenommage_DebutPas"), QString::number(s.rule.counterStart));
    put(kRegle, QStringLiteral("RegleRenommage_Pas"), QString::number(s.rule.counterStep));
    put(kRegle, QStringLiteral("RegleRenommage_ModifieExtension"), flag(s.rule.changeExtension));
    put(kRegle, QStringLiteral("RegleRenommage_ModifieExtensionValeur"), s.rule.newExtension);
    put(kRegle, QStringLiteral("RegleRenommage_RemplacerCaractereInterdit"),
        flag(s.rule.replaceForbidden));
    put(kRegle, QStringLiteral("RegleRenommage_Regle"), s.rule.rule);
    put(kRegle, QStringLiteral("RegleRenommage_Commentaire"), s.rule.comment);
    put(kRegle, QStringLiteral("RegleRenommage_Extension"), s.rule.extensionFilter);
    put(kRegle, QStringLiteral("RegleRenommage_IncrementeFichierIdentique"),
        flag(s.rule.numberIdentical));
    put(kRegle, QStringLiteral("RegleRenommage_EffaceEspace"), flag(s.rule.trimSpaces));
    put(kRegle, QStringLiteral("RegleRenommage_PremierCaractereEnMajuscule"),
        flag(s.rule.upperFirstChar));
    put(kRegle, QStringLiteral("RegleRenommage_PremierCaractereEnMajusculePourChaqueMot"),
        flag(s.rule.upperEachWord));
    if (!s.RegleRenommage_Astuce.isEmpty())
        put(kRegle, QStringLiteral("RegleRenommage_Astuce"), s.RegleRenommage_Astuce);
    if (s.RegleRenommage_optRepPos >= 0)
        put(kRegle, QStringLiteral("RegleRenommage_optRepPos"), QString::number(s.RegleRenommage_optRepPos));
    if (s.RegleRenommage_optRepPosDebutFin >= 0)
        put(kRegle, QStringLiteral("RegleRenommage_optRepPosDebutFin"),
            QString::number(s.RegleRenommage_optRepPosDebutFin));
    if (s.RegleRenommage_optRepStr >= 0)
        put(kRegle, QStringLiteral("RegleRenommage_optRepStr"), QString::number(s.RegleRenommage_optRepStr));
    for (int i = 0; i < 4; ++i)
        put(kRegle, QStringLiteral("RegleRenommage_txtRepPos%1").arg(i), s.RegleRenommage_txtRepPos[i]);
    put(kRegle, QStringLiteral("RegleRenommage_txtRemplacerPos"), s.RegleRenommage_txtRemplacerPos);
    put(kRegle, QStringLiteral("RegleRenommage_RechercherChaine"), s.RegleRenommage_RechercherChaine);
    put(kRegle, QStringLiteral("RegleRenommage_RemplacerChaine"), s.RegleRenommage_RemplacerChaine);

    return file.commit();
}

std::optional<ThumbnailSize> parseThumbnailSize(const QString &message)
{
    const qsizetype open = message.indexOf(QLatin1Char('('));
    const qsizetype close = open < 0 ? -1 : message.indexOf(QLatin1Char(')'), open);
    if (close < 0)
        return std::nullopt;
    const QString inside = message.mid(open + 1, close - open - 1);
    const qsizetype x = inside.indexOf(QLatin1Char('x'), 0, Qt::CaseInsensitive);
    if (x < 0)
        return std::nullopt;
    bool okW = false;
    bool okH = false;
    const float w = inside.left(x).trimmed().toFloat(&okW);
    const float h = inside.mid(x + 1).trimmed().toFloat(&okH);
    if (!okW || !okH)
        return std::nullopt;
    return ThumbnailSize{w, h};
}

QString formatMemorisedRule(const RuleOptions &r)
{
    return QStringList{r.rule,
                       r.comment,
                       r.extensionFilter,
                       QString::number(r.numberIdentical),
                       QString::number(r.replaceForbidden),
                       r.newExtension,
                       QString::number(r.changeExtension),
                       QString::number(r.counterStep),
                       QString::number(r.upperFirstChar),
                       QString::number(r.upperEachWord),
                       QString::number(r.counterStart),
                       QString::number(r.trimSpaces)}
        .join(QLatin1Char('|'));
}

RuleOptions parseMemorisedRule(const QString &line, bool oldFormat)
{
    // A field the line does not hold reads as empty or 0, the counter's as 1.
    RuleOptions r;
    r.extensionFilter.clear();
    r.replaceForbidden = 0;
    r.numberIdentical = 0;
    const QStringList f = vbSplit(line, QStringLiteral("|"));
    const auto has = [&f](int i) { return i < f.size(); };
    if (oldFormat) {
        if (has(0)) r.rule = f[0];
        if (has(1)) r.counterStart = vbCLng(f[1]);
        if (has(2)) r.counterStep = vbCInt(f[2]);
        if (has(3)) r.changeExtension = vbCLng(f[3]);
        if (has(4)) r.newExtension = f[4];
        if (has(5)) r.replaceForbidden = vbCLng(f[5]);
        return r;
    }
    if (has(0)) r.rule = f[0];
    if (has(1)) r.comment = f[1];
    if (has(2)) r.extensionFilter = f[2];
    if (has(3)) r.numberIdentical = vbCLng(f[3]);
    if (has(4)) r.replaceForbidden = vbCLng(f[4]);
    if (has(5)) r.newExtension = f[5];
    if (has(6)) r.changeExtension = vbCLng(f[6]);
    if (has(7)) r.counterStep = vbCInt(f[7]);
    if (has(8)) r.upperFirstChar = vbCLng(f[8]);
    if (has(9)) r.upperEachWord = vbCLng(f[9]);
    if (has(10)) r.counterStart = vbCLng(f[10]);
    if (has(11)) r.trimSpaces = vbCLng(f[11]);
    return r;
}

} // namespace tarvello::app
