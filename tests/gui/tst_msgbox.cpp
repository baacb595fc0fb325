#include "common/VbError.h"
#include "lang/ui/KvrMesgBox.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestProgram.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <algorithm>

using namespace tarvello;
using lang::ui::KvrMesgBox;
using test::clickButton;
using test::onNextModal;

namespace {

const QString kLanguage = QStringLiteral(
    "[LANGUAGE]\nlanguage=Français\n"
    "[frmKVRMsgBox]\ncmdOui.Caption=&Oui\ncmdNon.Caption=&Non merci\ncmdAnnuler.Caption=&Annuler\n"
    "cmdModifier.Caption=&Modifier\nchkAfficher.Caption=Ne plus afficher ce message\n"
    "picVbQuestion.ToolTipText=Question\n");

struct Seen {
    QStringList pictures;
    QStringList buttons;     // visible, left to right
    QStringList captions;
    QList<QRect> buttonRects;
    QList<bool> enabled;
    QString title;
    QString text;
    QRect window;
    QRect memoryBox;
    QRect screen;
    bool textScrolls = false;
    bool memoryBoxShown = false;
    bool closable = false;
    bool opened = false;     // a window opened and went when answered
};

Seen look(QWidget *window)
{
    Seen seen;
    seen.title = window->windowTitle();
    seen.window = window->rect();
    for (const char *name : {"picVbInformation", "picVbExclamation", "picVbQuestion", "picVbCritical"}) {
        if (window->findChild<QLabel *>(QLatin1String(name))->isVisibleTo(window))
            seen.pictures.append(QLatin1String(name));
    }
    QList<QPushButton *> buttons;
    for (QPushButton *button : window->findChildren<QPushButton *>()) {
        if (button->isVisibleTo(window))
            buttons.append(button);
    }
    std::sort(buttons.begin(), buttons.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
    for (QPushButton *button : buttons) {
        seen.buttons.append(button->objectName());
        seen.buttonRects.append(button->geometry());
        seen.enabled.append(button->isEnabled());
        seen.captions.append(button->text());
    }
    seen.text = window->findChild<QLabel *>(QStringLiteral("lblMsg"))->text();
    auto *memory = window->findChild<QCheckBox *>(QStringLiteral("chkAfficher"));
    seen.memoryBoxShown = memory->isVisibleTo(window);
    seen.memoryBox = memory->geometry();
    seen.closable = window->windowFlags().testFlag(Qt::WindowCloseButtonHint);
    seen.textScrolls = window->findChild<QScrollArea *>()->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
    seen.screen = window->screen()->availableGeometry();
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
    seen.opened = outcome->seen && !outcome->stuck;
    return seen;
}

} // namespace

class tst_msgbox : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_store;
    std::unique_ptr<test::TestProgram> m_program;
    std::unique_ptr<KvrMesgBox> m_box;

private Q_SLOTS:
    void init()
    {
        m_program = std::make_unique<test::TestProgram>(kLanguage);
        m_box = std::make_unique<KvrMesgBox>(m_program->context);
    }

    void initTestCase()
    {
        // The "do not show again" memory goes to a folder of the test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_store.path());
    }

