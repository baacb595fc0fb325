#include "settings/SettingsFile.h"

#include "common/Vb.h"
#include "lang/Language.h"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace tarvello::settings {

using common::vbCInt;
using common::vbCLng;
using common::vbCSng;
using common::vbSplit;

namespace {

constexpr char kGeneral[] = "General";
constexpr char kLangage[] = "Langage";
constexpr char kOption[] = "Option";
constexpr char kRegle[] = "RegleRenommage";

// The keys that steps of their own read and write: the two tables, each an
// upper bound and entries numbered from 0, and the memorised rules.
const QString kCharacterBound = QStringLiteral("Option_NombreCaractereInterdit");
const QString kCharacterEntry = QStringLiteral("Option_CharactereInterdit%1");
const QString kReplacementEntry = QStringLiteral("Option_CharactereReplacement%1");
const QString kFileBound = QStringLiteral("Option_NbFileNotRenamed");
const QString kFileEntry = QStringLiteral("Option_FileNotRenamed%1");
const QString kRuleEntry = QStringLiteral("General_Regle%1");

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

QString single(float value)
{
    return QString::number(double(value), 'g', 7);
}

template<typename T>
QString textOf(const T &value)
{
    if constexpr (std::is_same_v<T, QString>)
        return value;
    else if constexpr (std::is_same_v<T, float>)
        return single(value);
    else
        return QString::number(value);
}

// Whether a key written only when set holds something: a text, a choice other than -1.
template<typename T>
bool isSet(const T &value)
{
    if constexpr (std::is_same_v<T, QString>)
        return !value.isEmpty();
    else
        return value >= 0;
}

class Reader;

// A key of the settings file and the field of the record that holds its value.
struct Key {
    const char *section;
    const char *name;
    // Written only when its field holds something.
    bool whenSet;
    // Reads the key into its field; the field's value stands for an absent key.
    void (*read)(Reader &in, const Key &key, Settings &s);
    void (*write)(ini::IniFile &file, const Key &key, const Settings &s);
};

// Reads keys in order and counts statements, so that the error report can say
// where the load stopped.
class Reader
{
public:
    explicit Reader(const ini::IniFile &file) : m_file(file) {}

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

    void read(const Key &key, Settings &s) { key.read(*this, key, s); }
    template<std::size_t Count>
    void read(const Key (&keys)[Count], Settings &s)
    {
        for (const Key &key : keys)
            read(key, s);
    }

