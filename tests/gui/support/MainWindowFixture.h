#pragma once

#include "app/AppContext.h"
#include "browser/FileView.h"
#include "mainwindow/frmMain.h"
#include "lang/ui/Translate.h"
#include "support/FolderFixture.h"
#include "support/ScriptedMsgBox.h"

// The types of the window's controls, for the tests that work them.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace tarvello::test {

// The main window shown on the program's own French language file, with a
// message box that records each message and gives scripted answers, a
// settings folder and a folder for the test's files, both temporary.
class MainWindowFixture
{
public:
    MainWindowFixture()
    {
        context.programFolder = QStringLiteral(TARVELLO_SOURCE_DIR);
        context.settingsFolder = settings.path();
        context.settings.General_AfficherImageBouton = 0;
        context.language.setProgramFolder(context.programFolder);
        context.language.setLanguage(QStringLiteral("Français"));
        openWindow();
    }

    // A new main window, as after a restart.
    void openWindow()
    {
        window.reset();
        window = std::make_unique<mainwindow::frmMain>(context, box);
        window->show();
    }

    mainwindow::MainWindowControls &ui() { return window->controls(); }

    // Opens the folder in the tree and waits until the file view shows its files.
    bool openFolder(const QString &shown, int count)
    {
        window->setCurrentPath(shown);
        browser::FileView &view = window->ListView1();
        return QTest::qWaitFor([&] { return view.folder() == shown && !view.isListing() && view.count() == count; },
                               10000);
    }

    // Paths in the test's folder.
    QString path(const QString &relative) const { return folder.path() + QLatin1Char('/') + relative; }
    QStringList paths(const QStringList &relative) const
    {
        QStringList full;
        for (const QString &r : relative)
            full.append(path(r));
        return full;
    }

    // Makes the files in the test's folder and adds them to the list.
    void addFiles(const QStringList &names)
    {
        QVERIFY(folderfixture::makeFiles(folder.path(), names));
        for (const QString &name : names)
            window->affiche_nom(path(name));
    }

    // Every file and folder of the test's folder, sorted.
    QStringList disk() const
    {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // The list's full paths, or its new names, in list order.
    QStringList paths() const
    {
        QStringList all;
        for (const filelist::FileEntry &entry : window->fileList().entries())
            all.append(entry.path());
        return all;
    }
    QStringList newNames() const
    {
        QStringList all;
        for (const filelist::FileEntry &entry : window->fileList().entries())
            all.append(entry.newName);
        return all;
    }

    // Message n as the window shows it.
    QString message(int number, const QString &param1 = {}, const QString &param2 = {})
    {
        return lang::ui::widgetText(context.language.GetMessage(number, param1, param2));
    }

    QTemporaryDir folder;
    QTemporaryDir settings;
    app::AppContext context;
    ScriptedMsgBox box;
    std::unique_ptr<mainwindow::frmMain> window;
};

} // namespace tarvello::test