    void stylesShowTheirIconsAndButtons_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QStringList>("pictures");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("escape"); // the answer Escape gives, as the system box; 0: the window stays
        const QStringList ok{"cmdOK"};
        const QStringList yesNo{"cmdOui", "cmdNon"};
        QTest::newRow("0 plain OK") << 0 << QStringList{} << ok << "cmdOK" << 1 << 1;
        QTest::newRow("1 OK Annuler") << 1 << QStringList{} << QStringList{"cmdOK", "cmdAnnuler"} << "cmdAnnuler" << 2 << 2;
        QTest::newRow("3 Oui Non Annuler") << 3 << QStringList{} << QStringList{"cmdOui", "cmdNon", "cmdAnnuler"}
                                           << "cmdOui" << 6 << 2;
        QTest::newRow("36 question Non") << 36 << QStringList{"picVbQuestion"} << yesNo << "cmdNon" << 7 << 0;
        QTest::newRow("6 Modifier") << 6 << QStringList{} << QStringList{"cmdOui", "cmdNon", "cmdModifier"}
                                    << "cmdModifier" << 8 << 0;
        QTest::newRow("52 exclamation Oui Non") << 52 << QStringList{"picVbExclamation"} << yesNo << "cmdNon" << 7 << 0;
        // Each icon value is taken off once, from the largest: 64 + 48 shows two.
        QTest::newRow("112 two pictures") << 112 << QStringList{"picVbInformation", "picVbExclamation"} << ok
                                          << "cmdOK" << 1 << 1;
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
        KvrMesgBox &box = *m_box;
        int returned = 0;
        const Seen seen = answered(click.toLatin1().constData(), [&] {
            returned = box.KVvrMesgBox(QStringLiteral("Continuer ?"), style, QStringLiteral("Titre é"));
        });
        QVERIFY(seen.opened);
        QCOMPARE(seen.pictures, pictures);
        QCOMPARE(seen.buttons, buttons);
        QCOMPARE(seen.title, QStringLiteral("Titre é"));
        QCOMPARE(seen.closable, escape != 0);
        QCOMPARE(returned, answer);
        QCOMPARE(box.result(), answer);
        QVERIFY(!KvrMesgBox::messageShowing());
        // Captions come from the language file.
        QCOMPARE(seen.captions.contains(QStringLiteral("&Non merci")), buttons.contains(QStringLiteral("cmdNon")));

