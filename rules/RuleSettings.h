#pragma once

#include <QString>

namespace tarvello::app {
struct Settings;
}

namespace tarvello::rules {

// Case option of the rule (optCasse index).
enum CaseOption { CasePreserve = 0, CaseUpper = 1, CaseLower = 2 };

// The rule being applied and its options. The main window's controls are its
// working copy: startText and stepText are what txtDebut and txtPas hold as
// typed, counterStart and counterStep the values last stored.
struct RuleSettings {
    QString rule;
    // "#" selects continuation mode, as does a stored start of kContinuationStart.
    QString startText = QStringLiteral("1");
    qint32 counterStart = 1;
    QString stepText = QStringLiteral("1");
    qint16 counterStep = 1;
    qint32 changeExtension = 0;
    QString newExtension;
    // Forbidden characters are replaced only when this is exactly 1.
    qint32 replaceForbidden = 1;
    qint32 numberIdentical = 1;
    qint32 trimSpaces = 0;
    qint32 upperFirstChar = 0;
    qint32 upperEachWord = 0;
    int caseIndex = CasePreserve;
    QString comment;
    QString extensionFilter = QStringLiteral("*");

    // The rule of the settings record (keys RegleRenommage_...), case preserved.
    static RuleSettings fromSettings(const app::Settings &settings);

    // True when the counter continues after the numbers already in the folder.
    bool continuationMode() const;
};

// The caption of lblComment: comment, " (", extension filter, ")".
QString commentCaption(const QString &comment, const QString &extensionFilter);

// The extension filter read back from a caption the way the rename always read
// it: a comment holding "(" or a filter holding ")" gives "*".
QString extensionFilterOfCaption(const QString &caption);

} // namespace tarvello::rules
