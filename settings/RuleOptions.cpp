#include "settings/RuleOptions.h"

namespace tarvello::settings {

bool RuleOptions::continuationMode() const
{
    return startText == QLatin1String("#") || counterStart == kContinuationStart;
}

void RuleOptions::showStoredCounter()
{
    startText = counterStart == kContinuationStart ? QStringLiteral("#") : QString::number(counterStart);
    stepText = QString::number(counterStep);
}

} // namespace tarvello::settings
