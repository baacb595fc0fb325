#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace tarvello::browser {

// Turns a burst of change notices from the disk (a copy, an unpacked archive,
// a rename of many files) into one settled() signal: once the notices pause
// for the quiet time, or at the latest the longest time after the first one,
// so that a folder that never stops changing is still shown as it goes.
class ChangeGrouper : public QObject
{
    Q_OBJECT

public:
    ChangeGrouper(int quietMs, int longestMs, QObject *parent = nullptr);

    // One more change.
    void notice();
    // Forgets the changes noticed so far.
    void cancel();

signals:
    void settled();

private:
    QTimer m_quiet;
    QElapsedTimer m_sinceFirst;
    int m_longestMs;
};

} // namespace tarvello::browser
