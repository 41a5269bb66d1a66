#include "win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <system_error>
#include <utility>

#include "engine/platform/win32/wide_text.h"
#include "engine/texts/texts.h"
#include "engine/window/form_layout.h"
#include "win32/control_ids.h"
#include "win32/dropped_files.h"
#include "win32/message_boxes.h"
#include "win32/resources/resource_ids.h"
#include "win32/window_fonts.h"

namespace mirvane::win32 {

namespace {

using platform::win32::toUtf8;
using platform::win32::toWide;

constexpr wchar_t kPanelClassName[] = L"Mirvane.Panel";
constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_ACCEPTFILES;

void registerClass(const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = name;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::system_error(platform::win32::lastError(), "RegisterClassExW");
}

HWND createControl(const wchar_t* windowClass, const char* text, DWORD style, HWND parent, int id,
                   DWORD exStyle = 0) {
    // A creation refused by a window procedure leaves the last error as it was.
    SetLastError(ERROR_SUCCESS);
    HWND control = CreateWindowExW(
        exStyle, windowClass, toWide(text ? text : "").c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!control) throw std::system_error(platform::win32::lastError(), "CreateWindowExW");
    return control;
}

Key engineKey(WORD key) {
    switch (key) {
        case VK_DELETE:
            return Key::Delete;
        case VK_F1:
            return Key::F1;
        case 'O':
            return Key::O;
        case VK_RETURN:
            return Key::Enter;
        case VK_APPS:
            return Key::ContextMenu;
        case VK_F10:
            return GetKeyState(VK_SHIFT) < 0 ? Key::ContextMenu : Key::Other;
    }
    return Key::Other;
}

int scaleTo(int pixels, UINT dpi) { return form::scaled(pixels, static_cast<int>(dpi)); }

// The edges are scaled, not the sizes: controls that touch at 96 dpi touch
// at every dpi, whatever the rounding.
void place(HWND control, const form::Place& at, UINT dpi) {
    const int left = scaleTo(at.left, dpi), top = scaleTo(at.top, dpi);
    SetWindowPos(control, nullptr, left, top, scaleTo(at.left + at.width, dpi) - left,
                 scaleTo(at.top + at.height, dpi) - top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window's rectangle in its parent's client coordinates.
RECT rectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

MainWindow::MainWindow(BatchFlags& flags, const AppPaths& paths,
                       const std::vector<std::string>& commandLineFiles, MessageBoxes& messages,
                       DesktopShell& shell)
    : m_view(m_controls, m_rows, m_gauge, messages),
      m_desktop(m_controls.mainWindow, shell, [this] { balloonClicked(); }),
      m_presenter(flags, m_uiThread, m_view, paths, m_clock, m_desktop) {
    registerClass(kFormClassName, &MainWindow::formProc);
    registerClass(kPanelClassName, &MainWindow::panelProc);
    // The form's place and the client size at the system's dpi; the
    // window's own dpi, known once it exists, decides the final size.
    const UINT systemDpi = GetDpiForSystem();
    const form::Size client = form::minimumClientSize(static_cast<int>(systemDpi));
    RECT outer{0, 0, client.width, client.height};
    AdjustWindowRectExForDpi(&outer, kFormStyle, FALSE, kFormExStyle, systemDpi);
    SetLastError(ERROR_SUCCESS);
    m_controls.mainWindow =
        CreateWindowExW(kFormExStyle, kFormClassName, toWide(texts::kAppName).c_str(), kFormStyle, 337, 176,
                        outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                        GetModuleHandleW(nullptr), this);
    if (!m_controls.mainWindow)
        throw std::system_error(platform::win32::lastError(), "CreateWindowExW(mainWindow)");
    m_dpi = GetDpiForWindow(m_controls.mainWindow);
    m_desktop.windowCreated();
    createControls();
    applyDpi(0);
    // The window starts at its smallest size, 418 × 433 at 96 dpi.
    const SIZE size = minimumOuterSize();
    SetWindowPos(m_controls.mainWindow, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    layOut();
    FormResize();
    DragAcceptFiles(m_controls.mainWindow, TRUE);
    // Tab and the arrow keys move between the controls as in a dialog.
    m_uiThread.setMessageFilter([this](MSG& message) {
        return m_controls.mainWindow && IsDialogMessageW(m_controls.mainWindow, &message);
    });
    FormCreate(commandLineFiles);
}

MainWindow::~MainWindow() {
    m_destroying = true;
    if (m_controls.mainWindow) DestroyWindow(m_controls.mainWindow);
    for (HICON icon : m_icons)
        if (icon) DestroyIcon(icon);
}

void MainWindow::createControls() {
    HWND form = m_controls.mainWindow;
    // Created in tab order: a child window's place among its siblings is its
    // place in the order Tab visits them.
    m_controls.panel =
        createControl(kPanelClassName, nullptr, WS_CLIPSIBLINGS, form, kIdPanel, WS_EX_CONTROLPARENT);
    HWND panel = m_controls.panel;
    m_controls.startButton =
        createControl(WC_BUTTONW, texts::kCaptionStart, WS_TABSTOP | BS_PUSHBUTTON, panel, kIdStartButton);
    m_controls.clearButton =
        createControl(WC_BUTTONW, texts::kCaptionClearAll, WS_TABSTOP | BS_PUSHBUTTON, panel, kIdClearButton);
    m_controls.presetLabel =
        createControl(WC_STATICW, texts::kCaptionPresets, SS_LEFT | SS_NOPREFIX, panel, kIdPresetLabel);
    // Right after its label, which names it to assistive technology; its
    // window text and the annotation name it where the label is not looked for.
    m_controls.presetList = createControl(WC_LISTBOXW, texts::kCaptionPresets,
                                          WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, panel,
                                          kIdPresetList, WS_EX_CLIENTEDGE);
    m_controls.directShowBox = createControl(WC_BUTTONW, texts::kCaptionDirectShow,
                                             WS_TABSTOP | BS_AUTOCHECKBOX, panel, kIdDirectShowBox);
    m_annotations.setName(m_controls.presetList, toWide(texts::kCaptionPresets));
    m_gauge.create(form, kIdGauge);
    m_controls.jobList = m_rows.create(form, kIdJobList);
    m_controls.dropHint =
        createControl(WC_STATICW, texts::kDropHint, SS_CENTER | SS_NOPREFIX, form, kIdDropHint);
    // The hint lies above the list; the list leaves the hint's pixels alone.
    SetWindowPos(m_controls.dropHint, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    // Key preview: the form hears each key before the control with the focus.
    for (HWND control : {m_controls.startButton, m_controls.clearButton, m_controls.presetList,
                         m_controls.directShowBox, m_controls.jobList})
        SetWindowSubclass(control, &MainWindow::keyPreviewProc, 0, reinterpret_cast<DWORD_PTR>(this));

    // The status cell's tooltip: one tool over the whole list, its text asked
    // for when it shows, for the cell under the pointer.
    m_tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            0, 0, 0, 0, form, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (m_tip) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = form;
        tool.uId = reinterpret_cast<UINT_PTR>(m_controls.jobList);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void MainWindow::applyDpi(UINT previousDpi) {
    auto fonts = std::make_unique<WindowFonts>(m_dpi);
    for (HWND control : {m_controls.mainWindow, m_controls.panel, m_controls.startButton,
                         m_controls.clearButton, m_controls.presetLabel, m_controls.directShowBox,
                         m_controls.jobList, m_controls.dropHint, m_gauge.handle()})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts->form()), TRUE);
    SendMessageW(m_controls.presetList, WM_SETFONT, reinterpret_cast<WPARAM>(fonts->presets()), TRUE);
    // The controls hold on to the old fonts until they have the new ones.
    m_fonts = std::move(fonts);

    place(m_controls.startButton, form::kStartButton, m_dpi);
    place(m_controls.clearButton, form::kClearButton, m_dpi);
    place(m_controls.presetLabel, form::kPresetLabel, m_dpi);
    place(m_controls.presetList, form::kPresetList, m_dpi);
    place(m_controls.directShowBox, form::kDirectShowBox, m_dpi);
    SendMessageW(m_controls.presetList, LB_SETITEMHEIGHT, 0, scaled(form::kPresetItemHeight));
    m_rows.setDpi(m_dpi, previousDpi);
    m_gauge.setDpi(m_dpi);
    if (previousDpi == 0) {
        place(m_controls.dropHint, form::kDropHint, m_dpi);
    } else {
        // The hint keeps its last layout, in the new dpi's pixels.
        const RECT hint = rectInParent(m_controls.dropHint);
        auto rescale = [&](LONG value) {
            return MulDiv(value, static_cast<int>(m_dpi), static_cast<int>(previousDpi));
        };
        SetWindowPos(m_controls.dropHint, nullptr, rescale(hint.left), rescale(hint.top),
                     rescale(hint.right - hint.left), rescale(hint.bottom - hint.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (m_tip) SendMessageW(m_tip, TTM_SETMAXTIPWIDTH, 0, scaled(400));

    for (int which : {ICON_BIG, ICON_SMALL}) {
        const int metric = which == ICON_BIG ? SM_CXICON : SM_CXSMICON;
        const int side = GetSystemMetricsForDpi(metric, m_dpi);
        auto icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MIRVANE), IMAGE_ICON, side, side, 0));
        if (!icon) continue;  // a program built without its resources (some tests) keeps the default
        SendMessageW(m_controls.mainWindow, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
        HICON& kept = m_icons[which == ICON_BIG ? 0 : 1];
        if (kept) DestroyIcon(kept);
        kept = icon;
    }
}

SIZE MainWindow::outerSizeFor(int clientWidth, int clientHeight) const {
    RECT outer{0, 0, clientWidth, clientHeight};
    AdjustWindowRectExForDpi(&outer, kFormStyle, FALSE, kFormExStyle, m_dpi);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

SIZE MainWindow::minimumOuterSize() const {
    const form::Size client = form::minimumClientSize(static_cast<int>(m_dpi));
    return outerSizeFor(client.width, client.height);
}

void MainWindow::layOut() {
    if (!m_controls.jobList) return;  // sized during its creation, before the controls exist
    RECT client;
    GetClientRect(m_controls.mainWindow, &client);
    const int width = client.right;
    const int gaugeTop = scaled(form::kPanelHeight);
    const int listTop = scaled(form::kPanelHeight + form::kGaugeHeight);
    SetWindowPos(m_controls.panel, nullptr, 0, 0, width, gaugeTop, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(m_gauge.handle(), nullptr, 0, gaugeTop, width, listTop - gaugeTop,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(m_controls.jobList, nullptr, 0, listTop, width,
                 std::max(0, static_cast<int>(client.bottom) - listTop), SWP_NOZORDER | SWP_NOACTIVATE);
}

// The size rules count the outer size as the window would have it with the
// frame the layout was made for: the client area is what they keep, on
// every system and theme, as the window's own frame varies.
void MainWindow::FormResize() {
    if (!m_controls.dropHint || IsIconic(m_controls.mainWindow)) return;
    RECT clientRect;
    GetClientRect(m_controls.mainWindow, &clientRect);
    const form::Size client{clientRect.right, clientRect.bottom};
    const int dpi = static_cast<int>(m_dpi);
    if (GetWindowLongW(m_controls.dropHint, GWL_STYLE) & WS_VISIBLE) {
        const RECT hint = rectInParent(m_controls.dropHint);
        const form::Span span = form::hintSpan(client.width, dpi);
        SetWindowPos(m_controls.dropHint, nullptr, span.left, hint.top, span.width, hint.bottom - hint.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        // The static control keeps what it drew and paints only what a resize
        // uncovers: its centred text would stay where it was, the new one cut
        // or beside it. It is drawn again whole.
        InvalidateRect(m_controls.dropHint, nullptr, TRUE);
    }
    const form::Size allowed = form::allowedClientSize(client, dpi);
    if (allowed == client) return;
    // The new size comes back as a resize of its own, which lays the hint
    // out again for the final width.
    const SIZE size = outerSizeFor(allowed.width, allowed.height);
    SetWindowPos(m_controls.mainWindow, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::FormCreate(const std::vector<std::string>& commandLineFiles) {
    SetWindowPos(m_controls.mainWindow, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextW(m_controls.mainWindow, toWide(texts::kAppCaption).c_str());
    m_presenter.windowCreated(commandLineFiles);
}

void MainWindow::show(int showCommand) {
    ShowWindow(m_controls.mainWindow, showCommand);
    UpdateWindow(m_controls.mainWindow);
    FormShow();
}

void MainWindow::FormShow() { m_presenter.windowShown(); }

void MainWindow::FormCloseQuery(bool& canClose) { canClose = m_presenter.closeRequested(); }

// Everything is done before returning: the batch stopped, its encoders ended
// and its working files removed, the list kept for the next start.
void MainWindow::WMEndSession() { m_presenter.terminationRequested(); }

// Any key moves the user on from a reason shown beside its row.
void MainWindow::FormKeyDown(WORD key) {
    m_rows.hideReason();
    m_presenter.keyPressed(engineKey(key), GetKeyState(VK_CONTROL) < 0);
}

void MainWindow::jobListKeyDown(WORD key) { m_presenter.listKeyPressed(engineKey(key)); }

void MainWindow::startButtonClick() { m_presenter.startPressed(); }

void MainWindow::clearButtonClick() { m_presenter.clearAllPressed(); }

void MainWindow::presetListClick() {
    const LRESULT index = SendMessageW(m_controls.presetList, LB_GETCURSEL, 0, 0);
    if (index != LB_ERR) m_presenter.presetChosen(static_cast<int>(index));
}

void MainWindow::directShowBoxClick() { m_presenter.directShowToggled(); }

// The paths whole, in the shell's order; the drop is released whatever
// becomes of it.
void MainWindow::WMDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    for (const std::wstring& path : DroppedPaths(drop)) paths.push_back(toUtf8(path));
    DragFinish(drop);
    m_presenter.filesDropped(paths);
}

// The user answers the word at the end of a batch: the window comes back
// from the taskbar too.
void MainWindow::balloonClicked() {
    if (IsIconic(m_controls.mainWindow)) ShowWindow(m_controls.mainWindow, SW_RESTORE);
    m_view.bringToFront();
}

void MainWindow::openHandedOverFiles(std::vector<std::string> files) {
    m_uiThread.post([this, files = std::move(files)] { m_presenter.filesHandedOver(files); });
}

void MainWindow::WMDpiChanged(UINT dpi, const RECT& suggested) {
    const UINT previous = m_dpi;
    m_dpi = dpi;
    applyDpi(previous);
    SetWindowPos(m_controls.mainWindow, nullptr, suggested.left, suggested.top,
                 suggested.right - suggested.left, suggested.bottom - suggested.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    layOut();
    FormResize();
}

void MainWindow::jobListStatusColour(int row, int column, COLORREF& textColour) const {
    if (column != 1 || row < 0 || row >= m_rows.size()) return;
    const Rgb colour = m_rows.look(row).colour;
    textColour = RGB(colour.red, colour.green, colour.blue);
}

LRESULT MainWindow::jobListCustomDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYSUBITEMDRAW;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
            // Every cell starts from the list's own colour, so that a status
            // colour never carries over to the next cell drawn.
            draw.clrText = static_cast<COLORREF>(SendMessageW(m_controls.jobList, LVM_GETTEXTCOLOR, 0, 0));
            if (draw.iSubItem != 0)
                jobListStatusColour(static_cast<int>(draw.nmcd.dwItemSpec), draw.iSubItem, draw.clrText);
            return CDRF_NEWFONT;
    }
    return CDRF_DODEFAULT;
}

// A new cell under the pointer closes the tooltip of the last one; the next
// one opens with its own text.
void MainWindow::trackStatusTip(POINT point) {
    LVHITTESTINFO hit{};
    hit.pt = point;
    SendMessageW(m_controls.jobList, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    const POINT cell{hit.iSubItem, hit.iItem};
    if (cell.x == m_tipCell.x && cell.y == m_tipCell.y) return;
    m_tipCell = cell;
    SendMessageW(m_tip, TTM_POP, 0, 0);
}

LRESULT MainWindow::notify(NMHDR& header) {
    if (header.hwndFrom == m_controls.jobList) {
        switch (header.code) {
            case LVN_GETDISPINFOW:
                m_rows.displayInfo(reinterpret_cast<NMLVDISPINFOW&>(header));
                return 0;
            case NM_CUSTOMDRAW:
                return jobListCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
            case LVN_ODFINDITEMW:
                return -1;
        }
    } else if (header.hwndFrom == m_tip && header.code == TTN_GETDISPINFOW) {
        POINT pointer;
        GetCursorPos(&pointer);
        ScreenToClient(m_controls.jobList, &pointer);
        m_tipText = m_rows.statusTipAt(pointer);
        reinterpret_cast<NMTTDISPINFOW&>(header).lpszText = m_tipText.data();
        return 0;
    }
    return 0;
}

// The hint on white, the panel's labels on the face colour, all in the
// system's window-text colour.
LRESULT MainWindow::controlColour(HDC dc, HWND control) const {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    if (control == m_controls.dropHint) {
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK MainWindow::formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->m_controls.mainWindow) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

// The panel is a plain container: what its controls tell their parent goes on to the form.
LRESULT CALLBACK MainWindow::panelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            return SendMessageW(GetParent(window), message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::keyPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR form) {
    auto* self = reinterpret_cast<MainWindow*>(form);
    if (self->previewControlMessage(window, message, wParam, lParam)) return 0;
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &MainWindow::keyPreviewProc, 0);
    if (message == WM_GETDLGCODE && window == self->m_controls.jobList && lParam) {
        // Return on the list is the list's key (a failed row's reason), not
        // the dialog keys' default button.
        const MSG& key = *reinterpret_cast<const MSG*>(lParam);
        if (key.message == WM_KEYDOWN && key.wParam == VK_RETURN)
            return DefSubclassProc(window, message, wParam, lParam) | DLGC_WANTMESSAGE;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

bool MainWindow::previewControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool onList = control == m_controls.jobList;
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            const auto key = static_cast<WORD>(wParam);
            FormKeyDown(key);
            if (onList) jobListKeyDown(key);
            // Shift+F10 is the list's context key; left to the system, its F10
            // would also open the window's menu.
            return onList && key == VK_F10 && engineKey(key) == Key::ContextMenu;
        }
        case WM_CONTEXTMENU:
            // The keyboard's request (at -1, -1) has been answered as a key already.
            return onList && GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1;
        case WM_MOUSEMOVE:
            if (onList && m_tip) trackStatusTip({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return false;
        case WM_KILLFOCUS:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MOUSEWHEEL:
        case WM_VSCROLL:
        case WM_HSCROLL:
            // The row may move or the user has moved on: the reason beside it goes.
            if (onList) m_rows.hideReason();
            break;
    }
    if (message == WM_SETFOCUS && onList) m_rows.keepAFocusedRow();
    // A push button with the focus is the default one, as in a dialog, so that
    // Return presses it however the focus came to it.
    const bool pushButton = control == m_controls.startButton || control == m_controls.clearButton;
    if ((message == WM_SETFOCUS || message == WM_KILLFOCUS) && pushButton)
        SendMessageW(control, BM_SETSTYLE, message == WM_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    return false;
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND form = m_controls.mainWindow;
    if (m_desktop.handleMessage(message, lParam)) return 0;
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam), code = HIWORD(wParam);
            if (id == kIdStartButton && code == BN_CLICKED) startButtonClick();
            if (id == kIdClearButton && code == BN_CLICKED) clearButtonClick();
            if (id == kIdPresetList && code == LBN_SELCHANGE) presetListClick();
            if (id == kIdDirectShowBox && code == BN_CLICKED) directShowBoxClick();
            return 0;
        }
        case WM_NOTIFY:
            return notify(*reinterpret_cast<NMHDR*>(lParam));
        case WM_CTLCOLORSTATIC:
            return controlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            FormKeyDown(static_cast<WORD>(wParam));
            break;
        case DM_GETDEFID: {
            // The dialog keys ask which button is the default one when the
            // focus moves: the push button with the focus, as it became at
            // WM_SETFOCUS, and none while another control has it.
            HWND focus = GetFocus();
            if (focus == m_controls.startButton || focus == m_controls.clearButton)
                return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
            return 0;
        }
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(m_fonts ? m_fonts->form() : nullptr);
        case WM_DROPFILES:
            WMDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_SIZE:
            m_rows.hideReason();
            layOut();
            FormResize();
            return 0;
        case WM_MOVE:
            m_rows.hideReason();
            break;
        case WM_GETMINMAXINFO: {
            // A drag of the frame never shows a window below the minimum.
            const SIZE minimum = minimumOuterSize();
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {minimum.cx, minimum.cy};
            return 0;
        }
        case WM_DPICHANGED:
            WMDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_QUERYENDSESSION:
            // Nothing to refuse: a batch stops when the session really ends.
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) WMEndSession();
            return 0;
        case WM_CLOSE: {
            bool canClose = true;
            FormCloseQuery(canClose);
            if (canClose) {
                m_presenter.windowClosed();
                DestroyWindow(form);
            }
            return 0;
        }
        case WM_DESTROY:
            m_desktop.windowDestroyed();
            // A window destroyed with its object (tests) asks no loop to end.
            if (!m_destroying) PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            m_controls = WindowControls{};
            break;
    }
    return DefWindowProcW(form, message, wParam, lParam);
}

}  // namespace mirvane::win32
