#include "controller/NameBatch.h"

#include "rules/IdenticalNameTable.h"

namespace tarvello::controller {

NameBatch::NameBatch(settings::RuleOptions rule, rules::NameEngine engine, rules::IdenticalNameTable &identicalNames,
                     bool ruleRefused)
    : m_rule(std::move(rule))
    , m_engine(std::move(engine))
    , m_identicalNames(identicalNames)
    , m_ruleRefused(ruleRefused)
{
}

NameStep NameBatch::next(const QString &path, int position)
{
    NameStep step;
    if (m_ruleRefused)
        return step;
    step.result = m_engine.computeName(path, position, m_rule, m_identicalNames, m_folders);
    step.stop = step.result.kind == rules::NameResult::Kind::PositionError;
    if (step.result.kind == rules::NameResult::Kind::RuntimeError && !m_errorTold) {
        m_errorTold = true;
        step.tellError = true;
    }
    return step;
}

void NameBatch::expectNames(qsizetype count)
{
    if (m_rule.numberIdentical != 0 && !m_ruleRefused)
        m_identicalNames.reserve(count);
}

void NameBatch::run(const QStringList &paths, int firstPosition,
                    const std::function<bool(int index, const NameStep &)> &each)
{
    expectNames(paths.size());
    for (int i = 0; i < paths.size(); ++i) {
        const NameStep step = next(paths.at(i), firstPosition + i);
        if (!each(i, step) || step.stop)
            return;
    }
}

} // namespace tarvello::controller
