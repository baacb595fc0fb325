#pragma once

#include "settings/Settings.h"
#include "common/VbError.h"
#include "rules/RegexDirective.h"

#include <QList>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <bitset>
#include <optional>
#include <vector>

namespace tarvello::exif {
class ExifSource;
}
namespace tarvello::lang {
class Messages;
}

namespace tarvello::rules {

class Clock;
class FileFacts;
class FolderScanCache;
class IdenticalNameTable;

// The program settings the name computation reads besides the rule.
struct NameSettings {
    QList<settings::ForbiddenCharacterRow> forbiddenCharacters = settings::Settings::defaultForbiddenCharacters();
    QStringList forbiddenFiles = settings::Settings::defaultForbiddenFiles();
    // Indexes into settings::yearFormats() and settings::monthFormats().
    qint16 yearFormat = 0;
    qint16 monthFormat = 1;
    // Gives the month names of the "mmm" and "mmmm" formats.
    QLocale locale;

    // The tables and formats of the settings record, with the given locale.
    static NameSettings fromSettings(const settings::Settings &settings, const QLocale &locale = QLocale());
};

// The outcome of computing one file's new name.
struct NameResult {
    enum class Kind {
        // name holds the new name.
        Name,
        // The file is on the forbidden file list: name holds message 91.
        ForbiddenFile,
        // The file's extension is outside the rule's filter: name holds message 97.
        OutsideFilter,
        // $REPP with neither position a number: message holds message 45, name
        // is empty, and the recomputation stops here.
        PositionError,
        // A run-time error: error is set, name is empty, the recomputation goes on.
        RuntimeError,
    };
    Kind kind = Kind::Name;
    QString name;
    QString message;
    std::optional<common::VbError> error;
};

// True when names under this rule need the files' Exif records (so that a
// recomputation can have them read ahead).
bool ruleReadsExif(const QString &ruleText);

// The text the window shows for a run-time error of the computation: "Error 6
// (Overflow) in procedure affiche_nom of Feuille frmMain".
QString afficheNomErrorText(const common::VbError &error);

// Computes new names (the computation of affiche_nom), one file per call, from
// the rule, the settings and the outside world given at construction. Never
// touches a window; holds no state between calls but what it read from the
// last rule's text and counter boxes (its compiled $REGX expression, the
// tokens that need a look-up, the counter's start and step), read once for a
// whole list, and the buffer each name is made in. One thread at a time.
class NameEngine
{
public:
    NameEngine(NameSettings settings, const Clock &clock, const FileFacts &files, exif::ExifSource &exif,
               lang::Messages &messages);

    // The new name of the file at path (absolute, "/" separated), which stands at
    // the 1-based position of the list; positions give the counter values, so
    // files go through in list order. In normal counter mode the start and step
    // read from startText and stepText are stored back into rule.counterStart
    // and rule.counterStep. identicalNames receives the new name; folders serves
    // continuation mode and lives as long as the recomputation.
    NameResult computeName(const QString &path, int position, settings::RuleOptions &rule,
                           IdenticalNameTable &identicalNames, FolderScanCache &folders) const;

private:
    QString compute(const QString &path, int position, settings::RuleOptions &rule,
                    IdenticalNameTable &identicalNames, FolderScanCache &folders, NameResult &result) const;
    // The rule's tokens and directives replaced one kind after the other
    // into name, then the counter; false on the position error.
    bool replaceTokens(QString &name, const QString &path, QStringView fileName, QStringView base, int position,
                       settings::RuleOptions &rule, FolderScanCache &folders, NameResult &result) const;
    void replaceClockTokens(QString &name) const;
    // Steps that run only when the rule text holds one of their tokens.
    void replaceFileDateTokens(QString &name, const QString &path) const;
    void replaceExifTokens(QString &name, const QString &path) const;
    void applyCounter(QString &name, const QString &path, int position, settings::RuleOptions &rule,
                      FolderScanCache &folders) const;
    // The normal-mode counter value of the position, the start and step read
    // stored back into the rule.
    qint32 counterValue(int position, settings::RuleOptions &rule) const;
    QString replaceForbiddenCharacters(QString name) const;
    // The rule's $REGX directive, compiled; no directive when the rule is
    // refused, whose names then keep the directive's text.
    struct CompiledRegex {
        QString ruleText;
        std::optional<RegexDirective> directive;
        QRegularExpression expression;
    };
    const CompiledRegex &regexOf(const QString &ruleText) const;
    // Which look-ups the rule's names need, read from its text once for a
    // whole list rather than for every name.
    struct RuleTokens {
        QString ruleText;
        bool readsFileDates = false;
        bool readsExif = false;
    };
    const RuleTokens &tokensOf(const QString &ruleText) const;
    // The counter boxes as read, once for a whole list: whether they select
    // continuation mode (with the start last stored), and the start and step
    // of normal mode; a text that is no number gives its error to every name.
    struct CounterTexts {
        QString startText;
        QString stepText;
        qint32 storedStart = 0;
        bool read = false;
        bool continuation = false;
        qint32 start = 0;
        qint16 step = 0;
        std::optional<common::VbError> error;
    };
    const CounterTexts &counterOf(const settings::RuleOptions &rule) const;
    // A rule whose only tokens are $N$, "*" and one run of "#" (most rules
    // for a big list), cut once for a whole list into the pieces its names
    // are put together from: no search of the rule's text and no replace for
    // each name. Any other rule has no pieces and takes the replacements.
    struct RulePieces {
        enum class Kind { Text, Digits, BaseName, Counter };
        struct Piece {
            Kind kind;
            // Text: the range of the rule's text.
            qsizetype from = 0;
            qsizetype size = 0;
        };
        QString ruleText;
        bool read = false;
        bool usable = false;
        std::vector<Piece> pieces;
        // What the pieces add up to, besides what each name brings.
        qsizetype textSize = 0;
        qsizetype digitSlots = 0;
        qsizetype baseNameSlots = 0;
        // 0 without a counter.
        qsizetype counterWidth = 0;
        // Neither the rule's text nor a digit or a minus sign is in the
        // forbidden-character table: only what comes from the file can be.
        bool textAllowed = false;
    };
    const RulePieces &piecesOf(const QString &ruleText) const;
    // The name of the pieces, followed by "." and ext unless ext is empty.
    QString putTogether(const RulePieces &pieces, QStringView fileName, QStringView base, QStringView ext, int position,
                        settings::RuleOptions &rule) const;
    bool holdsForbidden(QStringView text) const;
    QString formatYear(int year) const;
    QString formatMonth(int month) const;

    NameSettings m_settings;
    // The code units of the forbidden-character table: a name holding none of
    // them skips the replacement passes.
    std::bitset<0x10000> m_forbiddenUnits;
    const Clock &m_clock;
    const FileFacts &m_files;
    exif::ExifSource &m_exif;
    lang::Messages &m_messages;
    mutable CompiledRegex m_regex;
    mutable RuleTokens m_tokens;
    mutable CounterTexts m_counter;
    mutable RulePieces m_pieces;
    mutable QString m_scratch;
};

} // namespace tarvello::rules
