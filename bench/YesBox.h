#pragma once

#include "lang/MsgBox.h"

namespace tarvello::bench {

// Says yes to every question a window bench meets (the counter's width, the
// undo, the hierarchy's count) and counts the messages shown.
class YesBox : public lang::MsgBox
{
public:
    int KVvrMesgBox(const QString &, int, const QString &, int, const QString &) override
    {
        ++shown;
        return lang::MsgAnswer::Yes;
    }
    int result() const override { return lang::MsgAnswer::Yes; }
    void systemMessage(const QString &) override { ++shown; }

    int shown = 0;
};

} // namespace tarvello::bench
