#pragma once
// The main window on Win32: the form's controls, their look and layout at
// the window's dpi, and the handlers, each forwarding its event to the
// engine's window behaviour.

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/encoding/batch_flags.h"
#include "engine/encoding/clock.h"
#include "engine/jobs/app_paths.h"
#include "engine/window/main_window_presenter.h"
#include "win32/accessible_annotations.h"
#include "win32/desktop_shell.h"
#include "win32/job_list_control.h"
#include "win32/percent_gauge.h"
#include "win32/view_adapter.h"
#include "win32/win32_desktop_services.h"
#include "win32/win32_ui_thread.h"

namespace mirvane::win32 {

class MessageBoxes;
class WindowFonts;

// The main window's class, by which tests and the screen tools find it.
inline constexpr wchar_t kFormClassName[] = L"Mirvane.MainWindow";

class MainWindow {
public:
    // commandLineFiles are the arguments in UTF-8. The window exists, hidden,
    // once the constructor has returned; FormCreate has run by then. shell:
    // the taskbar's and the notification area's calls.
    MainWindow(BatchFlags& flags, const AppPaths& paths, const std::vector<std::string>& commandLineFiles,
               MessageBoxes& messages, DesktopShell& shell = systemDesktopShell());
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Shows the window as the system asks (the show command of the program's
    // start), then FormShow.
    void show(int showCommand = SW_SHOWNORMAL);
    // Files a copy started after this one was given. Safe from any thread:
    // they reach the window's behaviour on the UI thread, in the order of
    // the calls.
    void openHandedOverFiles(std::vector<std::string> files);
    // Runs the message loop until the window has closed.
    int run() { return m_uiThread.run(); }

    HWND handle() const { return m_controls.mainWindow; }
    const WindowControls& controls() const { return m_controls; }
    PercentGauge& gauge() { return m_gauge; }
    Win32UiThread& uiThread() { return m_uiThread; }
    const MainWindowPresenter& presenter() const { return m_presenter; }
    DesktopServices& desktop() { return m_desktop; }
    UINT dpi() const { return m_dpi; }
    // The text the status cell's tooltip shows at point (jobList's client
    // coordinates); empty where it shows none.
    std::wstring statusTipAt(POINT point) const { return m_rows.statusTipAt(point); }
    // The reason shown beside a row on the user's request; empty while none is.
    std::wstring reasonShown() const { return m_rows.reasonShown(); }
    MainWindowView& view() { return m_view; }
    // The static text whose alert says the announcements where UI Automation
    // has no notification event; none before the first.
    HWND spokenAlert() const { return m_view.notice().alertControl(); }
    bool hasNotificationEvent() { return m_view.notice().hasNotificationEvent(); }

private:
    void FormCreate(const std::vector<std::string>& commandLineFiles);
    void FormShow();
    void FormCloseQuery(bool& canClose);
    void FormResize();
    void FormKeyDown(WORD key);
    void WMDropFiles(HDROP drop);
    void jobListKeyDown(WORD key);
    void startButtonClick();
    void clearButtonClick();
    void presetListClick();
    void directShowBoxClick();
    // Chooses the text colour of the cell at row and column before it is drawn.
    void jobListStatusColour(int row, int column, COLORREF& textColour) const;
    void WMDpiChanged(UINT dpi, const RECT& suggested);
    // The session ends (a logout, a shutdown): the system may end the
    // process as soon as this returns.
    void WMEndSession();
    void balloonClicked();

    static LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK panelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK keyPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR form);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT notify(NMHDR& header);
    LRESULT jobListCustomDraw(NMLVCUSTOMDRAW& draw) const;
    LRESULT controlColour(HDC dc, HWND control) const;

    void createControls();
    // Fonts, fixed places and sizes for m_dpi; previousDpi 0 at creation.
    void applyDpi(UINT previousDpi);
    // The aligned controls follow the client area.
    void layOut();
    int scaled(int pixels) const { return MulDiv(pixels, static_cast<int>(m_dpi), 96); }
    SIZE outerSizeFor(int clientWidth, int clientHeight) const;
    // The smallest the window may be: the client area of the smallest outer
    // size with the frame the layout was made for.
    SIZE minimumOuterSize() const;
    void trackStatusTip(POINT point);
    // Handles what the key preview sees before the control; true when the
    // message is the window's alone and the control must not have it.
    bool previewControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    Win32UiThread m_uiThread;
    SteadyClock m_clock;
    WindowControls m_controls;
    PercentGauge m_gauge;
    JobListControl m_rows;
    ViewAdapter m_view;
    Win32DesktopServices m_desktop;
    MainWindowPresenter m_presenter;

    UINT m_dpi = 96;
    std::unique_ptr<WindowFonts> m_fonts;
    AccessibleAnnotations m_annotations;
    HWND m_tip = nullptr;
    std::wstring m_tipText;
    POINT m_tipCell{-1, -1};
    HICON m_icons[2] = {};
    bool m_destroying = false;
};

}  // namespace mirvane::win32
