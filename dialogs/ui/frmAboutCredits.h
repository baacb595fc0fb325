#pragma once

#include "dialogs/Credits.h"

#include <QDialog>
#include <QImage>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::updatewindow {
class UpdateService;
}

namespace tarvello::dialogs::ui {

class CHelp;
class CreditsView;

// The about box: the version and its release date, the support site and mail,
// the machine's memory and disk figures, the scrolling credits, the on-demand
// version check and the dependency list. updates may be null (no check).
class frmAboutCredits : public QDialog
{
    Q_OBJECT
public:
    frmAboutCredits(app::AppContext &context, CHelp &help, updatewindow::UpdateService *updates,
                    QWidget *parent = nullptr);
    ~frmAboutCredits() override;

    // The credits area's inner size, in pixels.
    static constexpr int kCreditsWidth = 402;
    static constexpr int kCreditsHeight = 186;

    const CreditsScroll &credits() const { return *m_credits; }
    // The credits as last drawn.
    const QImage &creditsImage() const { return m_buffer; }

    // Open the site and the mail to support; tests put their own.
    std::function<bool(const QString &url)> openUrl;
    std::function<bool(const QString &mailto)> openMail;

protected:
    bool event(QEvent *event) override;
    void done(int result) override;

private:
    void ReDrawTimer_Timer();
    void cmdControleVersion_Click();
    void cmdDependance_Click();
    void showFreeSpace();
    void showProcessMemory();
    void refreshCheckButton();
    // A figure's label reads its caption and its value to screen readers.
    void setFigure(QLabel *value, QLabel *caption, const QString &text);

    app::AppContext &m_context;
    CHelp &m_help;
    updatewindow::UpdateService *m_updates;
    std::unique_ptr<CreditsScroll> m_credits;
    QImage m_background;
    QImage m_buffer;
    CreditsView *m_view = nullptr;
    QTimer *m_timer = nullptr;
    QLabel *m_memTot = nullptr;
    QLabel *m_memDis = nullptr;
    QLabel *m_process = nullptr;
    QLabel *m_espace = nullptr;
    QLabel *m_espaceVal = nullptr;
    QComboBox *m_drive = nullptr;
    QPushButton *m_checkVersion = nullptr;
    QList<QLabel *> m_captions;
};

// Opens the about box modally over the parent.
void ShowAboutCredits(app::AppContext &context, CHelp &help, updatewindow::UpdateService *updates,
                      QWidget *parent);

} // namespace tarvello::dialogs::ui
