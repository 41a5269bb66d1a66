#pragma once
// The program's message boxes, behind a seam so that tests can see which
// messages appear, in which order, and answer the questions themselves.

#include <windows.h>

#include <string>

namespace mirvane::win32 {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // An error with the error icon and an OK button; the text is UTF-8.
    virtual void showError(HWND owner, const std::string& text);
    // A report with the information icon and an OK button.
    virtual void showInformation(HWND owner, const std::string& text);
    // A warning with OK and Cancel, Cancel being the default; true for OK.
    virtual bool confirmForcedQuit(HWND owner, const std::string& text);
};

}  // namespace mirvane::win32
