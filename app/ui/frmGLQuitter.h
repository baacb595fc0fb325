#pragma once

#include <QDialog>

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::app::ui {

// Asks whether the user really leaves; cmdQuitter sets the quit flag,
// cmdContinuer clears it.
class frmGLQuitter : public QDialog
{
    Q_OBJECT
public:
    explicit frmGLQuitter(AppContext &context, QWidget *parent = nullptr);
};

} // namespace tarvello::app::ui
