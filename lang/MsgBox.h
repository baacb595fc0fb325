#pragma once

#include "common/VbError.h"

#include <QString>
#include <QStringList>

namespace tarvello::lang {

// Style of a message: one icon value plus one button set, with the values the
// Windows message box gave them (36 = Question + YesNo).
namespace MsgStyle {
constexpr int OKOnly = 0;
constexpr int OKCancel = 1;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int YesNoModify = 6;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
} // namespace MsgStyle

// The answer left by the button that closed a message.
namespace MsgAnswer {
constexpr int OK = 1;
constexpr int Cancel = 2;
constexpr int Yes = 6;
constexpr int No = 7;
constexpr int Modify = 8;
} // namespace MsgAnswer

// The program's message box, as every procedure sees it: its own modal window
// (frmKVRMsgBox), the error report that goes through it, and the plain system
// box a few procedures report their errors in. The engine holds a reference
// to this interface; the window lives in lang/ui (KvrMesgBox).
class MsgBox
{
public:
    virtual ~MsgBox() = default;

    // Shows the text with the style's icon and buttons under the title, modally,
    // and returns the answer (also kept as result()). With a delay the buttons
    // stay disabled for that many timer periods. A memory key shows the
    // "do not show again" box. While a message is showing, a second call shows
    // nothing and returns the previous result at once.
    virtual int KVvrMesgBox(const QString &text, int style, const QString &title, int delay = 0,
                            const QString &memoryKey = {}) = 0;

    // The same for a question whose answers are actions: captions name the
    // buttons of the style's set, in order, by what each does. A box that
    // cannot change its captions shows its own.
    virtual int askWithCaptions(const QString &text, int style, const QString &title, const QStringList &captions)
    {
        Q_UNUSED(captions);
        return KVvrMesgBox(text, style, title);
    }

    // The answer of the last message closed by a button (0 before the first).
    virtual int result() const = 0;

    // Shows the text in the desktop's own message box with an OK button.
    virtual void systemMessage(const QString &text) = 0;

    // The program's error report: "Error n (description)", a line break and
    // "dans la procédure " + procedureText, titled "Erreur rencontrée", style 64.
    // An error numbered 0 (or below) shows nothing.
    void ReportError(const common::VbError &error, const QString &procedureText);

    // The error report of the few procedures that use the system box: "Error n
    // (description) in procedure P of Feuille F", and " line n" when line >= 0.
    // container is "Feuille frmOption" or "Module modIniFile".
    void reportSystemError(const common::VbError &error, const QString &procedure, const QString &container,
                           int line = -1);
};

} // namespace tarvello::lang
