#include "app/RuleOptions.h"

namespace tarvello::app {

bool RuleOptions::continuationMode() const
{
    return startText == QLatin1String("#") || counterStart == kContinuationStart;
}

void RuleOptions::showStoredCounter()
{
    startText = counterStart == kContinuationStart ? QStringLiteral("#") : QString::number(counterStart);
    stepText = QString::number(counterStep);
}

} // namespace tarvello::app
