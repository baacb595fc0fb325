#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tarvello::app::ui {

// One running program per user and settings folder: a later start asks the
// running one to bring its main window forward, then ends before it reads the
// settings.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // The name is made of the user id and the settings folder, so that two
    // users, or two separate settings folders, never meet.
    explicit SingleInstance(const QString &settingsFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Asks a running instance to restore and raise its main window; true when
    // one answered.
    bool raiseRunningInstance();

    // Starts answering later instances. False when another instance took the
    // name between our question and now (it has then been asked to raise).
    bool listen();

Q_SIGNALS:
    // A later instance asked this one to come forward.
    void raiseRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace tarvello::app::ui
