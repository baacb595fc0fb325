#include "QtPrint.h"

#include "filelist/ListMoves.h"

#include <QString>

#include <gtest/gtest.h>

using namespace tarvello::filelist;

namespace {

// The list "abcde..." after the move's exchanges.
QString applied(const QString &list, const ListMove &move)
{
    QString order = list;
    for (const auto &[a, b] : move.swaps)
        std::swap(order[a], order[b]);
    return order;
}

TEST(ListMoves, upAndDownWithTheBlockingRule)
{
    const struct {
        const char *what;
        bool up;
        const char *list;
        QList<int> selected;
        const char *order;
        QList<int> selectedAfter;
        bool blocked;
    } cases[] = {
        {"first selected: nothing moves, selection kept", true, "abcde", {0}, "abcde", {0}, true},
        {"first selected blocks the later ones", true, "abcde", {0, 2}, "abcde", {0, 2}, true},
        {"a run of three moves together", true, "abcde", {1, 2, 3}, "bcdae", {0, 1, 2}, false},
        {"two apart", true, "abcde", {3, 1}, "badce", {0, 2}, false},
        {"last moves up", true, "abcde", {4}, "abced", {3}, false},
        {"last selected: nothing moves", false, "abcde", {4}, "abcde", {4}, true},
        {"last selected blocks the earlier ones", false, "abcde", {1, 4}, "abcde", {4, 1}, true},
        {"a run of three moves down together", false, "abcde", {1, 2, 3}, "aebcd", {4, 3, 2}, false},
        {"first moves down", false, "abcde", {0}, "bacde", {1}, false},
        {"empty list", true, "", {}, "", {}, false},
        {"repeated and out-of-range rows count once or not at all", true, "abc", {2, 2, 7, -1}, "acb", {1}, false},
    };
    for (const auto &c : cases) {
        const QString list = QString::fromLatin1(c.list);
        const ListMove move = c.up ? moveUp(int(list.size()), c.selected) : moveDown(int(list.size()), c.selected);
        EXPECT_EQ(applied(list, move), QString::fromLatin1(c.order)) << c.what;
        EXPECT_EQ(move.selected, c.selectedAfter) << c.what;
        EXPECT_EQ(move.blocked, c.blocked) << c.what;
        if (move.blocked) {
            EXPECT_TRUE(move.swaps.isEmpty()) << c.what;
        }
    }
}

} // namespace
