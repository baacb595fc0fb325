#pragma once

#include <QString>

namespace tarvello::settings {

// Counter start value that selects continuation mode.
constexpr qint32 kContinuationStart = 2147483647;

// Case option of the rule (optCasse index).
enum CaseOption { CasePreserve = 0, CaseUpper = 1, CaseLower = 2 };

// A renaming rule and its options. One record serves as the rule being edited
// (kept in the settings, edited by the main window's option boxes), as each
// memorised rule and as what the name engine applies.
struct RuleOptions {
    QString rule;
    // The counter boxes as typed: the names are computed from these, and "#"
    // as start selects continuation mode. counterStart and counterStep are the
    // values last stored, which the settings file keeps.
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
    // Not kept anywhere: every run starts preserving the case.
    int caseIndex = CasePreserve;
    QString comment;
    // The extensions the rule renames, separated by spaces; "*" for all.
    QString extensionFilter = QStringLiteral("*");

    bool operator==(const RuleOptions &) const = default;

    // True when the counter continues after the numbers already in the folder.
    bool continuationMode() const;

    // Sets the counter texts to the stored counter, as the boxes show a rule
    // when it is loaded: "#" for a continuation start.
    void showStoredCounter();
};

} // namespace tarvello::settings
