#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarvello::app::ui {

// Turns SIGTERM and SIGINT into a Qt signal on the window thread, so that they
// close the main window like its title bar does (settings saved).
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

Q_SIGNALS:
    void quitRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace tarvello::app::ui
