#include "ini/IniFile.h"
#include "app/ui/Main.h"
#include "app/ui/frmSplash.h"
#include "app/ui/StartupServices.h"
#include "mainwindow/frmMain.h"
#include "lang/MsgBox.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestProgram.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace tarvello;

namespace {

// Records what start-up asks of the parts that are not windows of its own.
class RecordingServices : public app::ui::StartupServices
{
public:
    lang::MsgBox &msgBox() override { return box; }
    void showHelp(int topic) override { helpTopics << topic; }
    void chooseExifTool(QWidget *) override { ++exifChoices; }
    void checkVersion(QWidget *mainWindow) override { versionChecks.append(mainWindow); }
    void showAbout(QWidget *mainWindow) override { aboutBoxes.append(mainWindow); }

    test::ScriptedMsgBox box;
    QList<int> helpTopics;
    int exifChoices = 0;
    QList<QWidget *> versionChecks;
    QList<QWidget *> aboutBoxes;
};

// Just the messages start-up shows, so that the tests do not depend on the
// wording of the shipped language files.
const QString kLanguage = QStringLiteral(
    "[LANGUAGE]\nlanguage=Français\n[MSG]\nm1=Information\nm16=*\nm77=%s fichiers renommés\n[EXTRA]\n"
    "SettingsErrorPlace=clé %s, ligne %s\n");

void writeIni(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

} // namespace

class tst_startup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_programDir = std::make_unique<test::TestProgram>(kLanguage);
        m_program = m_programDir->path();
        m_config = m_home.filePath(QStringLiteral("config"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
        qputenv("HOME", QFile::encodeName(m_home.path()));
    }

    void cleanup()
    {
        QDir(m_config).removeRecursively();
    }

    void firstRunAsksForHelpAndExifToolThenSavesEveryKey()
    {
        RecordingServices services;
        {
            app::ui::Program program(m_program, {}, services);
            QVERIFY(program.Main());
            auto *main = program.mainWindow();
            QVERIFY(main->isVisible());
            QCOMPARE(services.helpTopics, QList<int>{10002});
            QCOMPARE(services.exifChoices, 1);
            QCOMPARE(services.versionChecks, QList<QWidget *>{main});
            QVERIFY(main->windowTitle().startsWith(QStringLiteral("Tarvello v1.13.0 - ")));
            QVERIFY2(!QFile::exists(iniPath()), "nothing is written before the exit");
            main->controls().cmdAide->click();
            QCOMPARE(services.helpTopics, (QList<int>{10002, 10000}));
            main->controls().cmdAbout->click();
            QCOMPARE(services.aboutBoxes, QList<QWidget *>{main});
            main->close();
        }
        const ini::IniFile ini(iniPath());
        QCOMPARE(ini.ReadIniKey("Option", "Option_NombreCaractereInterdit", {}), QStringLiteral("6"));
        QCOMPARE(ini.ReadIniKey("Langage", "Langage_LangueUtilisee", {}), QStringLiteral("Français"));

        // The second start knows this version: no help, and the stored state comes back.
        RecordingServices again;
        app::ui::Program program(m_program, {}, again);
        QVERIFY(program.Main());
        QVERIFY(again.helpTopics.isEmpty());
        program.mainWindow()->close();
    }

    void badSettingsAreReportedAndTheProgramRuns()
    {
        writeIni(iniPath(), "[General]\r\n; edited by hand\r\nGeneral_NombreFichierRenomme=beaucoup\r\n[Option]\r\n"
                            "Option_OutilExifChoisi=1\r\n");
        RecordingServices services;
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        QCOMPARE(services.box.systemTexts.size(), 1);
        QVERIFY(services.box.systemTexts[0].startsWith(
            QStringLiteral("Error 13 (Type mismatch) in procedure ReadIniFile of Module modIniFile line ")));
        QVERIFY2(services.box.systemTexts[0].endsWith(
                     QStringLiteral("\n%1 (clé General_NombreFichierRenomme, ligne 3)").arg(iniPath())),
                 qPrintable(services.box.systemTexts[0]));
        QCOMPARE(program.context().settings.rule.counterStep, qint16(1));
        program.mainWindow()->close();
        QVERIFY(QFile::exists(iniPath()));
    }

    // A message shown while the program starts (an unreadable language file)
    // is not hidden under the start-up window; tooltips leave it alone.
    void theSplashGivesWayToAnyWindowThatOpens()
    {
        app::ui::frmSplash splash(m_programDir->context);
        splash.show();
        QWidget tip(nullptr, Qt::ToolTip);
        tip.show();
        QVERIFY(splash.isVisible());
        QMessageBox message;
        message.show();
        QVERIFY(!splash.isVisible());
    }

private:
    QString iniPath() const { return m_config + QStringLiteral("/Tarvello/Tarvello.ini"); }

    QTemporaryDir m_home;
    std::unique_ptr<test::TestProgram> m_programDir;
    QString m_program;
    QString m_config;
};

QTEST_MAIN(tst_startup)
#include "tst_startup.moc"
