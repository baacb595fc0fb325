#include "lang/ui/KvrMesgBox.h"
#include "support/ModalAnswer.h"
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
    QList<bool> enabled;
    QString title;
    bool memoryBoxShown = false;
    bool closable = false;
    bool opened = false;     // a window opened and went when answered
};

Seen look(QWidget *window)
{
    Seen seen;
    seen.title = window->windowTitle();
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
        seen.enabled.append(button->isEnabled());
        seen.captions.append(button->text());
    }
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
        QTest::newRow("1 OK Annuler") << 1 << QStringList{} << QStringList{"cmdOK", "cmdAnnuler"} << "cmdAnnuler" << 2 << 2;
        QTest::newRow("36 question Non") << 36 << QStringList{"picVbQuestion"} << yesNo << "cmdNon" << 7 << 0;
        QTest::newRow("6 Modifier") << 6 << QStringList{} << QStringList{"cmdOui", "cmdNon", "cmdModifier"}
                                    << "cmdModifier" << 8 << 0;
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
};

QTEST_MAIN(tst_msgbox)
#include "tst_msgbox.moc"
