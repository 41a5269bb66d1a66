#include "engine/window/spoken_row_ends.h"

#include <utility>

#include "engine/jobs/paths.h"
#include "engine/window/row_look.h"
#include "engine/texts/texts.h"

namespace mirvane {

void SpokenRowEnds::rowsAppended(std::span<const JobRow> rows) {
    m_converting.resize(m_converting.size() + rows.size(), false);
    m_view.rowsAppended(rows);
}

void SpokenRowEnds::rowChanged(int row, const JobRow& data) {
    m_view.rowChanged(row, data);
    if (row < 0 || static_cast<std::size_t>(row) >= m_converting.size()) return;
    const bool converting = data.status == JobStatus::Converting;
    if (!m_converting[row] || converting) {
        m_converting[row] = converting;
        return;
    }
    m_converting[row] = false;
    m_converted += data.status == JobStatus::Converted;
    m_failed += data.status == JobStatus::Failed;
    const std::string name = data.path.substr(ExtractFolder(data.path).size());
    m_view.announce(texts::rowEndSaying(name, statusText(data.status), data.reason));
}

void SpokenRowEnds::rowsRemoved(const std::vector<int>& rows) {
    // One pass over ascending row numbers, however many go.
    std::vector<bool> kept;
    kept.reserve(m_converting.size());
    auto next = rows.begin();
    for (std::size_t row = 0; row < m_converting.size(); ++row) {
        if (next != rows.end() && static_cast<std::size_t>(*next) == row) {
            ++next;
            continue;
        }
        kept.push_back(m_converting[row]);
    }
    m_converting = std::move(kept);
    m_view.rowsRemoved(rows);
}

void SpokenRowEnds::rowsCleared() {
    m_converting.clear();
    m_view.rowsCleared();
}

}  // namespace mirvane
