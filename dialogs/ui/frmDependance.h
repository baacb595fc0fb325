#pragma once

#include "dialogs/Dependencies.h"

#include <QDialog>

class QTreeWidget;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::dialogs::ui {

class CHelp;

// The dependency list: the operating system, then every runtime file the
// program has loaded with its version, which the user can copy to give
// support the whole picture. Opened modally from the about box.
class frmDependance : public QDialog
{
    Q_OBJECT
public:
    frmDependance(app::AppContext &context, CHelp &help, QWidget *parent = nullptr);

    // The rows as the list shows them, first to last.
    QList<DependencyRow> rows() const;

private:
    void cmdPressePapier_Click();

    QTreeWidget *m_lstDependance = nullptr;
};

} // namespace tarvello::dialogs::ui