    // An absent key reads as its field written; the field is set only once
    // the value converts.
    template<typename T>
    void value(const Key &key, T &field)
    {
        const QString value = text(QLatin1String(key.section), QLatin1String(key.name), textOf(field));
        if constexpr (std::is_same_v<T, QString>)
            field = value;
        else if constexpr (std::is_same_v<T, qint16>)
            field = vbCInt(value);
        else if constexpr (std::is_same_v<T, qint32>)
            field = vbCLng(value);
        else
            field = vbCSng(value);
    }

private:
    const ini::IniFile &m_file;
    int m_line = 0;
    QString m_section;
    QString m_key;
};

// The field Member names in the record or in its rule; Element picks one of an array.
template<auto Member, int Element, typename Record>
auto &fieldOf(Record &s)
{
    if constexpr (Element >= 0)
        return (s.*Member)[Element];
    else if constexpr (requires { s.*Member; })
        return s.*Member;
    else
        return s.rule.*Member;
}

template<auto Member, int Element = -1>
constexpr Key key(const char *section, const char *name, bool whenSet = false)
{
    return {section, name, whenSet,
            [](Reader &in, const Key &key, Settings &s) { in.value(key, fieldOf<Member, Element>(s)); },
            [](ini::IniFile &file, const Key &key, const Settings &s) {
                const auto &field = fieldOf<Member, Element>(s);
                if (!key.whenSet || isSet(field))
                    file.WriteIniKey(QLatin1String(key.section), QLatin1String(key.name), textOf(field));
            }};
}

// The keys of the settings file, each with its field, in groups in the order
// the load reads them; writeSettingsFile writes the groups in the order of the
// file. A key that is absent leaves its field as it was, so the record's
// defaults are the file's.
const Key kLanguage = key<&Settings::Langage_LangueUtilisee>(kLangage, "Langage_LangueUtilisee");
const Key kVersion = key<&Settings::General_VersionCourante>(kGeneral, "General_VersionCourante");
const Key kGeneralKeys[] = {
    key<&Settings::General_NombreFichierRenomme>(kGeneral, "General_NombreFichierRenomme"),
    key<&Settings::General_AfficherImageBouton>(kGeneral, "General_AfficherImageBouton"),
    key<&Settings::General_FiltreAffichage>(kGeneral, "General_FiltreAffichage"),
    key<&Settings::General_VisualiserImage>(kGeneral, "General_VisualiserImage"),
    key<&Settings::General_MettreAJour>(kGeneral, "General_MettreAJour"),
    key<&Settings::General_DerniereVerification>(kGeneral, "General_DerniereVerification", true),
};
const Key kOptionKeys[] = {
    key<&Settings::Option_RegleApresRenommage>(kOption, "Option_RegleApresRenommage"),
    key<&Settings::Option_RegleDebutApresRenommage>(kOption, "Option_RegleDebutApresRenommage"),
    key<&Settings::Option_RegleDebutResetRenommage>(kOption, "Option_RegleDebutResetRenommage"),
    key<&Settings::Option_ReglePasApresRenommage>(kOption, "Option_ReglePasApresRenommage"),
    key<&Settings::Option_ReglePasResetRenommage>(kOption, "Option_ReglePasResetRenommage"),
    key<&Settings::Option_OutilExifChoisi>(kOption, "Option_OutilExifChoisi"),
    key<&Settings::Option_ExtensionTraiteAvecJHEAD>(kOption, "Option_ExtensionTraiteAvecJHEAD"),
    key<&Settings::Option_ExtensionTraiteAvecEXIFTOOL>(kOption, "Option_ExtensionTraiteAvecEXIFTOOL"),
    key<&Settings::Option_AfficherVignette>(kOption, "Option_AfficherVignette"),
    key<&Settings::Option_FormatExtensionVignette>(kOption, "Option_FormatExtensionVignette"),
    key<&Settings::Option_TailleVignette>(kOption, "Option_TailleVignette"),
    key<&Settings::Option_DossierDepart>(kOption, "Option_DossierDepart"),
};
const Key kStartFolder = key<&Settings::Option_DossierSpecifique>(kOption, "Option_DossierSpecifique");
const Key kDateFormatKeys[] = {
    key<&Settings::Option_FormatAnnee>(kOption, "Option_FormatAnnee"),
    key<&Settings::Option_FormatMois>(kOption, "Option_FormatMois"),
};
const Key kRuleKeys[] = {
    key<&RuleOptions::counterStart>(kRegle, "RegleRenommage_DebutPas"),
    key<&RuleOptions::counterStep>(kRegle, "RegleRenommage_Pas"),
    key<&RuleOptions::changeExtension>(kRegle, "RegleRenommage_ModifieExtension"),
    key<&RuleOptions::newExtension>(kRegle, "RegleRenommage_ModifieExtensionValeur"),
    key<&RuleOptions::replaceForbidden>(kRegle, "RegleRenommage_RemplacerCaractereInterdit"),
    key<&RuleOptions::rule>(kRegle, "RegleRenommage_Regle"),
};
const Key kRuleFlagKeys[] = {
    key<&RuleOptions::numberIdentical>(kRegle, "RegleRenommage_IncrementeFichierIdentique"),
    key<&RuleOptions::trimSpaces>(kRegle, "RegleRenommage_EffaceEspace"),
    key<&RuleOptions::upperFirstChar>(kRegle, "RegleRenommage_PremierCaractereEnMajuscule"),
    key<&RuleOptions::upperEachWord>(kRegle, "RegleRenommage_PremierCaractereEnMajusculePourChaqueMot"),
};
const Key kGeometryKeys[] = {
    key<&Settings::General_PositionFenetreTop>(kGeneral, "General_PositionFenetreTop"),
    key<&Settings::General_PositionFenetreLeft>(kGeneral, "General_PositionFenetreLeft"),
    key<&Settings::General_FenetreHauteur>(kGeneral, "General_FenetreHauteur"),
    key<&Settings::General_FenetreLargeur>(kGeneral, "General_FenetreLargeur"),
};
const Key kCaptionKeys[] = {
    key<&RuleOptions::comment>(kRegle, "RegleRenommage_Commentaire"),
    key<&RuleOptions::extensionFilter>(kRegle, "RegleRenommage_Extension"),
};
const Key kRuleCount = key<&Settings::General_NombreRegle>(kGeneral, "General_NombreRegle");
// The aids around the rule box; the file lists those written only when set first.
const Key kAidKeys[] = {
    key<&Settings::RegleRenommage_Astuce>(kRegle, "RegleRenommage_Astuce", true),
    key<&Settings::RegleRenommage_optRepPos>(kRegle, "RegleRenommage_optRepPos", true),
    key<&Settings::RegleRenommage_txtRepPos, 0>(kRegle, "RegleRenommage_txtRepPos0"),
    key<&Settings::RegleRenommage_txtRepPos, 1>(kRegle, "RegleRenommage_txtRepPos1"),
    key<&Settings::RegleRenommage_txtRepPos, 2>(kRegle, "RegleRenommage_txtRepPos2"),
    key<&Settings::RegleRenommage_txtRepPos, 3>(kRegle, "RegleRenommage_txtRepPos3"),
    key<&Settings::RegleRenommage_optRepPosDebutFin>(kRegle, "RegleRenommage_optRepPosDebutFin", true),
    key<&Settings::RegleRenommage_txtRemplacerPos>(kRegle, "RegleRenommage_txtRemplacerPos"),
    key<&Settings::RegleRenommage_optRepStr>(kRegle, "RegleRenommage_optRepStr", true),
    key<&Settings::RegleRenommage_RechercherChaine>(kRegle, "RegleRenommage_RechercherChaine"),
    key<&Settings::RegleRenommage_RemplacerChaine>(kRegle, "RegleRenommage_RemplacerChaine"),
};

void write(ini::IniFile &file, const Settings &s, const Key &key)
{
    key.write(file, key, s);
}

template<std::size_t Count>
void write(ini::IniFile &file, const Settings &s, const Key (&keys)[Count])
{
    for (const Key &key : keys)
        write(file, s, key);
}

void readAll(Reader &in, Settings &s, lang::Language &language, const QString &documentsFolder,
             RuleFormat &format, SettingsLoadResult &result)
{
    // Language first: every default taken from a message is in it.
    in.read(kLanguage, s);
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

    in.read(kVersion, s);
    format = ruleFormatOf(s.General_VersionCourante);
    in.read(kGeneralKeys, s);

    // The forbidden-character table and the files not renamed; a bound of -1
    // keeps the default table.
    const QString option = QLatin1String(kOption);
    const qint16 charBound = in.int16(option, kCharacterBound, -1);
    if (charBound != -1) {
        s.forbiddenCharacters.clear();
        for (int n = 0; n <= charBound; ++n) {
            ForbiddenCharacterRow row;
            row.characters = in.text(option, kCharacterEntry.arg(n), QString());
            row.replacement = in.text(option, kReplacementEntry.arg(n), QString());
            s.forbiddenCharacters.append(row);
        }
    }
    const qint16 fileBound = in.int16(option, kFileBound, -1);
    if (fileBound != -1) {
        s.forbiddenFiles.clear();
        for (int n = 0; n <= fileBound; ++n)
            s.forbiddenFiles.append(in.text(option, kFileEntry.arg(n), QString()));
    }

    in.read(kOptionKeys, s);
    in.read(kStartFolder, s);
    in.read(kDateFormatKeys, s);
    in.read(kRuleKeys, s);
    in.read(kRuleFlagKeys, s);
    in.read(kGeometryKeys, s);
    in.read(kCaptionKeys, s);

    // Memorised rules, in the format of the version that wrote them.
    in.read(kRuleCount, s);
    s.General_NombreRegle = std::max<qint16>(0, s.General_NombreRegle);
    s.memorisedRules = QList<RuleOptions>(s.General_NombreRegle + 1);
    if (format == RuleFormat::Unknown) {
        result.unknownVersion = true;
    } else if (format != RuleFormat::None) {
        for (int n = 0; n <= s.General_NombreRegle; ++n) {
            const QString line = in.text(QLatin1String(kGeneral), kRuleEntry.arg(n), QString());
            if (!line.isEmpty())
                s.memorisedRules[n] = parseMemorisedRule(line, format == RuleFormat::Old);
        }
    }

    // A memorised rule equal to the current one brings its comment and filter.
    for (const RuleOptions &rule : std::as_const(s.memorisedRules)) {
        if (!rule.rule.isEmpty() && rule.rule == s.rule.rule) {
            s.rule.comment = rule.comment.isEmpty() ? language.GetMessage(93) : rule.comment;
            s.rule.extensionFilter = rule.extensionFilter.isEmpty() ? QStringLiteral("*") : rule.extensionFilter;
        }
    }

    in.read(kAidKeys, s);
}

// What the load mends in the values read, whether it ended or stopped: the
// display filter of versions 1.10 and 1.11 separated its patterns with "|", a
// window placed far off the screen comes back, an Exif reader choice that no
// reader has reads as jhead, and the counter boxes show the stored counter.
void mend(Settings &s, RuleFormat format)
{
    if (format == RuleFormat::Old)
        s.General_FiltreAffichage = vbSplit(s.General_FiltreAffichage, QStringLiteral("|")).join(QLatin1Char(' '));
    // 0 is "not chosen yet" and 5 the built-in reader.
    if (s.Option_OutilExifChoisi < 0 || s.Option_OutilExifChoisi > 5)
        s.Option_OutilExifChoisi = 1;
    const Settings defaults;
    if (s.General_PositionFenetreTop < -100000)
        s.General_PositionFenetreTop = defaults.General_PositionFenetreTop;
    if (s.General_PositionFenetreLeft < -100000)
        s.General_PositionFenetreLeft = defaults.General_PositionFenetreLeft;
    s.rule.showStoredCounter();
}

} // namespace

