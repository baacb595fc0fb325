#include "app/IniFile.h"
#include "app/ui/Main.h"
#include "app/ui/SingleInstance.h"
#include "app/ui/StartupServices.h"
#include "files/RenameJournal.h"
#include "files/RenamePlan.h"
#include "files/ui/frmMain.h"
#include "lang/MsgBox.h"
#include "support/ScriptedMsgBox.h"

#include <QAbstractButton>
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
    void chooseExifTool() override { ++exifChoices; }
    void checkVersion() override { ++versionChecks; }

    QStringList messages() const
    {
        QStringList texts;
        for (const auto &shown : box.shown)
            texts << shown.text;
        return texts;
    }

    test::ScriptedMsgBox box;
    QList<int> helpTopics;
    int exifChoices = 0;
    int versionChecks = 0;
};

QString buildBin()
{
    return QCoreApplication::applicationDirPath();
}

// A program folder of its own, with just the messages start-up shows, so that
// the tests do not depend on the wording of the shipped language files.
QString makeProgramFolder(const QTemporaryDir &dir)
{
    QDir(dir.path()).mkpath(QStringLiteral("langages"));
    QFile f(dir.filePath(QStringLiteral("langages/Francais.lng")));
    if (f.open(QIODevice::WriteOnly)) {
        f.write("[LANGUAGE]\r\nlanguage=Fran\xE7" "ais\r\n[MSG]\r\nm1=Information\r\nm16=*\r\n"
                "m77=%s fichiers renomm\xE9s\r\nm88=Le dossier %s n'existe pas\r\nm92=Nombre de $ impair\r\n"
                "m96=Version %s inconnue\r\n[EXTRA]\r\nRecoverQuestion=Reprendre ?\r\nRecoverDone=Repris : %s, %s\r\n");
    }
    return dir.path();
}

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
        QVERIFY(m_home.isValid());
        m_program = makeProgramFolder(m_programDir);
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
            QCOMPARE(services.versionChecks, 1);
            QVERIFY(main->windowTitle().startsWith(QStringLiteral("Tarvello v1.13.0 - ")));
            QVERIFY2(!QFile::exists(iniPath()), "nothing is written before the exit");
            main->close();
        }
        const app::IniFile ini(iniPath());
        QCOMPARE(ini.ReadIniKey("Option", "Option_NombreCaractereInterdit", {}), QStringLiteral("6"));
        QCOMPARE(ini.ReadIniKey("Option", "Option_NbFileNotRenamed", {}), QStringLiteral("2"));
        QCOMPARE(ini.ReadIniKey("General", "General_VersionCourante", {}), QStringLiteral("1.13.0"));
        QCOMPARE(ini.ReadIniKey("Langage", "Langage_LangueUtilisee", {}), QStringLiteral("Français"));

        // The second start knows this version: no help, and the stored state comes back.
        RecordingServices again;
        app::ui::Program program(m_program, {}, again);
        QVERIFY(program.Main());
        QVERIFY(again.helpTopics.isEmpty());
        program.mainWindow()->close();
    }

    void versionChangeDependsOnEveryPart_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("helpShown");
        QTest::newRow("same") << QByteArray("1.13.0") << false;
        QTest::newRow("older") << QByteArray("1.12.2") << true;
        QTest::newRow("two parts") << QByteArray("1.13") << false;
        QTest::newRow("no dot") << QByteArray("1130") << true;
    }

    void versionChangeDependsOnEveryPart()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, helpShown);
        writeIni(iniPath(), "[General]\r\nGeneral_VersionCourante=" + stored + "\r\n[Option]\r\nOption_OutilExifChoisi=1\r\n");
        RecordingServices services;
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        QCOMPARE(services.helpTopics.contains(10002), helpShown);
        QCOMPARE(services.exifChoices, 0);
        program.mainWindow()->close();
    }

    void commandLineFolderOpensInTheTree()
    {
        QTemporaryDir photos;
        {
            RecordingServices services;
            app::ui::Program program(m_program, {photos.path()}, services);
            QVERIFY(program.Main());
            QCOMPARE(program.mainWindow()->CurrentPath(), QFileInfo(photos.path()).canonicalFilePath());
            QVERIFY(services.messages().isEmpty());
            program.mainWindow()->close();
        }
        RecordingServices quoted;
        app::ui::Program second(m_program, {QLatin1Char('"') + photos.path() + QLatin1Char('"')}, quoted);
        QVERIFY(second.Main());
        QVERIFY2(quoted.messages().isEmpty(), "a path in quotes is ignored silently");
        second.mainWindow()->close();
    }

    void anOddRuleAndAnUnknownVersionAreReported()
    {
        writeIni(iniPath(), "[General]\r\nGeneral_VersionCourante=9.9.9\r\n[RegleRenommage]\r\n"
                            "RegleRenommage_Regle=Photo_$A_###\r\n");
        RecordingServices services;
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        QCOMPARE(services.messages(), (QStringList{QStringLiteral("Version 9.9.9 inconnue"),
                                                   QStringLiteral("Nombre de $ impair")}));
        QCOMPARE(services.box.shown[0].style, 64);
        QCOMPARE(services.box.shown[1].style, 64);
        QCOMPARE(services.box.shown[0].title, QStringLiteral("Information"));
        QCOMPARE(program.mainWindow()->windowTitle(), QStringLiteral("Tarvello v1.13.0 - 0 fichiers renommés"));
        program.mainWindow()->close();
    }

    void aRenameCutShortIsOfferedOnceTheWindowShows_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(lang::MsgAnswer::Yes);
        QTest::newRow("no") << int(lang::MsgAnswer::No);
    }

    void aRenameCutShortIsOfferedOnceTheWindowShows()
    {
        QFETCH(int, answer);
        QTemporaryDir photos;
        QVERIFY(QFile(photos.filePath(QStringLiteral("a.jpg"))).open(QIODevice::WriteOnly));
        files::FileOps fs;
        const files::RenamePlan plan = files::planRename(
            QList<files::FileEntry>{{QStringLiteral("a.jpg"), photos.path(), QStringLiteral("b.jpg")}}, fs);
        const QString settingsFolder = m_config + QStringLiteral("/Tarvello");
        QCOMPARE(files::RenameJournal(settingsFolder).begin(plan), 0);
        QCOMPARE(fs.renameNoReplace(plan.entries[0].oldPath, plan.entries[0].tempPath), 0);

        RecordingServices services;
        services.box.answers = {answer};
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        QVERIFY(services.box.shown.size() >= 1);
        QCOMPARE(services.box.shown[0].text, QStringLiteral("Reprendre ?"));
        QCOMPARE(services.box.shown[0].style, lang::MsgStyle::YesNo + lang::MsgStyle::Question);
        const bool recovered = answer == lang::MsgAnswer::Yes;
        QCOMPARE(QFile::exists(photos.filePath(QStringLiteral("b.jpg"))), recovered);
        QCOMPARE(files::RenameJournal(settingsFolder).exists(), !recovered);
        if (recovered)
            QCOMPARE(services.box.shown[1].text, QStringLiteral("Repris : 1, 0"));
        program.mainWindow()->close();
    }

    void badSettingsAreReportedAndTheProgramRuns()
    {
        writeIni(iniPath(), "[General]\r\nGeneral_NombreFichierRenomme=beaucoup\r\n[Option]\r\nOption_OutilExifChoisi=1\r\n");
        RecordingServices services;
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        QCOMPARE(services.box.systemTexts.size(), 1);
        QVERIFY(services.box.systemTexts[0].startsWith(
            QStringLiteral("Error 13 (Type mismatch) in procedure ReadIniFile of Module modIniFile line ")));
        QCOMPARE(program.context().settings.RegleRenommage_Pas, qint16(1));
        program.mainWindow()->close();
        QVERIFY(QFile::exists(iniPath()));
    }

    void anUnreadableLanguageFileFallsBackToFrenchAndSaysSo()
    {
        QFile extra(m_program + QStringLiteral("/langages/Francais.lng"));
        QVERIFY(extra.open(QIODevice::Append));
        // The file ends with its EXTRA section.
        extra.write("LanguageUnreadable=%s illisible, %s prend le relais\r\n");
        extra.close();
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
            QCOMPARE(services.messages().value(0),
                     m_program + QStringLiteral("/langages/Deutsch.lng illisible, Français prend le relais"));
            QCOMPARE(program.context().language.GetMessage(16), QStringLiteral("*"));
            QCOMPARE(program.mainWindow()->controls().cboRenommer->currentText(), QStringLiteral("*"));
            program.mainWindow()->close();
        }
        const app::IniFile ini(iniPath());
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

    void quitConfirmationDecidesWhetherAnythingIsSaved()
    {
        RecordingServices services;
        app::ui::Program program(m_program, {}, services);
        QVERIFY(program.Main());
        auto answer = [](const char *button) {
            QTimer::singleShot(50, [button] {
                if (QWidget *w = QApplication::activeModalWidget())
                    if (auto *b = w->findChild<QAbstractButton *>(QLatin1String(button)))
                        b->click();
            });
        };
        answer("cmdContinuer");
        program.quitButton();
        QVERIFY(program.mainWindow()->isVisible());
        QVERIFY2(!QFile::exists(iniPath()), "staying saves nothing");
        answer("cmdQuitter");
        program.quitButton();
        QVERIFY(QFile::exists(iniPath()));
    }

    void aSecondInstanceRaisesTheFirstAndTouchesNothing()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(buildBin() + QStringLiteral("/tarvello"));
        QVERIFY(first.waitForStarted());
        app::ui::SingleInstance probe(m_config + QStringLiteral("/Tarvello"));
        QTRY_VERIFY_WITH_TIMEOUT(probe.raiseRunningInstance(), 15000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(buildBin() + QStringLiteral("/tarvello"));
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!QFile::exists(iniPath()));
        QCOMPARE(first.state(), QProcess::Running);

        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(15000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        const app::IniFile ini(iniPath());
        QCOMPARE(ini.ReadIniKey("Option", "Option_NombreCaractereInterdit", {}), QStringLiteral("6"));
    }

private:
    QString iniPath() const { return m_config + QStringLiteral("/Tarvello/Tarvello.ini"); }

    QTemporaryDir m_home;
    QTemporaryDir m_programDir;
    QString m_program;
    QString m_config;
};

QTEST_MAIN(tst_startup)
#include "tst_startup.moc"
