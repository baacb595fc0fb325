#include "app/ui/Main.h"

#include "settings/SettingsFile.h"
#include "app/ui/QuitSignals.h"
#include "app/ui/SingleInstance.h"
#include "app/ui/StartupServices.h"
#include "app/ui/frmGLQuitter.h"
#include "app/ui/frmSplash.h"
#include "common/Vb.h"
#include "common/Zub.h"
#include "dialogs/HelpTopics.h"
#include "mainwindow/frmMain.h"
#include "lang/ErrorText.h"
#include "lang/MsgBox.h"
#include "lang/ui/Translate.h"
#include "rules/RuleTools.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

namespace tarvello::app::ui {

using common::VbError;

namespace {

const QString kMainProcedure = QStringLiteral("Main (Module MOD_MAIN) ligne = %1");

} // namespace

Program::Program(QString programFolder, QStringList arguments, StartupServices &services)
    : m_arguments(std::move(arguments))
    , m_services(services)
{
    m_context.programFolder = std::move(programFolder);
    m_context.language.setProgramFolder(m_context.programFolder);
}

Program::~Program() = default;

bool Program::Main()
{
    int line = 0;
    // A step that fails on an invalid call is passed over, as the program has
    // always done; any other error ends the start-up with a report that names
    // the step by its line number.
    auto step = [&line](int number, auto &&body) {
        line = number;
        try {
            body();
        } catch (const VbError &error) {
            if (error.number() != VbError::InvalidProcedureCall)
                throw;
        }
    };
    try {
        // One program per user and settings folder: a running one comes
        // forward and this one ends before it reads anything. The settings
        // folder only names the instance here.
        step(30, [&] {
            m_context.settingsFolder =
                common::ZubCheminDossier(common::FolderApplicationData) + QStringLiteral("/Tarvello");
            m_instance = std::make_unique<SingleInstance>(m_context.settingsFolder);
        });
        if (m_instance->raiseRunningInstance() || !m_instance->listen())
            return false;
        QObject::connect(m_instance.get(), &SingleInstance::raiseRequested, [this] { raiseMainWindow(); });

        // The Exif readers write their output to a file of the private
        // temporary folder, where no other user can plant one.
        step(40, [&] {
            QString why;
            m_context.tempFolder = common::ZubGetTempDir(&why);
            if (m_context.tempFolder.isEmpty())
                std::fprintf(stderr, "tarvello: %s\n", qPrintable(why));
            else
                m_context.exifOutputFile = m_context.tempFolder + QLatin1Char('/')
                    + QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                    + QStringLiteral("_exif.txt");
        });

        // The start-up window keeps the user company while the settings load.
        step(50, [&] {
            m_splash = std::make_unique<frmSplash>(m_context);
            m_splash->show();
            QCoreApplication::processEvents();
        });

        // The settings folder is made on the first run, so that the settings
        // and the rename journal have a place.
        step(80, [&] {
            if (!common::ZubFileExists(m_context.settingsFolder))
                common::ZubCreateNestedFolders(m_context.settingsFolder);
            m_context.settingsFile.setPath(m_context.settingsFolder + QStringLiteral("/Tarvello.ini"));
        });

        // The settings choose the language, which every window's texts
        // need, so they are read before the main window is made.
        step(90, [&] { ReadIniFile(); });
        step(91, [&] { m_splash->translate(); });

        // After an upgrade the help opens at what is new.
        step(100, [&] {
            if (dialogs::versionChanged(m_context.settings.General_VersionCourante, m_context.version))
                m_services.showHelp(dialogs::HelpTopic::WhatsNew);
        });

        // The main window's title and the label naming the Exif reader.
        step(110, [&] { m_main->refreshTitle(); });
        step(120, [&] { m_main->showExifToolUsed(); });

        // The start-up window goes, the main window comes.
        step(130, [&] { m_splash.reset(); });
        step(140, [&] { m_main->show(); });

        // Closing by other means than the window: signals and the session's end.
        m_signals = std::make_unique<QuitSignals>();
        QObject::connect(m_signals.get(), &QuitSignals::quitRequested, m_main.get(), &QWidget::close);
        QObject::connect(qApp, &QGuiApplication::commitDataRequest, m_main.get(), &QWidget::close);

        // A rename cut short (a crash, a power cut) waits in its journal:
        // every file goes to its new or its old name before anything else.
        step(145, [&] { m_main->offerRecovery(); });

        // On the first run the user chooses the Exif reader.
        step(150, [&] {
            if (m_context.settings.Option_OutilExifChoisi == 0) {
                m_services.chooseExifTool(m_main.get());
                m_main->showExifToolUsed();
            }
        });

        // The version check, which never holds up the start.
        step(160, [&] { m_services.checkVersion(m_main.get()); });

        // Folders and files given on the command line, as a file manager's
        // "open with" passes them.
        step(170, [&] { openCommandLine(); });

        // A rule saved with an odd number of "$" computes names all the
        // same, but the user is warned, as when typing it.
        step(180, [&] {
            if (rules::checkNbDollarIsPair(m_main->controls().cboRenommer->currentText()))
                m_services.msgBox().KVvrMesgBox(lang::ui::widgetText(m_context.language.GetMessage(92)),
                                                lang::MsgStyle::Information, m_context.language.GetMessage(1));
        });
    } catch (const VbError &error) {
        m_services.msgBox().ReportError(error, kMainProcedure.arg(line));
        return m_main && m_main->isVisible();
    }
    // A quit signal that came while a start-up window was open (the Exif tool
    // choice, a question) has closed everything already, before the event
    // loop that its quit request was meant to end.
    return !m_exiting;
}

void Program::ReadIniFile()
{
    const settings::SettingsLoadResult result =
        settings::readSettingsFile(m_context.settingsFile, m_context.settings, m_context.language,
                         common::ZubCheminDossier(common::FolderDocuments));
    if (result.fellBackToDefault) {
        m_services.msgBox().KVvrMesgBox(lang::ui::widgetText(m_context.language.extra(
                                            QStringLiteral("LanguageUnreadable"), result.unreadableLanguageFile,
                                            m_context.language.displayName())),
                                        lang::MsgStyle::Exclamation, m_context.language.GetMessage(2));
    } else if (!result.unreadableLanguageFile.isEmpty()) {
        // No language file can be read, so no text can come from one: this
        // line is the program's own, in both of its languages.
        m_services.msgBox().systemMessage(
            QStringLiteral("Tarvello : aucun fichier de langue lisible (%1) ; les textes manqueront.\n"
                           "Tarvello: no readable language file (%1); texts will be missing.")
                .arg(result.unreadableLanguageFile));
    }
    if (result.error) {
        // The statement number alone does not tell where to mend the file.
        m_services.msgBox().systemMessage(
            lang::systemErrorText(*result.error, QStringLiteral("ReadIniFile"), QStringLiteral("Module modIniFile"),
                                  result.line)
            + QLatin1Char('\n') + m_context.settingsFile.path() + QStringLiteral(" (")
            + m_context.language.extra(QStringLiteral("SettingsErrorPlace"), result.key,
                                       QString::number(result.fileLine))
            + QLatin1Char(')'));
    }
    exif::ExifOptions exifOptions = exif::exifOptions(m_context.settings);
    exifOptions.programFolder = QCoreApplication::applicationDirPath();
    exifOptions.tempFolder = m_context.tempFolder;
    exifOptions.outputFile = m_context.exifOutputFile;
    m_context.exifReader.setOptions(exifOptions);
    m_main = std::make_unique<mainwindow::frmMain>(m_context, m_services.msgBox());
    // After the main window, which tells a batch that cannot start.
    if (m_context.settings.Option_OutilExifChoisi == 4)
        m_services.startExifBatch();
    m_main->onQuitRequested = [this] {
        m_context.quit = true;
        ExitProgram();
    };
    m_main->onQuitButton = [this] { quitButton(); };
    m_main->onHelp = [this](int topic) { m_services.showHelp(topic); };
    m_main->onAbout = [this] { m_services.showAbout(m_main.get()); };
    m_main->onOption = [this] {
        m_services.showOptions(m_main.get(), {[this] { return m_main->fileList().count(); },
                                              [this] { m_main->update_names(); },
                                              [this] { m_main->refreshThumbnails(); }});
        // The options dialog opens the Exif tool choice.
        m_main->showExifToolUsed();
    };
    m_main->pushSettings();
    if (result.unknownVersion) {
        m_services.msgBox().KVvrMesgBox(
            lang::ui::widgetText(m_context.language.GetMessage(96, m_context.settings.General_VersionCourante)),
            lang::MsgStyle::Information, m_context.language.GetMessage(1));
    }
}

void Program::SaveIniFile()
{
    try {
        m_main->pullSettings();
        if (!settings::writeSettingsFile(m_context.settingsFile, m_context.settings, m_main->CurrentPath(), m_context.version))
            std::fprintf(stderr, "tarvello: the settings could not be written to %s\n",
                         qPrintable(m_context.settingsFile.path()));
    } catch (const VbError &error) {
        m_services.msgBox().ReportError(error, QStringLiteral("SaveIniFile (Module Fichier)"));
    }
}

void Program::SaveRegisterBase(bool closeHelp)
{
    try {
        if (closeHelp)
            m_services.closeHelp();
        SaveIniFile();
    } catch (const VbError &error) {
        m_services.msgBox().ReportError(error, QStringLiteral("SaveRegisterBase (Module Fichier)"));
    }
}

void Program::ExitProgram()
{
    if (!m_main || m_exiting)
        return;
    if (m_main->isMinimized())
        m_main->showNormal();
    if (!m_context.quit)
        return;
    m_exiting = true;
    SaveRegisterBase(true);
    m_services.stopExifBatch();
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void Program::quitButton()
{
    if (m_main->isMinimized())
        m_main->showNormal();
    frmGLQuitter ask(m_context, m_main.get());
    ask.exec();
    ExitProgram();
}

void Program::openCommandLine()
{
    if (m_arguments.isEmpty())
        return;
    // Each word is a path of its own, as a file manager passes them. When one
    // of them names nothing, the whole command line is read as one path, as
    // the program has always done, so that an unquoted path with spaces still
    // opens. Quotes or a missing path give nothing.
    QStringList paths;
    for (const QString &argument : std::as_const(m_arguments)) {
        const QString longPath = QFileInfo(argument).canonicalFilePath();
        if (!longPath.isEmpty())
            paths.append(longPath);
    }
    if (paths.size() < m_arguments.size()) {
        const QString whole = QFileInfo(m_arguments.join(QLatin1Char(' '))).canonicalFilePath();
        if (!whole.isEmpty())
            paths = {whole};
    }
    // The first folder opens in the tree and the files go to the list; given
    // only files, the tree opens on the folder of the first.
    QString folder;
    QStringList files;
    for (const QString &path : std::as_const(paths)) {
        if (!common::ZubFileExists(path)) {
            m_services.msgBox().KVvrMesgBox(lang::ui::widgetText(m_context.language.GetMessage(88, path)),
                                            lang::MsgStyle::OKOnly, QStringLiteral("Message"));
        } else if (!common::ZubIsDir(path)) {
            files.append(path);
        } else if (folder.isEmpty()) {
            folder = path;
        }
    }
    if (folder.isEmpty() && !files.isEmpty())
        folder = common::ZubGetPath(files.first());
    if (!folder.isEmpty())
        m_main->setCurrentPath(folder);
    if (!files.isEmpty())
        m_main->addFromExplorer(files);
}

void Program::raiseMainWindow()
{
    if (!m_main)
        return;
    if (m_main->isMinimized())
        m_main->showNormal();
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
}

} // namespace tarvello::app::ui
