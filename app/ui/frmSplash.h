#pragma once

#include <QDialog>

class QLabel;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::app::ui {

// The start-up window shown while the program prepares; a click or a key
// closes it, and so does any other window that opens meanwhile (a start-up
// message, the help), which it would otherwise cover.
class frmSplash : public QDialog
{
    Q_OBJECT
public:
    explicit frmSplash(AppContext &context, QWidget *parent = nullptr);

    // Fills the texts that come from the language file (once it is chosen).
    void translate();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    AppContext &m_context;
    QLabel *m_version;
    QLabel *m_warning;
    QLabel *m_warning2;
};

} // namespace tarvello::app::ui