SettingsLoadResult readSettingsFile(const ini::IniFile &file, Settings &settings, lang::Language &language,
                                    const QString &documentsFolder)
{
    SettingsLoadResult result;
    const ini::IniFile snapshot = file.snapshot();
    Reader in(snapshot);
    RuleFormat format = RuleFormat::None;
    try {
        readAll(in, settings, language, documentsFolder, format, result);
    } catch (const common::VbError &error) {
        result.error = error;
        result.line = in.line();
        result.key = in.key();
        result.fileLine = snapshot.lineOf(in.section(), in.key());
    }
    mend(settings, format);
    return result;
}

bool writeSettingsFile(ini::IniFile &file, const Settings &s, const QString &shownFolder, const ProgramVersion &version)
{
    file.beginBatch();
    auto put = [&file](const Key &key, const QString &value) {
        file.WriteIniKey(QLatin1String(key.section), QLatin1String(key.name), value);
    };

    write(file, s, kGeneralKeys);
    write(file, s, kGeometryKeys);
    put(kVersion, version.text());

    // Memorised rules: the old keys go, the records are numbered afresh.
    // The load reads the keys 0 to the count itself, so the key of that number
    // goes too, or a rule loaded from it would stay behind twice. A count past
    // the largest the load accepts stops the load before any rule is read.
    const QString general = QLatin1String(kGeneral);
    bool oldCountOk = false;
    const QString oldCountText = file.ReadIniKey(general, QLatin1String(kRuleCount.name), QStringLiteral("0"));
    const int oldCount = std::min<int>(oldCountText.trimmed().toInt(&oldCountOk), std::numeric_limits<qint16>::max());
    for (int n = 0; oldCountOk && n <= oldCount; ++n)
        file.DeleteIniKey(general, kRuleEntry.arg(n));
    int written = 0;
    for (const RuleOptions &rule : s.memorisedRules) {
        if (rule.rule.isEmpty())
            continue;
        file.WriteIniKey(general, kRuleEntry.arg(written), formatMemorisedRule(rule));
        ++written;
    }
    put(kRuleCount, QString::number(written));

    write(file, s, kLanguage);

    // The two tables, each with its upper bound. An entry the load does not
    // find reads as empty, so an empty one is not written (a table can claim
    // 32768 rows), and an older value under its key goes.
    const QString option = QLatin1String(kOption);
    auto putEntry = [&file, &option](const QString &key, const QString &value) {
        if (value.isEmpty())
            file.DeleteIniKey(option, key);
        else
            file.WriteIniKey(option, key, value);
    };
    file.WriteIniKey(option, kCharacterBound, QString::number(s.forbiddenCharacters.size() - 1));
    for (int n = 0; n < s.forbiddenCharacters.size(); ++n) {
        putEntry(kCharacterEntry.arg(n), s.forbiddenCharacters.at(n).characters);
        putEntry(kReplacementEntry.arg(n), s.forbiddenCharacters.at(n).replacement);
    }
    file.WriteIniKey(option, kFileBound, QString::number(s.forbiddenFiles.size() - 1));
    for (int n = 0; n < s.forbiddenFiles.size(); ++n)
        putEntry(kFileEntry.arg(n), s.forbiddenFiles.at(n));

    write(file, s, kOptionKeys);
    // The start folder "the last one" (1) keeps the folder shown now.
    put(kStartFolder, s.Option_DossierDepart == 1 && !shownFolder.isEmpty() ? shownFolder : s.Option_DossierSpecifique);
    write(file, s, kDateFormatKeys);
    write(file, s, kRuleKeys);
    write(file, s, kCaptionKeys);
    write(file, s, kRuleFlagKeys);
    for (const bool whenSet : {true, false}) {
        for (const Key &key : kAidKeys) {
            if (key.whenSet == whenSet)
                write(file, s, key);
        }
    }

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

} // namespace tarvello::settings
