// The row that stands where a row stood before others were removed: both
// windows keep the focus and the top row by it.

#include "engine/window/form_layout.h"

#include <gtest/gtest.h>

namespace mirvane::form {
namespace {

struct RemovalCase {
    const char* name;
    int row;
    std::vector<int> removed;
    int rowsLeft;
    int expected;
};

TEST(RowAfterRemoval, KeptRowsMoveUpAndARemovedOneHandsItsPlaceOn) {
    const RemovalCase cases[] = {
        {"a kept row above every removal stays", 2, {5, 7}, 8, 2},
        {"a kept row moves up by the rows removed above it", 6, {1, 3, 7}, 7, 4},
        {"a removed row hands its place to the next kept row", 3, {3, 4}, 8, 3},
        {"removed at the end: the last kept row", 8, {8, 9}, 8, 7},
        {"all removed", 0, {0, 1}, 0, -1},
        {"no row", -1, {0}, 4, -1},
    };
    for (const RemovalCase& c : cases)
        EXPECT_EQ(rowAfterRemoval(c.row, c.removed, c.rowsLeft), c.expected) << c.name;
}

}  // namespace
}  // namespace mirvane::form
