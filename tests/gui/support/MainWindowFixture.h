#pragma once

#include "app/AppContext.h"
#include "browser/FileView.h"
#include "files/ui/frmMain.h"
#include "lang/ui/Translate.h"
#include "support/ScriptedMsgBox.h"

#include <QTest>

#include <memory>

namespace tarvello::test {

// The main window shown on the program's own French language file, with a
// message box that records each message and gives scripted answers.
class MainWindowFixture
{
public:
    MainWindowFixture()
    {
        context.programFolder = QStringLiteral(TARVELLO_SOURCE_DIR);
        context.settings.General_AfficherImageBouton = 0;
        context.language.setProgramFolder(context.programFolder);
        context.language.setLanguage(QStringLiteral("Français"));
        window = std::make_unique<files::ui::frmMain>(context, box);
        window->show();
    }

    files::ui::MainWindowControls &ui() { return window->controls(); }

    // Opens the folder in the tree and waits until the file view shows its files.
    bool openFolder(const QString &folder, int files)
    {
        window->setCurrentPath(folder);
        browser::FileView &view = window->ListView1();
        return QTest::qWaitFor([&] { return view.folder() == folder && !view.isListing() && view.count() == files; },
                               10000);
    }

    // The list's full paths, or its new names, in list order.
    QStringList paths() const
    {
        QStringList all;
        for (const files::FileEntry &entry : window->fileList().entries())
            all.append(entry.path());
        return all;
    }
    QStringList newNames() const
    {
        QStringList all;
        for (const files::FileEntry &entry : window->fileList().entries())
            all.append(entry.newName);
        return all;
    }

    // Message n as the window shows it.
    QString message(int number, const QString &param1 = {}, const QString &param2 = {})
    {
        return lang::ui::widgetText(context.language.GetMessage(number, param1, param2));
    }

    app::AppContext context;
    ScriptedMsgBox box;
    std::unique_ptr<files::ui::frmMain> window;
};

} // namespace tarvello::test
