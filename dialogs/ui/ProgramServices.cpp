#include "dialogs/ui/ProgramServices.h"

#include "app/AppContext.h"
#include "dialogs/ui/frmAboutCredits.h"
#include "dialogs/ui/frmChoixOutilExif.h"
#include "dialogs/ui/frmOption.h"

namespace tarvello::dialogs::ui {

void ProgramServices::attach(app::AppContext &context)
{
    m_updates.reset();
    m_help.reset();
    m_context = &context;
    m_msgBox = std::make_unique<lang::ui::KvrMesgBox>(context);
    m_help = std::make_unique<CHelp>(context, *m_msgBox);
    m_updates = std::make_unique<updatewindow::UpdateService>(context, *m_msgBox);
    m_updates->showHelp = [this](int topic) { showHelp(topic); };
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

void ProgramServices::checkVersion(QWidget *mainWindow)
{
    if (m_updates)
        m_updates->checkAtStart(mainWindow);
}

void ProgramServices::showAbout(QWidget *mainWindow)
{
    if (m_context)
        ShowAboutCredits(*m_context, *m_help, m_updates.get(), mainWindow);
}

void ProgramServices::showOptions(QWidget *mainWindow, const app::ui::OptionHooks &hooks)
{
    if (!m_context)
        return;
    frmOption dialog(*m_context, *m_msgBox, m_help.get(), mainWindow);
    dialog.fileCount = hooks.fileCount;
    dialog.updateNames = hooks.updateNames;
    dialog.thumbnailsChanged = hooks.refreshThumbnails;
    dialog.exec();
}

void ProgramServices::chooseExifTool(QWidget *mainWindow)
{
    if (!m_context)
        return;
    frmChoixOutilExif chooser(*m_context, m_help.get(), mainWindow);
    chooser.exec();
}

void ProgramServices::startExifBatch()
{
    if (m_context)
        m_context->exifReader.startBatch();
}

void ProgramServices::stopExifBatch()
{
    if (m_context)
        m_context->exifReader.stopBatch();
}

void ProgramServices::closeHelp()
{
    if (m_help)
        m_help->closeHelp();
}

} // namespace tarvello::dialogs::ui
