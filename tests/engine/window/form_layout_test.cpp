// The row that stands where a row stood before others were removed: both
// windows keep the focus and the top row by it. A row's look: both windows
// draw a row from it.

#include "engine/window/form_layout.h"
#include "engine/window/row_look.h"

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

TEST(RowLook, APercentageOnlyWhileConvertingAReasonOnlyWhenFailed) {
    constexpr Rgb black{0, 0, 0}, red{255, 0, 0}, blue{0, 0, 255};
    const struct {
        JobStatus status;
        const char* reason;
        std::optional<int> percent;
        RowLook expected;
    } cases[] = {
        {JobStatus::Converting, "", 42, {"変換中 42%", red, "変換中 42%", "", ""}},
        {JobStatus::Converting, "", std::nullopt, {"変換中", red, "変換中", "", ""}},
        {JobStatus::Pending, "", 42, {"未変換", black, "未変換", "", ""}},
        {JobStatus::Converted, "", 100, {"変換済", blue, "変換済", "", ""}},
        {JobStatus::Failed, "why", 42, {"エラー", red, "エラー: why", "エラー: why", "why"}},
        {JobStatus::Failed, "", std::nullopt, {"エラー", red, "エラー", "", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowLook(c.status, c.reason, c.percent), c.expected) << c.expected.spoken;
}

}  // namespace
}  // namespace mirvane::form
