#include "engine/window/form_layout.h"

#include <algorithm>

namespace mirvane::form {

int rowAfterRemoval(int row, const std::vector<int>& removed, int rowsLeft) {
    if (row < 0 || rowsLeft <= 0) return -1;
    const auto removedAbove = std::lower_bound(removed.begin(), removed.end(), row) - removed.begin();
    return std::min(row - static_cast<int>(removedAbove), rowsLeft - 1);
}

}  // namespace mirvane::form
