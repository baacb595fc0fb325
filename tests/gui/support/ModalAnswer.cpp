#include "support/ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace tarvello::test {

std::shared_ptr<ModalOutcome> onNextModal(std::function<void(QWidget *)> act, int timeoutMs)
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

void clickButton(QWidget *window, const char *objectName)
{
    if (auto *button = window->findChild<QAbstractButton *>(QLatin1String(objectName)))
        button->click();
}

} // namespace tarvello::test
