#include "engine/batch/batch_on_desktop.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/fake_main_window_view.h"
#include "support/recording_desktop.h"

namespace mirvane {
namespace {

using enum JobStatus;

struct DesktopCase {
    const char* name;
    bool windowActive;
    std::function<void(BatchOnDesktop&)> batch;
    std::vector<std::string> calls;
};

class BatchOnTheDesktop : public testing::TestWithParam<DesktopCase> {};

TEST_P(BatchOnTheDesktop, ShowsWhatChangedAndSaysTheEndOnlyToAUserElsewhere) {
    test::FakeMainWindowView window;
    test::RecordingDesktop desktop;
    desktop.active = GetParam().windowActive;
    BatchOnDesktop shown(window, desktop);
    GetParam().batch(shown);
    EXPECT_EQ(desktop.calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchOnTheDesktop,
    testing::Values(DesktopCase{"OnlyANewWholePercentageIsSent",
                                true,
                                [](BatchOnDesktop& b) {
                                    b.batchStarted(2);
                                    b.setMaxValue(1000);
                                    for (int progress : {5, 10, 19, 20, 20, 2000}) b.setProgress(progress);
                                },
                                {"awake", "normal 0% 2 left", "normal 1% 2 left", "normal 2% 2 left",
                                 "normal 100% 2 left"}},
                    DesktopCase{"AFailedRowTurnsTheRestToErrorAndTheEndHides",
                                true,
                                [](BatchOnDesktop& b) {
                                    b.batchStarted(2);
                                    b.rowFinished(Failed);
                                    b.setProgress(50);
                                    b.rowFinished(Converted);
                                    b.batchEnded(false);
                                },
                                {"awake", "normal 0% 2 left", "error 0% 1 left", "error 50% 1 left",
                                 "error 50% 0 left", "hidden", "may sleep"}},
                    DesktopCase{"EndedByItselfWithTheUserElsewhere",
                                false,
                                [](BatchOnDesktop& b) {
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
