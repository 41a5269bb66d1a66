#include "win32/file_dialog.h"

#include <shobjidl.h>

#include "engine/platform/win32/wide_text.h"
#include "engine/texts/texts.h"

namespace mirvane::win32 {

namespace {

// Releases a COM interface when it goes out of scope.
template <typename Interface>
struct Held {
    Interface* pointer = nullptr;
    ~Held() {
        if (pointer) pointer->Release();
    }
    Interface* operator->() const { return pointer; }
    void** out() { return reinterpret_cast<void**>(&pointer); }
};

std::vector<std::wstring> pathsOf(IShellItemArray& items) {
    std::vector<std::wstring> paths;
    DWORD count = 0;
    if (FAILED(items.GetCount(&count))) return paths;
    for (DWORD i = 0; i < count; ++i) {
        Held<IShellItem> item;
        if (FAILED(items.GetItemAt(i, &item.pointer))) continue;
        PWSTR path = nullptr;
        if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) continue;
        paths.emplace_back(path);
        CoTaskMemFree(path);
    }
    return paths;
}

}  // namespace

std::vector<std::wstring> AskFilesToAdd(HWND owner) {
    Held<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IFileOpenDialog), dialog.out())))
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_ALLOWMULTISELECT | FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST);
    dialog->SetTitle(platform::win32::toWide(texts::kFileDialogTitle).c_str());
    // Cancelled: HRESULT_FROM_WIN32(ERROR_CANCELLED).
    if (FAILED(dialog->Show(owner))) return {};
    Held<IShellItemArray> chosen;
    if (FAILED(dialog->GetResults(&chosen.pointer))) return {};
    return pathsOf(*chosen.pointer);
}

}  // namespace mirvane::win32
