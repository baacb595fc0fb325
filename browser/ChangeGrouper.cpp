#include "browser/ChangeGrouper.h"

namespace tarvello::browser {

ChangeGrouper::ChangeGrouper(int quietMs, int longestMs, QObject *parent)
    : QObject(parent), m_longestMs(longestMs)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMs);
    connect(&m_quiet, &QTimer::timeout, this, &ChangeGrouper::settled);
}

void ChangeGrouper::notice()
{
    if (!m_quiet.isActive())
        m_sinceFirst.start();
    else if (m_sinceFirst.elapsed() >= m_longestMs)
        return;
    m_quiet.start();
}

void ChangeGrouper::cancel()
{
    m_quiet.stop();
}

} // namespace tarvello::browser
