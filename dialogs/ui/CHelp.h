#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QPushButton;
class QTextBrowser;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::lang {
class Language;
class MsgBox;
} // namespace tarvello::lang

namespace tarvello::dialogs::ui {

// Opens a web address in the user's browser; false when nothing took it.
using UrlOpener = std::function<bool(const QString &)>;

// The help window: the language's HTML help file in a browser pane, with
// "contents", "back" and "close" buttons. Links to the web go to the browser.
class frmHelp : public QWidget
{
    Q_OBJECT
public:
    frmHelp(const lang::Language &language, bool images, UrlOpener openUrl);

    // Shows the help file scrolled to the topic's anchor (its start for 0).
    void showTopic(const QString &helpFile, int topic);

    QTextBrowser *browser() const { return m_txtAide; }

protected:
    // A change of language translates the window and opens the new
    // language's help at the same topic.
    void changeEvent(QEvent *event) override;

private:
    const lang::Language &m_language;
    QTextBrowser *m_txtAide = nullptr;
    UrlOpener m_openUrl;
};

// The help of the program: the current language's help file in the program's
// help window, kept open and reused for the rest of the run. Make one for the
// run and hand it to the windows that have a help button.
class CHelp
{
public:
    CHelp(app::AppContext &context, lang::MsgBox &msgBox, UrlOpener openUrl = {});
    ~CHelp();
    CHelp(const CHelp &) = delete;
    CHelp &operator=(const CHelp &) = delete;

    // Shows the help file at the topic (HelpTopic::..., 0 for its start). When
    // the file is missing, unreadable or empty, asks message 53 once and, on
    // Oui, opens the online manual.
    void Show(int topic = 0);

    // Closes the help window (the program is leaving).
    void closeHelp();

    // The help window, null until the first Show.
    frmHelp *window() const { return m_window; }

private:
    app::AppContext &m_context;
    lang::MsgBox &m_msgBox;
    UrlOpener m_openUrl;
    QPointer<frmHelp> m_window;
};

} // namespace tarvello::dialogs::ui
