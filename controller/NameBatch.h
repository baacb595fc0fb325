#pragma once

#include "rules/FolderScanCache.h"
#include "rules/NameEngine.h"
#include "settings/RuleOptions.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace tarvello::rules {
class IdenticalNameTable;
}

namespace tarvello::controller {

// What one file of a run came to.
struct NameStep {
    rules::NameResult result;
    // The run's first run-time error: told to the user; later ones are not,
    // a list of thousands of files would otherwise ask thousands of times.
    bool tellError = false;
    // The position error: the run ends with this file.
    bool stop = false;
};

// One run of name computations (a recomputation, an add of many files, a
// preview of the command line): the rule record as it stood when the run
// began, the engine, the identical-name table and the folder listings of
// continuation mode. Files go through in list order, since their positions
// give the counter values.
class NameBatch
{
public:
    // A rule the rule box refused names nothing (ruleRefused): the files wait,
    // without a new name, for a rule that is accepted. The command line takes
    // rules the box refuses (folders made by "/"), so it never says so.
    NameBatch(settings::RuleOptions rule, rules::NameEngine engine, rules::IdenticalNameTable &identicalNames,
              bool ruleRefused = false);

    // Makes room in the identical-name table for that many more names at
    // once, when the rule numbers identical names: a table grown as it goes
    // writes its memory twice over.
    void expectNames(qsizetype count);

    // The new name of the file at the 1-based position of the list.
    NameStep next(const QString &path, int position);

    // Computes the paths one after the other, the first at firstPosition,
    // handing each step to each, until the end, the position error, or each
    // returning false.
    void run(const QStringList &paths, int firstPosition, const std::function<bool(int index, const NameStep &)> &each);

    // The rule as the run left it: in normal counter mode the start and step
    // read from their texts are the values last used.
    const settings::RuleOptions &rule() const { return m_rule; }

private:
    settings::RuleOptions m_rule;
    rules::NameEngine m_engine;
    rules::IdenticalNameTable &m_identicalNames;
    rules::FolderScanCache m_folders;
    bool m_errorTold = false;
    bool m_ruleRefused;
};

} // namespace tarvello::controller
