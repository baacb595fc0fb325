#pragma once

#include "lang/MsgBox.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;

namespace tarvello::app {
struct AppContext;
}

namespace tarvello::lang {
class Language;
}

namespace tarvello::lang::ui {

// The pictures a style shows and the button set that remains once the icon
// values are taken off (64, then 48, 32 and 16, each at most once).
struct StyleParts {
    bool information = false;
    bool exclamation = false;
    bool question = false;
    bool critical = false;
    int buttonSet = 0;
};

// Takes a style apart into its pictures and its button set.
StyleParts splitStyle(int style);

// The object names of the buttons of a button set, left to right.
QStringList buttonsOfSet(int buttonSet);

// The answer a button of the message window leaves (0 for an unknown name).
int answerOfButton(const QString &objectName);

// The button row of the message window, in twips: the window's width (widened
// when the buttons need it), the gap, and each button's left edge.
struct ButtonRow {
    int windowWidth = 0;
    int gap = 0;
    QList<int> lefts;
};

// Places buttons of these widths in one row with equal gaps before, between
// and after them, over the window's width from rowStart on. A window with less
// than 500 twips to spare is widened to the buttons' width plus 500.
ButtonRow layoutButtonRow(int windowWidth, const QList<int> &buttonWidths, int rowStart = 0);

// The message window. It is made for one message and destroyed after it.
class frmKVRMsgBox : public QDialog
{
    Q_OBJECT
public:
    // Builds the window, puts the button images on when images is set and
    // translates it from the language file.
    frmKVRMsgBox(const Language &language, bool images, QWidget *parent = nullptr);

    // Fills and sizes the window for one message; delay counts timer periods
    // during which the buttons stay disabled.
    // Captions, when given, replace those of the set's buttons in order.
    void present(const QString &text, const StyleParts &parts, const QString &title, qint16 delay,
                 const QString &memoryKey, const QStringList &captions = {});

    // The answer of the button that closed the window, 0 when none did.
    int answer() const { return m_answer; }

    // True when the "do not show again" box could not be stored.
    bool memoryWriteFailed() const { return m_memoryWriteFailed; }

public Q_SLOTS:
    // One period of the delay timer: counts the delay down and enables every
    // button when it reaches 0.
    void Timer_Timer();

protected:
    // Escape and the title bar's close button answer like the Windows message
    // box: Annuler when shown, OK when alone; a Oui/Non question must be
    // answered by one of its buttons.
    void reject() override;

private:
    void answerWith(QPushButton *button);
    void chkAfficher_Click();
    QPushButton *escapeButton() const;

    QList<QPushButton *> m_buttons;
    QList<QLabel *> m_pictures;
    QLabel *m_lblMsg = nullptr;
    QScrollArea *m_textArea = nullptr;
    QCheckBox *m_chkAfficher = nullptr;
    QTimer *m_timer = nullptr;
    qint16 m_delay = 0;
    QString m_memoryKey;
    int m_answer = 0;
    bool m_memoryWriteFailed = false;
};

// The program's message box on the desktop: frmKVRMsgBox for messages and
// error reports, QMessageBox for the system box. Make one for the run and
// hand it to every window, since it keeps the shared result.
class KvrMesgBox : public MsgBox
{
public:
    // Period of the delay timer.
    static constexpr int kTimerPeriodMs = 1000;

    explicit KvrMesgBox(app::AppContext &context);

    int KVvrMesgBox(const QString &text, int style, const QString &title, int delay = 0,
                    const QString &memoryKey = {}) override;
    int askWithCaptions(const QString &text, int style, const QString &title, const QStringList &captions) override;
    int result() const override { return m_result; }
    void systemMessage(const QString &text) override;

    // True while a message window is open anywhere in the program.
    static bool messageShowing();

private:
    int show(const QString &text, int style, const QString &title, int delay, const QString &memoryKey,
             const QStringList &captions);

    app::AppContext &m_context;
    int m_result = 0;
};

} // namespace tarvello::lang::ui
