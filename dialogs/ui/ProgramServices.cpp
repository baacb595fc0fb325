#include "dialogs/ui/ProgramServices.h"

namespace tarvello::dialogs::ui {

void ProgramServices::attach(app::AppContext &context)
{
    m_help.reset();
    m_msgBox = std::make_unique<lang::ui::KvrMesgBox>(context);
    m_help = std::make_unique<CHelp>(context, *m_msgBox);
}

lang::MsgBox &ProgramServices::msgBox()
{
    Q_ASSERT(m_msgBox);
    return *m_msgBox;
}

void ProgramServices::showHelp(int topic)
{
    if (m_help)
        m_help->Show(topic);
}

void ProgramServices::closeHelp()
{
    if (m_help)
        m_help->closeHelp();
}

} // namespace tarvello::dialogs::ui
