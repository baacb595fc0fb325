#pragma once

#include <QPointer>
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
std::shared_ptr<ModalOutcome> onNextModal(std::function<void(QWidget *)> act, int timeoutMs = 5000);

// Clicks the child button of that name of a window.
void clickButton(QWidget *window, const char *objectName);

} // namespace tarvello::test
