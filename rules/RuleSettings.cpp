#include "rules/RuleSettings.h"

#include "app/Settings.h"
#include "common/Vb.h"

namespace tarvello::rules {

using common::vbTrim;

RuleSettings RuleSettings::fromSettings(const app::Settings &s)
{
    RuleSettings r;
    r.rule = s.RegleRenommage_Regle;
    r.counterStart = s.RegleRenommage_DebutPas;
    r.startText = s.RegleRenommage_DebutPas == app::kContinuationStart ? QStringLiteral("#")
                                                                        : QString::number(s.RegleRenommage_DebutPas);
    r.counterStep = s.RegleRenommage_Pas;
    r.stepText = QString::number(s.RegleRenommage_Pas);
    r.changeExtension = s.RegleRenommage_ModifieExtension;
    r.newExtension = s.RegleRenommage_ModifieExtensionValeur;
    r.replaceForbidden = s.RegleRenommage_RemplacerCaractereInterdit;
    r.numberIdentical = s.RegleRenommage_IncrementeFichierIdentique;
    r.trimSpaces = s.RegleRenommage_EffaceEspace;
    r.upperFirstChar = s.RegleRenommage_PremierCaractereEnMajuscule;
    r.upperEachWord = s.RegleRenommage_PremierCaractereEnMajusculePourChaqueMot;
    r.comment = s.RegleRenommage_Commentaire;
    r.extensionFilter = s.RegleRenommage_Extension;
    return r;
}

bool RuleSettings::continuationMode() const
{
    return startText == QLatin1String("#") || counterStart == app::kContinuationStart;
}

QString commentCaption(const QString &comment, const QString &extensionFilter)
{
    return comment + QStringLiteral(" (") + extensionFilter + QLatin1Char(')');
}

QString extensionFilterOfCaption(const QString &caption)
{
    // Splitting at "(" must give two parts, and the second split at ")" two
    // parts again: one of each, the ")" after the "(".
    const qsizetype open = caption.indexOf(QLatin1Char('('));
    if (open < 0 || caption.indexOf(QLatin1Char('('), open + 1) >= 0)
        return QStringLiteral("*");
    const qsizetype close = caption.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0 || caption.indexOf(QLatin1Char(')'), close + 1) >= 0)
        return QStringLiteral("*");
    return vbTrim(caption.mid(open + 1, close - open - 1));
}

} // namespace tarvello::rules
