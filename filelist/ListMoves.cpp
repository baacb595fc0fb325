#include "filelist/ListMoves.h"

#include <algorithm>

namespace tarvello::filelist {

namespace {

// The walk of both moves: rows in walking order, each going one place in
// direction (-1 up, +1 down), the row at the far end blocking.
ListMove walk(int count, QList<int> rows, int direction)
{
    ListMove move;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([count](int row) { return row < 0 || row >= count; });
    if (direction > 0)
        std::reverse(rows.begin(), rows.end());
    const int end = direction < 0 ? 0 : count - 1;
    for (const int row : std::as_const(rows)) {
        move.blocked = move.blocked || row == end;
        if (move.blocked) {
            move.selected.append(row);
            continue;
        }
        move.swaps.append({row, row + direction});
        move.selected.append(row + direction);
    }
    return move;
}

} // namespace

ListMove moveUp(int count, QList<int> selectedRows)
{
    return walk(count, std::move(selectedRows), -1);
}

ListMove moveDown(int count, QList<int> selectedRows)
{
    return walk(count, std::move(selectedRows), +1);
}

} // namespace tarvello::filelist
