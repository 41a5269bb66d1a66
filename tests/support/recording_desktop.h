#pragma once
// The desktop's services as a record of what the engine asked of them.

#include <string>
#include <vector>

#include "engine/window/desktop_services.h"

namespace mirvane::test {

class RecordingDesktop : public DesktopServices {
public:
    void keepSystemAwake(bool awake) override { calls.push_back(awake ? "awake" : "may sleep"); }
    // "normal 40% 2 left", "error 0% 1 left", "hidden"
    void showTaskbarProgress(const TaskbarProgress& progress) override {
        using enum TaskbarProgress::State;
        if (progress.state == Hidden) {
            calls.push_back("hidden");
            return;
        }
        calls.push_back(std::string(progress.state == Error ? "error " : "normal ") +
                        std::to_string(progress.percent) + "% " + std::to_string(progress.filesLeft) +
                        " left");
    }
    bool windowIsActive() const override { return active; }
    void announceBatchEnd(const std::string& title, const std::string& text) override {
        calls.push_back(title + ": " + text);
    }

    bool active = true;
    std::vector<std::string> calls;
};

}  // namespace mirvane::test
