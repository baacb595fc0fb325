#pragma once

#include "app/ui/StartupServices.h"
#include "dialogs/ui/CHelp.h"
#include "lang/ui/KvrMesgBox.h"
#include "updatewindow/UpdateService.h"

#include <memory>

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::dialogs::ui {

// The start-up services that the program's own windows provide: messages
// through frmKVRMsgBox, help through CHelp, the update check through
// UpdateService. Attach the run's context once the program holds it, before
// any message is shown.
class ProgramServices : public app::ui::StartupServices
{
public:
    // Makes the message box and the help of the run over its context.
    void attach(app::AppContext &context);

    lang::MsgBox &msgBox() override;
    void showHelp(int topic) override;
    void closeHelp() override;
    void chooseExifTool(QWidget *mainWindow) override;
    void startExifBatch() override;
    void stopExifBatch() override;
    void checkVersion(QWidget *mainWindow) override;
    void showAbout(QWidget *mainWindow) override;
    void showOptions(QWidget *mainWindow, const app::ui::OptionHooks &hooks) override;

    // The run's help, null before attach().
    CHelp *help() const { return m_help.get(); }
    // The run's update checks (the about box asks checkOnDemand), null before attach().
    updatewindow::UpdateService *updates() const { return m_updates.get(); }

private:
    app::AppContext *m_context = nullptr;
    std::unique_ptr<lang::ui::KvrMesgBox> m_msgBox;
    std::unique_ptr<CHelp> m_help;
    std::unique_ptr<updatewindow::UpdateService> m_updates;
};

} // namespace tarvello::dialogs::ui
