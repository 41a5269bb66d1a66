// What the list's journal costs the disk per status change, at lists of
// 200, 2,000 and 20,000 rows: a batch of short jobs, each naming its working
// file with its row's start, then its file's identity, then its end. The
// figures span one whole cycle, from one rewrite of the whole journal to
// the next, so that the rewrite's cost is shared among the changes it
// followed. Goal: at every length within 2x of the figure at 200 rows.

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/jobs/journal_keeper.h"
#include "engine/platform/journal_file.h"

namespace {

using namespace mirvane;

struct NoView : JobListView {
    void rowsAppended(std::span<const JobRow>) override {}
    void rowChanged(int, const JobRow&) override {}
    void rowsRemoved(const std::vector<int>&) override {}
    void rowsCleared() override {}
};

struct Cost {
    double bytes = 0;
    double syncs = 0;
};

std::uint64_t fileOf(const std::string& path) {
    platform::FileId identity;
    return platform::fileId(path, identity) ? 0 : identity.file;
}

// A list whose journal is kept in the given folder.
struct KeptList {
    explicit KeptList(const std::string& folder) : path(folder + "/Mirvane.jobs") { keeper.takeOver(jobs); }

    std::string path;
    NoView view;
    JournalKeeper keeper{view, path};
    JobList jobs{keeper};
};

Cost measure(const std::string& folder, int rows) {
    KeptList list(folder);
    std::vector<std::string> names;
    for (int i = 0; i < rows; ++i)
        names.push_back("/home/yuki/Videos/holiday/clip-" + std::to_string(i) + ".mkv");
    list.jobs.append(names);
    // The journal is written whole under a new file, so a new identity marks
    // each rewrite: the cycle measured runs from the first to the second.
    std::uint64_t file = fileOf(list.path);
    int rewrites = 0;
    std::uint64_t bytes = 0;
    std::uint64_t syncs = 0;
    long changes = 0;
    const platform::FileId made{1, 2};
    for (int job = 0; rewrites < 2; ++job) {
        const int row = job % rows;
        const std::string working = "/home/yuki/Videos/holiday/clip-" + std::to_string(row) + " (変換中).mp4";
        auto step = [&](auto&& change, bool statusChange) {
            change();
            changes += statusChange && rewrites == 1;
            const std::uint64_t now = fileOf(list.path);
            if (now == file) return;
            file = now;
            if (++rewrites == 1) {
                bytes = list.keeper.bytesWritten();
                syncs = list.keeper.syncs();
            }
        };
        step(
            [&] {
                list.keeper.setWorkingFiles({{working, std::nullopt}});
                list.jobs.setStatus(row, JobStatus::Converting);
            },
            true);
        step([&] { list.keeper.setWorkingFiles({{working, made}}); }, false);
        step(
            [&] {
                list.keeper.setWorkingFiles({});
                list.jobs.setStatus(row, JobStatus::Converted);
            },
            true);
    }
    const double count = static_cast<double>(changes);
    return {static_cast<double>(list.keeper.bytesWritten() - bytes) / count,
            static_cast<double>(list.keeper.syncs() - syncs) / count};
}

std::string withCommas(int value) {
    std::string text = std::to_string(value);
    for (int at = static_cast<int>(text.size()) - 3; at > 0; at -= 3)
        text.insert(static_cast<std::size_t>(at), ",");
    return text;
}

}  // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "mirvane-journal-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) return 1;
    Cost first;
    for (const int rows : {200, 2'000, 20'000}) {
        const Cost cost = measure(folder, rows);
        if (rows == 200) first = cost;
        const bool bytesMet = cost.bytes <= 2 * first.bytes;
        const bool syncsMet = cost.syncs <= 2 * first.syncs;
        std::printf(
            "| journal: bytes written per status change, %s rows | %.0f B | at most 2x the 200 rows' (%.0f "
            "B) | %s |\n",
            withCommas(rows).c_str(), cost.bytes, first.bytes, bytesMet ? "met" : "MISSED");
        std::printf(
            "| journal: fsyncs per status change, %s rows | %.3f | at most 2x the 200 rows' (%.3f) | %s |\n",
            withCommas(rows).c_str(), cost.syncs, first.syncs, syncsMet ? "met" : "MISSED");
        std::filesystem::remove(folder + "/Mirvane.jobs");
    }
    std::filesystem::remove_all(folder);
    return 0;
}
