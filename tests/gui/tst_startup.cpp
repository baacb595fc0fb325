// The start-up of the program, the start-up window, and the program's own
// message box that start-up and every window report through.

#include "app/ui/Main.h"
#include "app/ui/StartupServices.h"
#include "app/ui/frmSplash.h"
#include "ini/IniFile.h"
#include "lang/ui/KvrMesgBox.h"
#include "mainwindow/frmMain.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestProgram.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <algorithm>

using namespace tarvello;
using lang::ui::KvrMesgBox;
using test::clickButton;
using test::onNextModal;

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

// Just the texts start-up and the message box show, so that the tests do not
// depend on the wording of the shipped language files.
const QString kLanguage = QStringLiteral(
    "[LANGUAGE]\nlanguage=Français\n[MSG]\nm1=Information\nm16=*\nm77=%s fichiers renommés\n[EXTRA]\n"
    "SettingsErrorPlace=clé %s, ligne %s\n"
    "[frmKVRMsgBox]\ncmdOui.Caption=&Oui\ncmdNon.Caption=&Non merci\ncmdAnnuler.Caption=&Annuler\n"
    "cmdModifier.Caption=&Modifier\nchkAfficher.Caption=Ne plus afficher ce message\n");

// How a message window looks: its pictures, its visible buttons left to
// right ("name:caption", "-" after a disabled one), the memory box, the title.
struct Seen {
    QStringList pictures;
    QStringList buttons;
    bool memoryBoxShown = false;
    bool closable = false;
    QString title;
};

Seen look(QWidget *window)
{
    Seen seen{.title = window->windowTitle()};
    for (const char *name : {"picVbInformation", "picVbExclamation", "picVbQuestion", "picVbCritical"}) {
        if (window->findChild<QLabel *>(QLatin1String(name))->isVisibleTo(window))
            seen.pictures.append(QLatin1String(name));
    }
    QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
    buttons.removeIf([window](QPushButton *button) { return !button->isVisibleTo(window); });
    std::sort(buttons.begin(), buttons.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
    for (QPushButton *button : buttons)
        seen.buttons.append(button->objectName() + QLatin1Char(':') + button->text() + (button->isEnabled() ? "" : "-"));
    seen.memoryBoxShown = window->findChild<QCheckBox *>(QStringLiteral("chkAfficher"))->isVisibleTo(window);
    seen.closable = window->windowFlags().testFlag(Qt::WindowCloseButtonHint);
    return seen;
}

// Runs call, which opens one message window; records how the window looked
// and answers it with the button.
Seen answered(const char *button, const std::function<void()> &call)
{
    Seen seen;
    auto outcome = onNextModal([&](QWidget *window) {
        seen = look(window);
        clickButton(window, button);
    });
    call();
    return outcome->seen && !outcome->stuck ? seen : Seen{};
}

} // namespace

