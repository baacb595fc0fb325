#include "dialogs/ui/ProgramServices.h"

namespace tarvello::dialogs::ui {

void ProgramServices::attach(app::AppContext &context)
{
    m_help.reset();
    m_msgBox = std::make_unique<lang::ui::KvrMesgBox>(context);
    m_help = std::make_unique<CHelp>(context, *m_msgBox);
}

int ProgramServices::message(const QString &text, int style, const QString &title)
{
    return m_msgBox ? m_msgBox->KVvrMesgBox(text, style, title) : StartupServices::message(text, style, title);
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
