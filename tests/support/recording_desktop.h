#pragma once
// The desktop's services as a record of what the engine asked of them:
// "awake", "may sleep", "normal 40% 2 left", "error 0% 1 left", "hidden",
// and a notification's title and text.

#include <string>
#include <vector>

#include "engine/desktop/desktop_services.h"

namespace mirvane::test {

struct RecordingDesktop : DesktopServices {
    void keepSystemAwake(bool awake) override { calls.push_back(awake ? "awake" : "may sleep"); }
    void showTaskbarProgress(const TaskbarProgress& p) override {
        using enum TaskbarProgress::State;
        calls.push_back(p.state == Hidden
                            ? "hidden"
                            : (p.state == Error ? "error " : "normal ") + std::to_string(p.percent) + "% " +
                                  std::to_string(p.filesLeft) + " left");
    }
    bool windowIsActive() const override { return active; }
    void announceBatchEnd(const std::string& title, const std::string& text) override {
        calls.push_back(title + ": " + text);
    }

    bool active = true;
    std::vector<std::string> calls;
};

}  // namespace mirvane::test
