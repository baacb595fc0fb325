#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::lang {
class MsgBox;
}

namespace tarvello::update {
class UpdateCheck;
}

namespace tarvello::updatewindow {

class frmMiseAJour;

// The program's questions to the site. Both run in the background and never
// hold up the window that asked.
class UpdateService : public QObject
{
    Q_OBJECT
public:
    UpdateService(app::AppContext &context, lang::MsgBox &msgBox, QObject *parent = nullptr);
    ~UpdateService() override;

    // The start-up check, at most once a day (the day of the last answer is
    // kept in the per-user store): a newer version opens the update dialog
    // over the main window; an empty version file is reported; anything else,
    // no connection included, passes in silence.
    void checkAtStart(QWidget *mainWindow);

    // The about box's check: asks the site's version file only and reports
    // the answer in a message (a newer version, this one, or no answer); a
    // newer one offers to open the site. done runs once the answer is given.
    void checkOnDemand(std::function<void()> done = {});

    // The update dialog while it is open.
    frmMiseAJour *dialog() const;
    // True while a question to the site waits for its answer.
    bool checking() const { return m_startUp || m_onDemand; }

    // Passed on to the update dialog; tests put their own.
    std::function<void(int topic)> showHelp;
    std::function<bool(const QString &path)> openPackage;
    std::function<bool(const QString &url)> openUrl;
    int timeoutMs = 30000;

private:
    void startUpAnswered(QWidget *mainWindow);
    void onDemandAnswered(const std::function<void()> &done);

    app::AppContext &m_context;
    lang::MsgBox &m_msgBox;
    std::unique_ptr<update::UpdateCheck> m_startUp;
    std::unique_ptr<update::UpdateCheck> m_onDemand;
    QPointer<frmMiseAJour> m_dialog;
};

} // namespace tarvello::updatewindow
