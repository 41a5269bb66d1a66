#include "win32/desktop_shell.h"

namespace mirvane::win32 {

namespace {

class SystemTaskbarList final : public TaskbarList {
public:
    explicit SystemTaskbarList(ITaskbarList3* list) : m_list(list) {}
    ~SystemTaskbarList() override { m_list->Release(); }
    SystemTaskbarList(const SystemTaskbarList&) = delete;
    SystemTaskbarList& operator=(const SystemTaskbarList&) = delete;

    void setProgressState(HWND window, TBPFLAG state) override { m_list->SetProgressState(window, state); }
    void setProgressValue(HWND window, ULONGLONG completed, ULONGLONG total) override {
        m_list->SetProgressValue(window, completed, total);
    }

private:
    ITaskbarList3* m_list;
};

class SystemDesktopShell final : public DesktopShell {
public:
    std::unique_ptr<TaskbarList> openTaskbarList() override {
        ITaskbarList3* list = nullptr;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&list))))
            return nullptr;
        if (FAILED(list->HrInit())) {
            list->Release();
            return nullptr;
        }
        return std::make_unique<SystemTaskbarList>(list);
    }

    bool notifyIcon(DWORD message, const NOTIFYICONDATAW& data) override {
        return Shell_NotifyIconW(message, const_cast<NOTIFYICONDATAW*>(&data));
    }

    void flash(HWND window) override {
        FLASHWINFO flash{sizeof flash, window, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
    }
};

}  // namespace

DesktopShell& systemDesktopShell() {
    static SystemDesktopShell shell;
    return shell;
}

}  // namespace mirvane::win32
