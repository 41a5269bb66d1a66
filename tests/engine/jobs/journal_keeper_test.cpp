// The list's journal: one record a change, written whole now and then, and
// no list left to restore once a write failed.

#include "engine/jobs/journal_keeper.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/platform/files.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

using enum JobStatus;

struct NoView : JobListView {
    void rowsAppended(std::span<const JobRow>) override {}
    void rowChanged(int, const JobRow&) override {}
    void rowsRemoved(const std::vector<int>&) override {}
    void rowsCleared() override {}
};

// A list whose journal is kept in a folder of its own.
struct KeptList {
    KeptList() { keeper.takeOver(jobs); }
    // Read as another program may while the journal is held.
    std::optional<JobJournal> onDisk() const {
        std::string bytes;
        if (platform::readFile(path, kJournalMaxSize, bytes)) return std::nullopt;
        return DecodeJobJournal(bytes);
    }

    TempDir dir;
    std::string path = dir.file("Mirvane.jobs");
    NoView view;
    JournalKeeper keeper{view, path};
    JobList jobs{keeper};
    std::vector<JobRow> rows() const { return {jobs.rows().begin(), jobs.rows().end()}; }
};

std::vector<std::string> names(int count) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) paths.push_back("/home/yuki/Videos/clip-" + std::to_string(i) + ".mkv");
    return paths;
}

// A status change costs one record and one wait for the disk, however long
// the list: writing the whole list at each change made a batch of 20,000
// short jobs write 70 GiB.
TEST(JournalKeeper, AChangeCostsTheSameWhateverTheListsLength) {
    double bytesPerChange[2] = {};
    const int lengths[2] = {100, 10'000};
    for (int i = 0; i < 2; ++i) {
        KeptList list;
        list.jobs.append(names(lengths[i]));
        const std::uint64_t bytes = list.keeper.bytesWritten();
        const std::uint64_t syncs = list.keeper.syncs();
        constexpr int kChanges = 50;
        for (int change = 0; change < kChanges; ++change)
            list.jobs.setStatus(change, change % 2 ? Converted : Failed, change % 2 ? "" : "why");
        EXPECT_EQ(list.keeper.syncs() - syncs, static_cast<std::uint64_t>(kChanges)) << lengths[i];
        bytesPerChange[i] = static_cast<double>(list.keeper.bytesWritten() - bytes) / kChanges;
    }
    EXPECT_LT(bytesPerChange[0], 64.0);
    EXPECT_LE(bytesPerChange[1], 2 * bytesPerChange[0]);
}

// Written whole now and then, the journal stays as small as the list
// allows, and reads back as the list is after every change, also right
// after it was written whole.
TEST(JournalKeeper, StaysTheListAsItIsAndBoundedThroughEveryRewrite) {
    KeptList list;
    list.jobs.append(names(10));
    std::uintmax_t largest = 0;
    for (int change = 0; change < 6'000; ++change) {
        list.jobs.setStatus(change % 10, change % 3 ? Pending : Converting);
        if (change % 7 == 0) list.keeper.setWorkingFiles({{"/v/c (変換中).mp4", std::nullopt}});
        if (change % 7 == 1) list.keeper.setWorkingFiles({});
        largest = std::max(largest, std::filesystem::file_size(list.path));
        if (change % 500 != 0) continue;
        const std::optional<JobJournal> read = list.onDisk();
        ASSERT_TRUE(read) << change;
        EXPECT_EQ(read->rows, list.rows()) << change;
    }
    EXPECT_LT(largest, 3u * 64 * 1024) << "the changes are folded into a whole journal now and then";
}

// An identity learnt for a name already written goes to disk at once: no
// change of the rows follows it.
TEST(JournalKeeper, WritesAnIdentityAtOnce) {
    KeptList list;
    list.jobs.append(names(1));
    const JournalWorkingFile made{"/v/c (変換中).mp4", platform::FileId{7, 9}};
    list.keeper.setWorkingFiles({{made.path, std::nullopt}});
    list.jobs.setStatus(0, Converting);
    list.keeper.setWorkingFiles({made});
    EXPECT_EQ(list.onDisk()->workingFiles, std::vector<JournalWorkingFile>{made});
}

#ifndef _WIN32
// A write that fails after good ones must not leave the list those wrote:
// a start would bring back rows the user has since removed or converted.
TEST(JournalKeeper, AWriteThatFailsAfterAGoodOneLeavesNoListToRestore) {
    for (const rlim_t room : {0, 5}) {  // none of the record written, or a part of it
        KeptList list;
        list.jobs.append({"a.mkv", "b.mkv"});
        list.jobs.setStatus(0, Converted);
        ASSERT_TRUE(list.onDisk()) << "good writes first";
        // The system then refuses the write itself (EFBIG), as a full disk does.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        const rlimit full{std::filesystem::file_size(list.path) + room, before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &full);
        list.jobs.remove({0});
        ::setrlimit(RLIMIT_FSIZE, &before);
        EXPECT_FALSE(std::filesystem::exists(list.path)) << room;
        list.jobs.append({"c.mkv"});
        EXPECT_FALSE(std::filesystem::exists(list.path)) << "not tried again in this run";
    }
}
#endif

}  // namespace
}  // namespace mirvane
