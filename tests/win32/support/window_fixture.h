#pragma once
// A program folder in a temporary directory, a message seam that records
// what the window says, and the window messages the tests drive it with, as
// the system and the shell would send them.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/jobs/app_paths.h"
#include "engine/encoding/batch_flags.h"
#include "support/temp_dir.h"
#include "win32/main_window.h"
#include "win32/message_boxes.h"

namespace mirvane::win32::test {

inline constexpr const char* kTwoPresets =
    "[List]\nListTitle00=First preset\nListOption00=-i %INPFILE %OUTFILE\nListExt00=.mp4\n"
    "ListTitle01=Second preset\nListOption01=-i %INPFILE %OUTFILE\nListExt01=.webm\n";

class RecordingMessages : public MessageBoxes {
public:
    void showError(HWND, const std::string& text) override { shown.push_back("error: " + text); }
    void showInformation(HWND, const std::string& text) override { shown.push_back("information: " + text); }
    bool confirmForcedQuit(HWND, const std::string& text) override {
        shown.push_back("question: " + text);
        return answer;
    }

    std::vector<std::string> shown;
    bool answer = false;  // OK or Cancel
};

// The folder of a program at <temp>\Mirvane.exe, with or without its
// settings file and its encoder (a copy of the Windows fake encoder).
struct ProgramFolder {
    explicit ProgramFolder(const char* settings = kTwoPresets, bool withEncoder = true);

    TempDir dir;
    AppPaths paths;
};

// Handles the window's messages until condition() holds or limit has passed.
bool pumpUntil(MainWindow& form, const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
// Handles what the queue holds now, and what that leads to.
void pump(MainWindow& form);

// One main window with everything it refers to, shown.
struct Form {
    explicit Form(const ProgramFolder& folder, const std::vector<std::string>& files = {}, bool shown = true,
                  DesktopShell& shell = systemDesktopShell());

    const WindowControls& controls() const { return window->controls(); }
    // One column of the job list, top to bottom, as the list shows it.
    std::vector<std::wstring> column(int index) const;
    int rowCount() const;

    BatchFlags flags;
    RecordingMessages messages;
    std::unique_ptr<MainWindow> window;
};

std::wstring windowText(HWND window);
// The window's place in its parent's client area.
RECT placeInParent(HWND window);
// A drop as the shell makes it: a DROPFILES block with wide paths.
HDROP makeDrop(const std::vector<std::wstring>& paths);
// A drop as a program that drops ANSI text makes it.
HDROP makeAnsiDrop(const std::vector<std::string>& paths);
// A key pressed with the given modifiers held, as the keyboard would deliver
// it to target: the thread's key state says which modifiers are down.
void pressKey(HWND target, WORD key, bool shift = false, bool control = false);
// The same key through the message queue and the window's dialog keys, as
// from the keyboard, handled before the call returns; F10 as a system key.
void postKey(MainWindow& form, HWND target, WORD key, bool shift = false, bool control = false);
// Selects exactly the rows given.
void selectRows(HWND list, const std::vector<int>& rows);
std::wstring wide(const std::string& utf8);

// What a screen reader asks of a window's client area.
struct Accessible {
    LONG role = 0;
    std::wstring name, value;
};
Accessible askAccessible(HWND window);
// The events of the kinds given that window raises for its client area while
// action runs, as a screen reader hears them, with their child ids.
using RaisedEvents = std::vector<std::pair<DWORD, LONG>>;
RaisedEvents eventsDuring(MainWindow& form, HWND window, const std::vector<DWORD>& kinds,
                          const std::function<void()>& action);

// Names each row of a parameterised test by its `name`.
inline constexpr auto kByName = [](const auto& info) { return std::string(info.param.name); };

}  // namespace mirvane::win32::test
