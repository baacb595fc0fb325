#pragma once

#include <QString>

namespace tarvello::lang {
class Messages;
}

namespace tarvello::settings {

struct Settings;

// The memorised rules of the rule box's drop-down list, which lists the
// records' non-empty rule texts in the records' order. A record is found by
// its rule text, compared exactly.

// Memorises the current rule with its comment, extension filter, counter and
// options: a new record at the end, or the first record of the same text
// overwritten. True when the record is new, so the drop-down list gains the
// text; false (and nothing changes) for an empty rule. The counter boxes are
// read as the record stores them: "#" as the continuation start, any other
// text that is not a number throws VbError. A comment that only stands in for
// none (message 93 or 95) is stored empty, so it reads in the language of the
// day when the rule comes back.
bool memoriseRule(Settings &settings, lang::Messages &messages);

// Puts the first record of this rule text on the current rule: the text, its
// counter, options, new extension, comment (message 93 when empty) and
// extension filter ("*" when empty); the case option stays. False when no
// record holds the text.
bool applyMemorisedRule(Settings &settings, const QString &rule, lang::Messages &messages);

// Forgets the first record of this rule text; the current rule becomes the
// first text left in the list ("" when none), with the comment and extension
// filter of its record. False when no record holds the text.
bool forgetRule(Settings &settings, const QString &rule, lang::Messages &messages);

// Forgets every record and empties the current rule, its comment message 93.
void forgetAllRules(Settings &settings, lang::Messages &messages);

} // namespace tarvello::settings