        bool stillOpen = false;
        auto outcome = onNextModal([&](QWidget *window) {
            QTest::keyClick(window, Qt::Key_Escape);
            stillOpen = window->isVisible();
            if (stillOpen)
                clickButton(window, click.toLatin1().constData());
        });
        returned = box.KVvrMesgBox(QStringLiteral("Continuer ?"), style, QStringLiteral("t"));
        QVERIFY(outcome->seen);
        QCOMPARE(stillOpen, escape == 0);
        QCOMPARE(returned, escape ? escape : answer);
    }

    void delayKeepsTheButtonsDisabledForItsPeriods()
    {
        KvrMesgBox &box = *m_box;
        QList<QList<bool>> states;
        bool escapeClosed = true;
        int period = 0;
        auto outcome = onNextModal([&](QWidget *window) {
            auto *form = qobject_cast<lang::ui::frmKVRMsgBox *>(window);
            auto *timer = window->findChild<QTimer *>(QStringLiteral("Timer"));
            period = timer->isActive() ? timer->interval() : -1;
            timer->stop();   // the periods are counted by hand below
            states.append(look(window).enabled);
            QTest::keyClick(window, Qt::Key_Escape);
            escapeClosed = !window->isVisible();
            for (int tick = 0; tick < 3; ++tick) {
                form->Timer_Timer();
                states.append(look(window).enabled);
            }
            clickButton(window, "cmdAnnuler");
        });
        const int returned = box.KVvrMesgBox(QStringLiteral("Attendez"), 1, QStringLiteral("t"), 3);
        QVERIFY(outcome->seen);
        QCOMPARE(period, KvrMesgBox::kTimerPeriodMs);
        QVERIFY(!escapeClosed);
        const QList<bool> off{false, false};
        const QList<bool> on{true, true};
        QCOMPARE(states, (QList<QList<bool>>{off, off, off, on}));
        QCOMPARE(returned, 2);
    }

    void windowFollowsItsText()
    {
        KvrMesgBox &box = *m_box;
        const Seen small = answered("cmdOK", [&] { box.KVvrMesgBox(QStringLiteral("<b>photo</b> & été"), 0, QStringLiteral("t")); });
        QCOMPARE(small.text, QStringLiteral("<b>photo</b> & été"));   // shown as written
        QString lines;
        for (int i = 0; i < 12; ++i)
            lines += QStringLiteral("Ligne %1 d'un message assez long pour élargir la fenêtre\r\n").arg(i);
        const Seen large = answered("cmdOK", [&] { box.KVvrMesgBox(lines, 64, QStringLiteral("t")); });
        QVERIFY(large.window.width() > small.window.width());
        QVERIFY(large.window.height() > small.window.height());
        QCOMPARE(large.text, QString(lines).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }

    void longUnbrokenTextWrapsInsideTheScreen()
    {
        KvrMesgBox &box = *m_box;
        const QString path = QStringLiteral("/home/utilisateur/") + QString(400, QLatin1Char('x')) + QStringLiteral(".jpg");
        const Seen wide = answered("cmdOK", [&] { box.KVvrMesgBox(path, 48, QStringLiteral("t")); });
        QVERIFY(wide.window.width() < wide.screen.width());
        QVERIFY(wide.text.count(QLatin1Char('\n')) >= 1);
        QCOMPARE(QString(wide.text).remove(QLatin1Char('\n')), path);

        // A text taller than the screen scrolls inside the window.
        QString tall;
        for (int i = 0; i < 400; ++i)
            tall += QStringLiteral("ligne %1\n").arg(i);
        const Seen high = answered("cmdOK", [&] { box.KVvrMesgBox(tall, 0, QStringLiteral("t")); });
        QVERIFY(high.textScrolls);
        QVERIFY(high.window.height() < high.screen.height());
        QVERIFY(high.text.startsWith(QStringLiteral("ligne 0\n")) && high.text.contains(QStringLiteral("ligne 399")));
    }

    // A run-time error, and a style out of range, are reported in the
    // program's own box.
    void errorReports()
    {
        KvrMesgBox &box = *m_box;
        const Seen seen = answered("cmdOK", [&] {
            box.ReportError(common::VbError(53), QStringLiteral("cmdAdd_Click (Feuille frmMain)"));
        });
        QVERIFY(seen.opened);
        QCOMPARE(seen.title, QStringLiteral("Erreur rencontrée"));
        QCOMPARE(seen.text, QStringLiteral("Error 53 (File not found)\ndans la procédure cmdAdd_Click (Feuille frmMain)"));
        QCOMPARE(seen.pictures, QStringList{"picVbInformation"});
        QCOMPARE(seen.buttons, QStringList{"cmdOK"});
        const Seen overflow = answered("cmdOK", [&] { box.KVvrMesgBox(QStringLiteral("x"), 40000, QStringLiteral("t")); });
        QVERIFY(overflow.opened);
        QCOMPARE(overflow.text, QStringLiteral("Error 6 (Overflow)\ndans la procédure KVvrMesgBox"));
    }

    void errorNumberZeroShowsNothing_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("messages");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("negative") << -5 << 0;
        QTest::newRow("13") << 13 << 1;
    }

    void errorNumberZeroShowsNothing()
    {
        QFETCH(int, number);
        QFETCH(int, messages);
        test::ScriptedMsgBox box;
        box.ReportError(common::VbError(number, QStringLiteral("x")), QStringLiteral("p"));
        QCOMPARE(box.shown.size(), messages);
        if (messages)
            QCOMPARE(box.shown.first().style, 64);
    }

    void oneMessageAtATime()
    {
        KvrMesgBox &box = *m_box;
        KvrMesgBox other(m_program->context);
        auto first = onNextModal([](QWidget *window) { clickButton(window, "cmdNon"); });
        QCOMPARE(box.KVvrMesgBox(QStringLiteral("1"), 36, QStringLiteral("t")), 7);
        int nested = -1;
        int nestedOther = -1;
        int windows = 0;
        auto second = onNextModal([&](QWidget *window) {
            // Asked while a message shows: nothing is shown, the previous answer comes back.
            nested = box.KVvrMesgBox(QStringLiteral("2"), 0, QStringLiteral("t"));
            nestedOther = other.KVvrMesgBox(QStringLiteral("3"), 0, QStringLiteral("t"));
            for (QWidget *top : QApplication::topLevelWidgets())
                windows += top->objectName() == QLatin1String("frmKVRMsgBox") && top->isVisible();
            clickButton(window, "cmdOui");
        });
        QCOMPARE(box.KVvrMesgBox(QStringLiteral("4"), 36, QStringLiteral("t")), 6);
        QCOMPARE(nested, 7);
        QCOMPARE(nestedOther, 0);
        QCOMPARE(windows, 1);
        QVERIFY(!second->stuck);
    }

    void memoryKeyRemembersTheAnswer()
    {
        KvrMesgBox &box = *m_box;
        const QString key = QStringLiteral("EssaiMemoire");
        Seen seen;
        auto ticked = onNextModal([&](QWidget *window) {
            seen = look(window);
            window->findChild<QCheckBox *>(QStringLiteral("chkAfficher"))->click();
            clickButton(window, "cmdNon");
        });
        QCOMPARE(box.KVvrMesgBox(QStringLiteral("Supprimer ?"), 36, QStringLiteral("t"), 0, key), 7);
        QVERIFY(ticked->seen);
        QVERIFY(seen.memoryBoxShown);
        for (const QRect &button : seen.buttonRects)
            QVERIFY(!button.intersects(seen.memoryBox));
        QVERIFY(seen.window.contains(seen.memoryBox));
        QCOMPARE(QSettings("Tarvello", "Tarvello").value("DialogBox/" + key).toString(), QStringLiteral("1"));

        // Asked again: not shown, the same answer.
        auto skipped = onNextModal([](QWidget *window) { clickButton(window, "cmdOui"); }, 300);
        QCOMPARE(box.KVvrMesgBox(QStringLiteral("Supprimer ?"), 36, QStringLiteral("t"), 0, key), 7);
        QTest::qWait(350);
        QVERIFY(!skipped->seen);

        // A box without the memory key, and a key with the box unticked, always show.
        int answer = 0;
        const Seen plain = answered("cmdOui", [&] { answer = box.KVvrMesgBox(QStringLiteral("Supprimer ?"), 36, QStringLiteral("t")); });
        QCOMPARE(answer, 6);
        QVERIFY(plain.opened);
        QVERIFY(!plain.memoryBoxShown);
        QSettings("Tarvello", "Tarvello").setValue("DialogBox/" + key, "0");
        const Seen unticked = answered("cmdOui", [&] { answer = box.KVvrMesgBox(QStringLiteral("Supprimer ?"), 36, QStringLiteral("t"), 0, key); });
        QCOMPARE(answer, 6);
        QVERIFY(unticked.opened);
    }

    void memoryThatCannotBeStoredIsReported()
    {
        QTemporaryDir store;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
        // A folder where the store's file should be: writing it fails, for root too.
        QVERIFY(QDir().mkpath(store.path() + QStringLiteral("/Tarvello/Tarvello.conf")));
        KvrMesgBox &box = *m_box;
        Seen report;
        std::shared_ptr<test::ModalOutcome> reported;
        auto outcome = onNextModal([&](QWidget *window) {
            window->findChild<QCheckBox *>(QStringLiteral("chkAfficher"))->click();
            clickButton(window, "cmdOK");
            // The report comes once the message has gone.
            reported = onNextModal([&](QWidget *next) {
                report = look(next);
                clickButton(next, "cmdOK");
            });
        });
        box.KVvrMesgBox(QStringLiteral("Info"), 64, QStringLiteral("t"), 0, QStringLiteral("Cle"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_store.path());
        QVERIFY(outcome->seen);
        QVERIFY(reported && reported->seen);
        QCOMPARE(report.text,
                 QStringLiteral("Error 70 (Permission denied)\ndans la procédure chkAfficher_Click (Feuille frmKVRMsgBox)"));
        QCOMPARE(box.result(), 1);
    }

    void systemBoxReport()
    {
        KvrMesgBox &box = *m_box;
        QString text;
        auto outcome = onNextModal([&](QWidget *window) {
            text = qobject_cast<QMessageBox *>(window)->text();
            qobject_cast<QMessageBox *>(window)->button(QMessageBox::Ok)->click();
        });
        box.reportSystemError(common::VbError(13), QStringLiteral("cmdDossierSpecifique_Click"),
                              QStringLiteral("Feuille frmOption"));
        QVERIFY(outcome->seen);
        QCOMPARE(text, QStringLiteral("Error 13 (Type mismatch) in procedure cmdDossierSpecifique_Click of Feuille frmOption"));
    }
};

QTEST_MAIN(tst_msgbox)
#include "tst_msgbox.moc"
