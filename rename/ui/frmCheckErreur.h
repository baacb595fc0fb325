#pragma once

#include "dialogs/ui/CLBHScroll.h"

#include <QDialog>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::rename {
struct RenamePlan;
}

namespace tarvello::rename::ui {

// The conflict review shown before anything is renamed: every new path that
// cannot be taken, with why. Continuing renames the other files; cancelling,
// or closing the window any other way, renames none.
class frmCheckErreur : public QDialog
{
    Q_OBJECT
public:
    // The answer of cancelling.
    static const QString kAnnuler;

    explicit frmCheckErreur(const app::AppContext &context, QWidget *parent = nullptr);

    // Lists the new path of each held-back position of the plan, in order, with
    // its reason, extends the caption with " (conflicts / positions)" and
    // sizes the window to its lines within the screen.
    void showConflicts(const RenamePlan &plan);

    // "" after cmdContinuer, kAnnuler after cmdAnnuler or any other way out.
    const QString &answer() const { return m_answer; }

private:
    void fitToLines();

    const app::AppContext &m_context;
    QLabel *m_lblExplication = nullptr;
    QListWidget *m_lsterreur = nullptr;
    QPushButton *m_cmdContinuer = nullptr;
    QPushButton *m_cmdAnnuler = nullptr;
    dialogs::ui::CLBHScroll m_scroll;
    QString m_answer;
};

} // namespace tarvello::rename::ui
