#include "win32/message_boxes.h"

#include "engine/platform/win32/wide_text.h"
#include "engine/texts/texts.h"

namespace mirvane::win32 {

namespace {

int ask(HWND owner, const std::string& text, UINT style) {
    return MessageBoxW(owner, platform::win32::toWide(text).c_str(),
                       platform::win32::toWide(texts::kAppCaption).c_str(), style);
}

}  // namespace

void MessageBoxes::showError(HWND owner, const std::string& text) { ask(owner, text, MB_OK | MB_ICONERROR); }

void MessageBoxes::showInformation(HWND owner, const std::string& text) {
    ask(owner, text, MB_OK | MB_ICONINFORMATION);
}

bool MessageBoxes::confirmForcedQuit(HWND owner, const std::string& text) {
    return ask(owner, text, MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2) == IDOK;
}

}  // namespace mirvane::win32
