#pragma once

#include "app/ui/StartupServices.h"
#include "dialogs/ui/CHelp.h"
#include "lang/ui/KvrMesgBox.h"

#include <memory>

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::dialogs::ui {

// The start-up services that the program's own message box and help window
// provide: messages through frmKVRMsgBox, help through CHelp. Attach the run's
// context once the program holds it; until then the defaults stand.
class ProgramServices : public app::ui::StartupServices
{
public:
    // Makes the message box and the help of the run over its context.
    void attach(app::AppContext &context);

    int message(const QString &text, int style, const QString &title) override;
    void showHelp(int topic) override;
    void closeHelp() override;

    // The run's message box and help, null before attach().
    lang::ui::KvrMesgBox *msgBox() const { return m_msgBox.get(); }
    CHelp *help() const { return m_help.get(); }

private:
    std::unique_ptr<lang::ui::KvrMesgBox> m_msgBox;
    std::unique_ptr<CHelp> m_help;
};

} // namespace tarvello::dialogs::ui
