#pragma once

#include "lang/MsgBox.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tarvello::test {

// A message box that shows nothing: it records each message and answers
// with the next of its scripted answers (OK when they run out).
class ScriptedMsgBox : public lang::MsgBox
{
public:
    struct Shown {
        QString text;
        int style = 0;
    };

    QList<int> answers;
    QList<Shown> shown;
    QList<QString> systemTexts;

    // The texts shown, in order.
    QStringList texts() const
    {
        QStringList all;
        for (const Shown &message : shown)
            all.append(message.text);
        return all;
    }

    int KVvrMesgBox(const QString &text, int style, const QString &, int, const QString &) override
    {
        shown.append({text, style});
        m_result = answers.isEmpty() ? lang::MsgAnswer::OK : answers.takeFirst();
        return m_result;
    }
    int result() const override { return m_result; }
    void systemMessage(const QString &text) override { systemTexts.append(text); }

private:
    int m_result = 0;
};

} // namespace tarvello::test
