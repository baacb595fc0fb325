#include "ini/IniFile.h"
#include "app/ui/Main.h"
#include "app/ui/SingleInstance.h"
#include "app/ui/frmSplash.h"
#include "app/ui/StartupServices.h"
#include "rename/RenameJournal.h"
#include "rename/RenamePlan.h"
#include "mainwindow/frmMain.h"
#include "lang/MsgBox.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestProgram.h"
#include "tests/support/LocalHttpServer.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>

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
    "[LANGUAGE]\nlanguage=Français\n[MSG]\nm1=Information\nm16=*\nm77=%s fichiers renommés\n"
    "m88=Le dossier %s n'existe pas\nm92=Nombre de $ impair\nm96=Version %s inconnue\n[EXTRA]\n"
    "RecoverQuestion=Reprendre ?\nRecoverDone=Repris : %s, %s\nLanguageUnreadable=%s illisible, %s prend le relais\n"
    "SettingsErrorPlace=clé %s, ligne %s\n"
    "RecoverMissing=Introuvable : %s devenant %s\nRecoverMissingTemporary=ni %s\nRecoverJournalKept=Journal %s gardé\n");

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

    void commandLineOpensFoldersAndAddsFiles_data()
    {
        // "@" stands for the test's folder; tree and list are relative to it,
        // an empty tree leaves the start folder.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("tree");
        QTest::addColumn<QStringList>("list");
        QTest::newRow("a folder") << QStringList{"@/photos"} << "photos" << QStringList{};
        QTest::newRow("files, in the order given")
            << QStringList{"@/photos/b.jpg", "@/photos/a.jpg"} << "photos" << QStringList{"photos/b.jpg", "photos/a.jpg"};
        QTest::newRow("a folder wins over the folder of a file")
            << QStringList{"@/My Photos/c.jpg", "@/photos", "@/My Photos"} << "photos" << QStringList{"My Photos/c.jpg"};
        QTest::newRow("a folder with a space, unquoted") << QStringList{"@/My", "Photos"} << "My Photos" << QStringList{};
        QTest::newRow("a file with a space, unquoted")
            << QStringList{"@/My", "Photos/c.jpg"} << "My Photos" << QStringList{"My Photos/c.jpg"};
        QTest::newRow("in quotes") << QStringList{"\"@/photos\""} << "" << QStringList{};
        QTest::newRow("missing") << QStringList{"@/photos/z.jpg"} << "" << QStringList{};
    }

    void commandLineOpensFoldersAndAddsFiles()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, tree);
        QFETCH(QStringList, list);
        QTemporaryDir files;
        const QString base = QFileInfo(files.path()).canonicalFilePath();
        for (const char *name : {"photos/a.jpg", "photos/b.jpg", "My Photos/c.jpg"}) {
            QVERIFY(QDir(base).mkpath(QFileInfo(QString::fromUtf8(name)).path()));
            QVERIFY(QFile(base + QLatin1Char('/') + QString::fromUtf8(name)).open(QIODevice::WriteOnly));
        }
        arguments.replaceInStrings(QStringLiteral("@"), base);

        RecordingServices services;
        app::ui::Program program(m_program, arguments, services);
        QVERIFY(program.Main());
        const QString shown = program.mainWindow()->CurrentPath();
        if (tree.isEmpty())
            QVERIFY2(!shown.startsWith(base), qPrintable(shown));
        else
            QCOMPARE(shown, base + QLatin1Char('/') + tree);
        QStringList listed;
        for (const filelist::FileEntry &entry : program.mainWindow()->fileList().entries())
            listed.append(QDir(base).relativeFilePath(entry.path()));
        QCOMPARE(listed, list);
        QVERIFY(services.box.texts().isEmpty());
        program.mainWindow()->close();
    }

    void anOddRuleAndAnUnknownVersionAreReported()
    {
        writeIni(iniPath(), "[General]\r\nGeneral_VersionCourante=9.9.9\r\n[RegleRenommage]\r\n"
                            "RegleRenommage_Regle=Photo_$A_###\r\n");
        RecordingServices services;
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        QCOMPARE(services.box.texts(), (QStringList{QStringLiteral("Version 9.9.9 inconnue"),
                                                   QStringLiteral("Nombre de $ impair")}));
        QCOMPARE(services.box.shown[0].style + services.box.shown[1].style, 128);
        QCOMPARE(services.box.shown[0].title, QStringLiteral("Information"));
        QCOMPARE(program.mainWindow()->windowTitle(), QStringLiteral("Tarvello v1.13.0 - 0 fichiers renommés"));
        program.mainWindow()->close();
    }

    // The answers and what each leads to are the controller's; the window
    // asks as soon as it shows.
    void aRenameCutShortIsOfferedOnceTheWindowShows()
    {
        QTemporaryDir photos;
        QVERIFY(QFile(photos.filePath(QStringLiteral("a.jpg"))).open(QIODevice::WriteOnly));
        rename::FileOps fs;
        const rename::RenamePlan plan = rename::planRename(
            QList<filelist::FileEntry>{{QStringLiteral("a.jpg"), photos.path(), QStringLiteral("b.jpg")}}, fs);
        const QString settingsFolder = m_config + QStringLiteral("/Tarvello");
        QCOMPARE(rename::RenameJournal(settingsFolder).begin(plan), 0);
        QCOMPARE(fs.renameNoReplace(plan.entries[0].oldPath, plan.entries[0].tempPath), 0);

        RecordingServices services;
        services.box.answers = {lang::MsgAnswer::Yes};
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        QCOMPARE(services.box.texts(), (QStringList{QStringLiteral("Reprendre ?"), QStringLiteral("Repris : 1, 0")}));
        QCOMPARE(services.box.shown[0].style, lang::MsgStyle::YesNo + lang::MsgStyle::Question);
        QVERIFY(QFile::exists(photos.filePath(QStringLiteral("b.jpg"))));
        QVERIFY(!rename::RenameJournal(settingsFolder).exists());
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

    void anUnreadableLanguageFileFallsBackToFrenchAndSaysSo()
    {
        QFile garbage(m_program + QStringLiteral("/langages/Deutsch.lng"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        for (int i = 0; i < 3000; ++i)
            garbage.putChar(char((i * 53 + 3) % 256));
        garbage.close();
        writeIni(iniPath(), "[Langage]\r\nLangage_LangueUtilisee=Deutsch\r\n[Option]\r\nOption_OutilExifChoisi=1\r\n");
        {
            RecordingServices services;
            app::ui::Program program(m_program, {}, services);
            QVERIFY(program.Main());
            QCOMPARE(services.box.texts().value(0),
                     m_program + QStringLiteral("/langages/Deutsch.lng illisible, Français prend le relais"));
            QCOMPARE(program.context().language.GetMessage(16), QStringLiteral("*"));
            QCOMPARE(program.mainWindow()->controls().cboRenommer->currentText(), QStringLiteral("*"));
            program.mainWindow()->close();
        }
        const ini::IniFile ini(iniPath());
        QCOMPARE(ini.ReadIniKey("Langage", "Langage_LangueUtilisee", {}), QStringLiteral("Deutsch"));

        // Without any readable language file the program still starts and says so once.
        QFile::remove(m_program + QStringLiteral("/langages/Francais.lng"));
        RecordingServices bare;
        app::ui::Program program(m_program, {}, bare);
        QVERIFY(program.Main());
        QCOMPARE(bare.box.systemTexts.size(), 1);
        QVERIFY(bare.box.systemTexts[0].contains(QStringLiteral("Deutsch.lng")));
        program.mainWindow()->close();
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

    void quitConfirmationDecidesWhetherAnythingIsSaved()
    {
        RecordingServices services;
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        auto stay = test::onNextModal([](QWidget *window) { test::clickButton(window, "cmdContinuer"); });
        program.quitButton();
        QVERIFY(stay->seen && !stay->stuck);
        QVERIFY(program.mainWindow()->isVisible());
        QVERIFY2(!QFile::exists(iniPath()), "staying saves nothing");
        auto quit = test::onNextModal([](QWidget *window) { test::clickButton(window, "cmdQuitter"); });
        program.quitButton();
        QVERIFY(quit->seen && !quit->stuck);
        QVERIFY(QFile::exists(iniPath()));
    }

    void aSecondInstanceRaisesTheFirstAndTouchesNothing()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The program's own update check asks a site where nothing answers.
        env.insert(QStringLiteral("TARVELLO_SITE"), test::LocalHttpServer::deadAddress());
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarvello"));
        QVERIFY(first.waitForStarted());
        app::ui::SingleInstance probe(m_config + QStringLiteral("/Tarvello"));
        QTRY_VERIFY_WITH_TIMEOUT(probe.raiseRunningInstance(), 15000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarvello"));
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!QFile::exists(iniPath()));
        QCOMPARE(first.state(), QProcess::Running);

        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(15000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        const ini::IniFile ini(iniPath());
        QCOMPARE(ini.ReadIniKey("Option", "Option_NombreCaractereInterdit", {}), QStringLiteral("6"));
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
