#pragma once

#include <QList>

#include <utility>

namespace tarvello::filelist {

// How the selected entries of the list move one place up or down.
struct ListMove {
    // Exchanges of two rows (0-based), to be made in this order.
    QList<std::pair<int, int>> swaps;
    // The rows to select afterwards, every other row deselected.
    QList<int> selected;
    // A selected entry at the end it moves towards held the move: it and
    // every selected entry after it in the walk stay where they are.
    bool blocked = false;
};

// Moves the selected rows (any order) of a list of count rows one place up.
// The rows are walked from the first: a selected row exchanges its place
// with the one above it, so a run of selected rows moves up together; a
// selected first row cannot move and blocks the rest of the walk.
ListMove moveUp(int count, QList<int> selectedRows);

// The mirror of moveUp: walked from the last row, each selected row
// exchanges with the one below it; a selected last row blocks.
ListMove moveDown(int count, QList<int> selectedRows);

} // namespace tarvello::filelist
