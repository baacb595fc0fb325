#pragma once

#include "rename/RenameHistory.h"

#include <QDialog>
#include <QList>

#include <functional>

class QPushButton;
class QTreeWidget;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::lang {
class MsgBox;
}

namespace tarvello::rename::ui {

// The rename history: every run, newest first, with how many of its files
// are still where it put them, and the files of the chosen run. Any of the
// last runs with files in place can be undone; the whole history exports to
// CSV.
class frmHistory : public QDialog
{
    Q_OBJECT
public:
    frmHistory(const app::AppContext &context, lang::MsgBox &msgBox, QWidget *parent = nullptr);

    // Asked to undo run number (1 for the newest) with inPlace files still
    // where it put them; the history is read again after it.
    std::function<void(int number, int inPlace)> onUndo;

    // Reads the history again.
    void reload();

private:
    void showFiles();
    void exportCsv();
    int chosenRun() const;

    const app::AppContext &m_context;
    lang::MsgBox &m_msgBox;
    QTreeWidget *m_runs = nullptr;
    QTreeWidget *m_files = nullptr;
    QPushButton *m_cmdUndo = nullptr;
    QPushButton *m_cmdExport = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QList<HistoryRun> m_history;
    QList<int> m_inPlace; // for the runs that can be undone
};

} // namespace tarvello::rename::ui
