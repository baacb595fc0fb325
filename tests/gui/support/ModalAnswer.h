#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace tarvello::test {

// What happened to the next modal window.
struct ModalOutcome {
    bool seen = false;      // a modal window opened and was handed to the action
    bool stuck = false;     // it was still open after the time allowed and was hidden
};

// Hands the next modal window (QApplication::activeModalWidget) to act as soon
// as it opens, so a test can look at it and answer it. A window still open
// timeoutMs after that is hidden, which ends its exec(), so a faulty test fails
// instead of hanging. Read the outcome after the modal call returned.
inline std::shared_ptr<ModalOutcome> onNextModal(std::function<void(QWidget *)> act, int timeoutMs = 5000)
{
    auto outcome = std::make_shared<ModalOutcome>();
    auto *poll = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto acted = std::make_shared<QPointer<QWidget>>();
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!outcome->seen) {
            if (modal) {
                outcome->seen = true;
                *acted = modal;
                clock->restart();
                act(modal);
            } else if (clock->elapsed() > timeoutMs) {
                poll->deleteLater();
            }
            return;
        }
        if (acted->isNull() || !(*acted)->isVisible()) {
            poll->deleteLater();
        } else if (clock->elapsed() > timeoutMs) {
            outcome->stuck = true;
            (*acted)->hide();
            poll->deleteLater();
        }
    });
    poll->start();
    return outcome;
}

// Clicks the child button of that name of a window.
inline void clickButton(QWidget *window, const char *objectName)
{
    if (auto *button = window->findChild<QAbstractButton *>(QLatin1String(objectName)))
        button->click();
}

} // namespace tarvello::test
