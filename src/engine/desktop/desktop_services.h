#pragma once
// What the desktop offers around a batch beyond the window itself: the
// computer kept awake, the progress on the window's taskbar button or dock
// entry, and a word when the batch is over. Each program implements it with
// its desktop's own services; where a service is missing, its calls do
// nothing. The engine decides when each is called. Called on the UI thread
// only.

#include <string>

namespace mirvane {

struct TaskbarProgress {
    enum class State { Hidden, Normal, Error };
    State state = State::Hidden;
    int percent = 0;    // whole, 0 to 100
    int filesLeft = 0;  // rows of the batch not converted yet
};

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // While true the computer does not go to sleep; the screen still may.
    virtual void keepSystemAwake(bool awake) = 0;
    virtual void showTaskbarProgress(const TaskbarProgress& progress) = 0;
    // Whether the window is the one the user is working in.
    virtual bool windowIsActive() const = 0;
    // A desktop notification that brings the window forward when clicked,
    // and the taskbar button asking for attention.
    virtual void announceBatchEnd(const std::string& title, const std::string& text) = 0;
};

// For a program without a desktop, and for tests that do not look.
class NoDesktopServices : public DesktopServices {
public:
    void keepSystemAwake(bool) override {}
    void showTaskbarProgress(const TaskbarProgress&) override {}
    bool windowIsActive() const override { return true; }
    void announceBatchEnd(const std::string&, const std::string&) override {}
};

// One shared instance of NoDesktopServices.
inline DesktopServices& noDesktopServices() {
    static NoDesktopServices none;
    return none;
}

}  // namespace mirvane
