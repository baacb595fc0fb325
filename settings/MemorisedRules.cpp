#include "settings/MemorisedRules.h"

#include "common/Vb.h"
#include "lang/Language.h"
#include "settings/Settings.h"

namespace tarvello::settings {

namespace {

// What a memorised rule keeps of the options besides its counter and comment.
void copyNamingOptions(const RuleOptions &from, RuleOptions &to)
{
    to.changeExtension = from.changeExtension;
    to.newExtension = from.newExtension;
    to.replaceForbidden = from.replaceForbidden;
    to.numberIdentical = from.numberIdentical;
    to.upperFirstChar = from.upperFirstChar;
    to.upperEachWord = from.upperEachWord;
    to.trimSpaces = from.trimSpaces;
}

qsizetype findRecord(const QList<RuleOptions> &records, const QString &rule)
{
    if (rule.isEmpty())
        return -1;
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (records.at(i).rule == rule)
            return i;
    }
    return -1;
}

// The current rule shows the comment and filter of the record of its text.
void showRecordComment(Settings &s, lang::Messages &messages)
{
    const qsizetype at = findRecord(s.memorisedRules, s.rule.rule);
    const QString comment = at < 0 ? QString() : s.memorisedRules.at(at).comment;
    const QString filter = at < 0 ? QString() : s.memorisedRules.at(at).extensionFilter;
    s.rule.comment = comment.isEmpty() ? messages.GetMessage(93) : comment;
    s.rule.extensionFilter = filter.isEmpty() ? QStringLiteral("*") : filter;
}

} // namespace

bool memoriseRule(Settings &s, lang::Messages &messages)
{
    const RuleOptions &current = s.rule;
    if (current.rule.isEmpty())
        return false;
    RuleOptions record;
    record.rule = current.rule;
    record.counterStart = common::vbTrim(current.startText) == QLatin1String("#") ? kContinuationStart
                                                                                 : common::vbCLng(current.startText);
    record.counterStep = common::vbCInt(current.stepText);
    copyNamingOptions(current, record);
    const bool standIn = current.comment == messages.GetMessage(93) || current.comment == messages.GetMessage(95);
    record.comment = standIn ? QString() : current.comment;
    record.extensionFilter = current.extensionFilter;
    const qsizetype at = findRecord(s.memorisedRules, current.rule);
    if (at >= 0) {
        s.memorisedRules[at] = record;
        return false;
    }
    s.memorisedRules.append(record);
    return true;
}

bool applyMemorisedRule(Settings &s, const QString &rule, lang::Messages &messages)
{
    const qsizetype at = findRecord(s.memorisedRules, rule);
    if (at < 0)
        return false;
    const RuleOptions &record = s.memorisedRules.at(at);
    RuleOptions &current = s.rule;
    current.rule = record.rule;
    current.counterStart = record.counterStart;
    current.counterStep = record.counterStep;
    current.showStoredCounter();
    copyNamingOptions(record, current);
    showRecordComment(s, messages);
    return true;
}

bool forgetRule(Settings &s, const QString &rule, lang::Messages &messages)
{
    const qsizetype at = findRecord(s.memorisedRules, rule);
    if (at < 0)
        return false;
    // The list always keeps a record; the last one left is only emptied.
    if (s.memorisedRules.size() == 1)
        s.memorisedRules[0].rule.clear();
    else
        s.memorisedRules.removeAt(at);
    s.rule.rule.clear();
    for (const RuleOptions &record : std::as_const(s.memorisedRules)) {
        if (!record.rule.isEmpty()) {
            s.rule.rule = record.rule;
            break;
        }
    }
    showRecordComment(s, messages);
    return true;
}

void forgetAllRules(Settings &s, lang::Messages &messages)
{
    s.memorisedRules = {RuleOptions{}};
    s.rule.rule.clear();
    showRecordComment(s, messages);
}

} // namespace tarvello::settings
