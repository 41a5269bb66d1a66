// Writes that fail the way a full disk fails them: the file size limit makes
// the system refuse the write itself (EFBIG), part of it or all.

#include <signal.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/jobs/journal_keeper.h"
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

// Files may grow no further than their size now while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        const rlimit limit{bytes, m_before.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_before); }

private:
    rlimit m_before{};
};

struct KeptList {
    KeptList() { keeper.takeOver(); }

    TempDir dir;
    std::string path = dir.file("Mirvane.jobs");
    NoView view;
    JobList jobs{keeper};
    JournalKeeper keeper{view, jobs, path};
};

// A write that fails after good ones must not leave the list those wrote:
// a start would bring back rows the user has since removed or converted.
TEST(JournalKeeper, AWriteThatFailsAfterAGoodOneLeavesNoListToRestore) {
    for (const rlim_t room : {0, 5}) {  // none of the record written, or a part of it
        KeptList list;
        list.jobs.append({"a.mkv", "b.mkv"});
        list.jobs.setStatus(0, Converted);
        ASSERT_TRUE(DecodeJobJournal(readBytes(list.path))) << "good writes first";
        {
            const FileSizeLimit full(std::filesystem::file_size(list.path) + room);
            list.jobs.remove({0});
        }
        EXPECT_FALSE(std::filesystem::exists(list.path)) << room;
        EXPECT_FALSE(DecodeJobJournal(readBytes(list.path))) << room;
        list.jobs.append({"c.mkv"});
        EXPECT_FALSE(std::filesystem::exists(list.path)) << "not tried again in this run";
    }
}

}  // namespace
}  // namespace mirvane