class tst_startup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The "do not show again" memory and the private temporary folder stay in the test's folder.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home.path());
        qputenv("TMPDIR", QFile::encodeName(m_home.path()));
    }

    void init()
    {
        m_program = std::make_unique<test::TestProgram>(kLanguage);
        m_box = std::make_unique<KvrMesgBox>(m_program->context);
        m_config = m_home.filePath(QStringLiteral("config"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
        qputenv("HOME", QFile::encodeName(m_home.path()));
    }

    void cleanup() { QDir(m_config).removeRecursively(); }

    void firstRunAsksForHelpAndExifToolThenSavesEveryKey()
    {
        RecordingServices services;
        {
            app::ui::Program program(m_program->path(), {}, services);
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
        app::ui::Program program(m_program->path(), {}, again);
        QVERIFY(program.Main());
        QVERIFY(again.helpTopics.isEmpty());
        program.mainWindow()->close();
    }

    void badSettingsAreReportedAndTheProgramRuns()
    {
        QDir().mkpath(m_config + QStringLiteral("/Tarvello"));
        QFile ini(iniPath());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[General]\r\n; edited by hand\r\nGeneral_NombreFichierRenomme=beaucoup\r\n[Option]\r\n"
                  "Option_OutilExifChoisi=1\r\n");
        ini.close();
        RecordingServices services;
        app::ui::Program program(m_program->path(), {}, services);
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
        app::ui::frmSplash splash(m_program->context);
        splash.show();
        QWidget tip(nullptr, Qt::ToolTip);
        tip.show();
        QVERIFY(splash.isVisible());
        QMessageBox message;
        message.show();
        QVERIFY(!splash.isVisible());
    }

    void stylesShowTheirIconsAndButtons_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("pictures");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("escape"); // the answer Escape gives, as the system box; 0: the window stays
        const QStringList yesNo{"cmdOui:&Oui", "cmdNon:&Non merci"};
        QTest::newRow("1 OK Annuler") << 1 << QStringList{} << QStringList{"cmdOK:OK", "cmdAnnuler:&Annuler"} << "cmdAnnuler" << 2 << 2;
        QTest::newRow("36 question Non") << 36 << QStringList{"picVbQuestion"} << yesNo << "cmdNon" << 7 << 0;
        QTest::newRow("6 Modifier") << 6 << QStringList{} << yesNo + QStringList{"cmdModifier:&Modifier"} << "cmdModifier" << 8 << 0;
        // Each icon value is taken off once, from the largest: 64 + 48 shows two.
        QTest::newRow("112 two pictures") << 112 << QStringList{"picVbInformation", "picVbExclamation"}
                                          << QStringList{"cmdOK:OK"} << "cmdOK" << 1 << 1;
    }

    void stylesShowTheirIconsAndButtons()
    {
        QFETCH(int, style);
        QFETCH(QStringList, pictures);
        QFETCH(QStringList, buttons);
        QFETCH(QString, click);
        QFETCH(int, answer);
        QFETCH(int, escape);
        m_program->context.settings.General_AfficherImageBouton = 1;   // images are missing: captions stay
        int returned = 0;
        const Seen seen = answered(click.toLatin1().constData(), [&] {
            returned = m_box->KVvrMesgBox(QStringLiteral("Continuer ?"), style, QStringLiteral("Titre é"));
        });
        QCOMPARE(seen.pictures, pictures);
        QCOMPARE(seen.buttons, buttons);
        QCOMPARE(seen.title, QStringLiteral("Titre é"));
        QCOMPARE(seen.closable, escape != 0);
        QCOMPARE(returned, answer);
        QCOMPARE(m_box->result(), answer);
        QVERIFY(!KvrMesgBox::messageShowing());

        bool stillOpen = false;
        auto outcome = onNextModal([&](QWidget *window) {
            QTest::keyClick(window, Qt::Key_Escape);
            stillOpen = window->isVisible();
            if (stillOpen)
                clickButton(window, click.toLatin1().constData());
        });
        returned = m_box->KVvrMesgBox(QStringLiteral("Continuer ?"), style, QStringLiteral("t"));
        QVERIFY(outcome->seen);
        QCOMPARE(stillOpen, escape == 0);
        QCOMPARE(returned, escape ? escape : answer);
    }

    void delayKeepsTheButtonsDisabledForItsPeriods()
    {
        QStringList states;
        bool escapeClosed = true;
        int period = 0;
        auto outcome = onNextModal([&](QWidget *window) {
            auto *timer = window->findChild<QTimer *>(QStringLiteral("Timer"));
            period = timer->isActive() ? timer->interval() : -1;
            timer->stop();   // the periods are counted by hand below
            states.append(look(window).buttons.join(' '));
            QTest::keyClick(window, Qt::Key_Escape);
            escapeClosed = !window->isVisible();
            for (int tick = 0; tick < 3; ++tick) {
                qobject_cast<lang::ui::frmKVRMsgBox *>(window)->Timer_Timer();
                states.append(look(window).buttons.join(' '));
            }
            clickButton(window, "cmdAnnuler");
        });
        QCOMPARE(m_box->KVvrMesgBox(QStringLiteral("Attendez"), 1, QStringLiteral("t"), 3), 2);
        QVERIFY(outcome->seen);
        QCOMPARE(period, KvrMesgBox::kTimerPeriodMs);
        QVERIFY(!escapeClosed);
        const QString off = QStringLiteral("cmdOK:OK- cmdAnnuler:&Annuler-");
        QCOMPARE(states, (QStringList{off, off, off, QStringLiteral("cmdOK:OK cmdAnnuler:&Annuler")}));
    }

    // A ticked box keeps the answer: asked again, the message is not shown.
    // A message without the key, and a key with the box unticked, always show.
    void memoryKeyRemembersTheAnswer()
    {
        const QString key = QStringLiteral("EssaiMemoire");
        const auto ask = [&](const QString &memoryKey) {
            return m_box->KVvrMesgBox(QStringLiteral("Supprimer ?"), 36, QStringLiteral("t"), 0, memoryKey);
        };
        auto ticked = onNextModal([&](QWidget *window) {
            QVERIFY(look(window).memoryBoxShown);
            window->findChild<QCheckBox *>(QStringLiteral("chkAfficher"))->click();
            clickButton(window, "cmdNon");
        });
        QCOMPARE(ask(key), 7);
        QVERIFY(ticked->seen);
        QCOMPARE(QSettings("Tarvello", "Tarvello").value("DialogBox/" + key).toString(), QStringLiteral("1"));
        auto skipped = onNextModal([](QWidget *window) { clickButton(window, "cmdOui"); }, 300);
        QCOMPARE(ask(key), 7);
        QTest::qWait(350);
        QVERIFY(!skipped->seen);
        int answer = 0;

        const Seen plain = answered("cmdOui", [&] { answer = ask({}); });
        QCOMPARE(answer, 6);
        QVERIFY(!plain.title.isEmpty() && !plain.memoryBoxShown);
        QSettings("Tarvello", "Tarvello").setValue("DialogBox/" + key, "0");
        QVERIFY(!answered("cmdOui", [&] { answer = ask(key); }).title.isEmpty());
        QCOMPARE(answer, 6);
    }
private:
    QString iniPath() const { return m_config + QStringLiteral("/Tarvello/Tarvello.ini"); }

    QTemporaryDir m_home;
    std::unique_ptr<test::TestProgram> m_program;
    std::unique_ptr<KvrMesgBox> m_box;
    QString m_config;
};

QTEST_MAIN(tst_startup)
#include "tst_startup.moc"
