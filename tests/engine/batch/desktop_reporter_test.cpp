#include "engine/batch/desktop_reporter.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/recording_desktop.h"

namespace mirvane {
namespace {

using enum JobStatus;

struct DesktopCase {
    const char* name;
    bool windowActive;
    std::function<void(DesktopReporter&)> batch;
    std::vector<std::string> calls;
};

class BatchOnTheDesktop : public testing::TestWithParam<DesktopCase> {};

TEST_P(BatchOnTheDesktop, ShowsWhatChangedAndSaysTheEndOnlyToAUserElsewhere) {
    test::RecordingDesktop desktop;
    desktop.active = GetParam().windowActive;
    DesktopReporter shown(desktop);
    GetParam().batch(shown);
    EXPECT_EQ(desktop.calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchOnTheDesktop,
    testing::Values(DesktopCase{"OnlyANewWholePercentageIsSent",
                                true,
                                [](DesktopReporter& b) {
                                    b.batchStarted(2);
                                    for (int percent : {0, 1, 1, 2, 2, 100}) b.showPercent(percent);
                                },
                                {"awake", "normal 0% 2 left", "normal 1% 2 left", "normal 2% 2 left",
                                 "normal 100% 2 left"}},
                    DesktopCase{"AFailedRowTurnsTheRestToErrorAndTheEndHides",
                                true,
                                [](DesktopReporter& b) {
                                    b.batchStarted(2);
                                    b.rowFinished(Failed);
                                    b.showPercent(50);
                                    b.rowFinished(Converted);
                                    b.batchEnded(false);
                                },
                                {"awake", "normal 0% 2 left", "error 0% 1 left", "error 50% 1 left",
                                 "error 50% 0 left", "hidden", "may sleep"}},
                    DesktopCase{"EndedByItselfWithTheUserElsewhere",
                                false,
                                [](DesktopReporter& b) {
                                    b.batchStarted(2);
                                    b.rowFinished(Pending);  // not over: stays left
                                    for (JobStatus status : {Converted, Failed}) b.rowFinished(status);
                                    b.batchEnded(false);
                                    b.batchStarted(0);  // nothing to convert: nothing shown
                                    b.batchEnded(false);
                                },
                                {"awake", "normal 0% 2 left", "normal 0% 1 left", "error 0% 0 left", "hidden",
                                 "may sleep", "変換が終わりました: 変換済 1件、エラー 1件"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane
