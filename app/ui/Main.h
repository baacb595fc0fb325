#pragma once

#include "app/AppContext.h"

#include <QStringList>

#include <memory>

class QApplication;

namespace tarvello::mainwindow {
class frmMain;
}

namespace tarvello::app::ui {

class StartupServices;
class SingleInstance;
class QuitSignals;
class frmSplash;

// One run of the program: the start-up steps, the settings load and save, and
// the exit path that every way of leaving goes through.
class Program
{
public:
    // programFolder holds langages/; arguments is the command line without the
    // program name.
    Program(QString programFolder, QStringList arguments, StartupServices &services);
    ~Program();

    // The start: single-instance check, start-up window, settings, main window,
    // first-run and version-change steps, command-line folders and files.
    // False when the program should end at once (another instance runs,
    // start-up failed before the main window was shown, or the user left
    // during start-up).
    bool Main();

    // Reads the settings file, chooses the language, creates the main window
    // and fills it.
    void ReadIniFile();
    // Writes the settings and the main window's state back to the file.
    void SaveIniFile();
    // The exit hook: closes an open help window first when asked, then saves.
    void SaveRegisterBase(bool closeHelp);
    // The common exit path: saves and ends the program when the quit flag is
    // set, does nothing otherwise.
    void ExitProgram();
    // The main window's quit button: asks, then takes the exit path.
    void quitButton();

    AppContext &context() { return m_context; }
    mainwindow::frmMain *mainWindow() { return m_main.get(); }

private:
    void openCommandLine();
    void raiseMainWindow();

    AppContext m_context;
    QStringList m_arguments;
    StartupServices &m_services;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<QuitSignals> m_signals;
    std::unique_ptr<frmSplash> m_splash;
    std::unique_ptr<mainwindow::frmMain> m_main;
    bool m_exiting = false;
};

} // namespace tarvello::app::ui
