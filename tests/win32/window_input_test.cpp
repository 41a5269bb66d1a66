// The Win32 window's events as the system delivers them: the shell's drop
// message with a real DROPFILES block, keys through the key preview,
// clicks, the preset list and the check box as a user changes them, the
// status colours chosen while the list draws, and the status tooltip.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/jobs/job_list.h"
#include "engine/texts/texts.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

using Texts = std::vector<std::wstring>;
const std::wstring kPending = L"未変換";
const std::wstring kError = L"エラー";
const std::wstring kConverted = L"変換済";

struct JobRows : testing::Test {
    ProgramFolder folder;
    Form form{folder};

    HWND list() const { return form.controls().jobList; }
    HWND window() const { return form.window->handle(); }
    bool hintShown() const { return GetWindowLongW(form.controls().dropHint, GWL_STYLE) & WS_VISIBLE; }
    void drop(const Texts& paths) {
        SendMessageW(window(), WM_DROPFILES, reinterpret_cast<WPARAM>(makeDrop(paths)), 0);
    }
    void addRows(int count) {
        Texts paths;
        for (int i = 0; i < count; ++i) paths.push_back(L"C:\\videos\\clip" + std::to_wstring(i) + L".avi");
        drop(paths);
        ASSERT_EQ(form.rowCount(), count);
    }
    // What a batch would have left in the rows.
    void setStatus(int row, JobStatus status, const std::string& reason = {}) {
        const_cast<JobList&>(form.window->presenter().jobs()).setStatus(row, status, reason);
    }
};

// Paths as the shell hands them over, in its order: names no ANSI code
// page holds, a name without an extension, the same file twice, a path
// longer than 260.
TEST_F(JobRows, ADropAddsEveryPathWholeInTheShellsOrderAndReleasesTheDrop) {
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'長') + L".avi";
    const Texts paths{L"C:\\ビデオ\\旅行.mp4", L"D:\\Фильмы\\кино.avi", L"C:\\clips", L"C:\\ビデオ\\旅行.mp4",
                      longPath};
    HDROP dropped = makeDrop(paths);
    SendMessageW(window(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropped), 0);
    EXPECT_EQ(form.column(0), paths);
    EXPECT_EQ(form.window->presenter().jobs().row(4).path.size(), 3 + 300 * 3 + 4u) << "UTF-8 for the engine";
    EXPECT_EQ(form.column(1), Texts(5, kPending));
    EXPECT_FALSE(hintShown());
    // DragFinish freed the block: the handle no longer names any memory.
    EXPECT_EQ(GlobalSize(dropped), 0u);
}

TEST_F(JobRows, ADropOfAnsiNamesIsReadToo) {
    HDROP dropped = makeAnsiDrop({"C:\\clips\\a.avi", "C:\\clips\\b.mkv"});
    SendMessageW(window(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropped), 0);
    EXPECT_EQ(form.column(0), (Texts{L"C:\\clips\\a.avi", L"C:\\clips\\b.mkv"}));
    EXPECT_EQ(GlobalSize(dropped), 0u);
}

TEST_F(JobRows, AnEmptyDropChangesNothingAndIsReleased) {
    HDROP dropped = makeDrop({});
    SendMessageW(window(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropped), 0);
    EXPECT_EQ(form.rowCount(), 0);
    EXPECT_TRUE(hintShown());
    EXPECT_EQ(GlobalSize(dropped), 0u);
}

// The drop arrives at the main window whichever control it lands on: only
// the main window accepts files, so the shell goes up to it.
TEST_F(JobRows, OnlyTheMainWindowAcceptsFiles) {
    for (HWND control : {form.controls().jobList, form.controls().startButton, form.controls().presetList,
                         form.controls().dropHint, form.controls().panel})
        EXPECT_FALSE(GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(GetWindowLongW(window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

struct DeleteCase {
    const char* name;
    std::vector<int> selected;
    bool shift, control;
    Texts left;  // of clip0..clip4
};

class DeleteKey : public JobRows, public testing::WithParamInterface<DeleteCase> {};

// The key reaches the list through the key preview with the modifiers the
// keyboard state holds.
TEST_P(DeleteKey, RemovesTheSelectedRowsWhateverModifierIsHeld) {
    const DeleteCase& c = GetParam();
    addRows(5);
    setStatus(3, JobStatus::Failed, "why");
    selectRows(list(), c.selected);
    SetFocus(list());
    pressKey(list(), VK_DELETE, c.shift, c.control);
    EXPECT_EQ(form.column(0), c.left);
    EXPECT_EQ(form.window->presenter().jobs().size(), static_cast<int>(c.left.size()));
    // Nothing that was kept stays selected by the removed rows' numbers.
    EXPECT_EQ(SendMessageW(list(), LVM_GETSELECTEDCOUNT, 0, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Keys, DeleteKey,
                         testing::Values(DeleteCase{"ThreeOfFive",
                                                    {0, 2, 4},
                                                    false,
                                                    false,
                                                    {L"C:\\videos\\clip1.avi", L"C:\\videos\\clip3.avi"}},
                                         DeleteCase{"ShiftDelete",
                                                    {1},
                                                    true,
                                                    false,
                                                    {L"C:\\videos\\clip0.avi", L"C:\\videos\\clip2.avi",
                                                     L"C:\\videos\\clip3.avi", L"C:\\videos\\clip4.avi"}},
                                         DeleteCase{"CtrlDelete",
                                                    {4},
                                                    false,
                                                    true,
                                                    {L"C:\\videos\\clip0.avi", L"C:\\videos\\clip1.avi",
                                                     L"C:\\videos\\clip2.avi", L"C:\\videos\\clip3.avi"}},
                                         DeleteCase{"AllOfThem", {0, 1, 2, 3, 4}, false, false, {}}),
                         kByName);

TEST_F(JobRows, RowsKeepTheirStatusesWhenOthersAreRemoved) {
    addRows(5);
    setStatus(3, JobStatus::Failed, "why");
    setStatus(4, JobStatus::Converted);
    selectRows(list(), {0, 2});
    pressKey(list(), VK_DELETE);
    EXPECT_EQ(form.column(1), (Texts{kPending, kError, kConverted}));
}

// The key preview: the window sees Ctrl+F1 whichever control has the focus.
TEST_F(JobRows, CtrlF1TurnsTheLogOffFromAnyControl) {
    for (HWND focus :
         {form.controls().startButton, form.controls().presetList, form.controls().jobList, window()}) {
        form.flags.logEnabled = true;
        pressKey(focus, VK_F1, false, false);
        EXPECT_TRUE(form.flags.logEnabled) << "F1 alone";
        pressKey(focus, VK_F1, false, true);
        EXPECT_FALSE(form.flags.logEnabled) << "Ctrl+F1";
    }
}

// Delete counts only where the list has it, not on a button.
TEST_F(JobRows, DeleteOnAnotherControlRemovesNothing) {
    addRows(2);
    selectRows(list(), {0});
    pressKey(form.controls().clearButton, VK_DELETE);
    EXPECT_EQ(form.rowCount(), 2);
}

TEST_F(JobRows, ClearAllEmptiesTheListResetsTheGaugeAndShowsTheHint) {
    addRows(3);
    form.window->gauge().setProgress(40);
    SendMessageW(form.controls().clearButton, BM_CLICK, 0, 0);
    EXPECT_EQ(form.rowCount(), 0);
    EXPECT_EQ(form.window->gauge().progress(), 0);
    EXPECT_TRUE(hintShown());
}

// A user's click on the second preset: the list box tells its parent.
void clickPreset(HWND presets, int index) {
    RECT item;
    SendMessageW(presets, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(presets, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(presets, WM_LBUTTONUP, 0, at);
}

TEST_F(JobRows, AUsersPresetChangeAndEveryDirectShowClickResetFailedRows) {
    addRows(3);
    auto failSecond = [&] { setStatus(1, JobStatus::Failed, "why"); };
    failSecond();
    setStatus(0, JobStatus::Converted);

    clickPreset(form.controls().presetList, 0);  // the preset already chosen
    EXPECT_EQ(form.column(1), (Texts{kConverted, kError, kPending}));
    clickPreset(form.controls().presetList, 1);
    EXPECT_EQ(SendMessageW(form.controls().presetList, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(form.column(1), (Texts{kConverted, kPending, kPending}));

    for (int click = 0; click < 2; ++click) {
        failSecond();
        SendMessageW(form.controls().directShowBox, BM_CLICK, 0, 0);
        EXPECT_EQ(SendMessageW(form.controls().directShowBox, BM_GETCHECK, 0, 0),
                  click == 0 ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(form.column(1), (Texts{kConverted, kPending, kPending})) << "click " << click;
    }
}

// The colours are chosen where the list draws: what the list's custom-draw
// notification carries back for each cell.
TEST_F(JobRows, EachStatusCellIsDrawnInItsColourAndFileNamesInTheListsOwn) {
    addRows(4);
    setStatus(1, JobStatus::Converting);
    setStatus(2, JobStatus::Converted);
    setStatus(3, JobStatus::Failed, "why");
    const COLORREF expected[] = {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 0, 0)};
    const auto normal = static_cast<COLORREF>(SendMessageW(list(), LVM_GETTEXTCOLOR, 0, 0));
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 2; ++column) {
            NMLVCUSTOMDRAW draw{};
            draw.nmcd.hdr = {list(), static_cast<UINT_PTR>(GetDlgCtrlID(list())),
                             static_cast<UINT>(NM_CUSTOMDRAW)};
            draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
            draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
            draw.iSubItem = column;
            // What the cell before left behind must not matter.
            draw.clrText = RGB(12, 34, 56);
            SendMessageW(window(), WM_NOTIFY, draw.nmcd.hdr.idFrom, reinterpret_cast<LPARAM>(&draw));
            EXPECT_EQ(draw.clrText, column == 0 ? normal : expected[row]) << row << "," << column;
        }
    }
}

// The reason shows over the failed row's status cell only.
TEST_F(JobRows, TheStatusTooltipShowsTheReasonOverTheFailedRowsStatusCell) {
    addRows(3);
    setStatus(1, JobStatus::Failed, "ffmpeg: クリップ.avi: Invalid data found");
    auto cellCentre = [&](int row, int column) {
        RECT cell{};
        cell.top = column;
        cell.left = LVIR_BOUNDS;
        SendMessageW(list(), LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
        return POINT{column == 0 ? 20 : (cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    };
    EXPECT_EQ(form.window->statusTipAt(cellCentre(1, 1)), L"ffmpeg: クリップ.avi: Invalid data found");
    EXPECT_EQ(form.window->statusTipAt(cellCentre(1, 0)), L"");
    EXPECT_EQ(form.window->statusTipAt(cellCentre(0, 1)), L"");
    EXPECT_EQ(form.window->statusTipAt(cellCentre(2, 1)), L"");
    // A preset change forgets the reason with the failure.
    clickPreset(form.controls().presetList, 1);
    EXPECT_EQ(form.window->statusTipAt(cellCentre(1, 1)), L"");
}

// What a screen reader reads for the controls without a caption of their own.
TEST_F(JobRows, TheListsAreNamedForAssistiveTechnology) {
    EXPECT_EQ(askAccessible(form.controls().presetList).name, L"コンバート");
    EXPECT_EQ(askAccessible(list()).name, L"ファイル一覧");
}

// The list's rows have no texts of their own: what a list view raises for
// added, changed and removed rows is raised for them.
TEST_F(JobRows, RowsAddedChangedRemovedAndClearedAreAnnounced) {
    auto heard = [&](const std::function<void()>& action) {
        return eventsDuring(
            *form.window, list(),
            {EVENT_OBJECT_CREATE, EVENT_OBJECT_DESTROY, EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_REORDER},
            action);
    };
    EXPECT_EQ(heard([&] { addRows(3); }),
              (RaisedEvents{{EVENT_OBJECT_CREATE, 1}, {EVENT_OBJECT_CREATE, 2}, {EVENT_OBJECT_CREATE, 3}}));
    EXPECT_EQ(heard([&] { setStatus(1, JobStatus::Failed, "why"); }),
              (RaisedEvents{{EVENT_OBJECT_NAMECHANGE, 2}}));
    selectRows(list(), {0, 2});
    EXPECT_EQ(heard([&] { pressKey(list(), VK_DELETE); }),
              (RaisedEvents{{EVENT_OBJECT_DESTROY, 3}, {EVENT_OBJECT_DESTROY, 1}}));
    EXPECT_EQ(heard([&] { SendMessageW(form.controls().clearButton, BM_CLICK, 0, 0); }),
              (RaisedEvents{{EVENT_OBJECT_REORDER, CHILDID_SELF}}));
}

// Wine has no UI Automation notification event, as Windows before 10 1709:
// the answer to a key is said by the alert of a static text that holds it.
TEST_F(JobRows, AKeysAnswerIsSaidByAnAlertWhereNoNotificationEventIs) {
    if (form.window->hasNotificationEvent()) GTEST_SKIP() << "said by UI Automation here";
    addRows(3);
    selectRows(list(), {0});
    pressKey(list(), VK_DELETE);
    const HWND alert = form.window->spokenAlert();
    ASSERT_NE(alert, nullptr);
    selectRows(list(), {0, 1});
    EXPECT_EQ(eventsDuring(*form.window, alert, {EVENT_SYSTEM_ALERT}, [&] { pressKey(list(), VK_DELETE); }),
              (RaisedEvents{{EVENT_SYSTEM_ALERT, CHILDID_SELF}}));
    EXPECT_EQ(askAccessible(alert).name, L"2件を一覧から削除しました");
}

// Entering the list, a keyboard user is on a row that the keys act on.
TEST_F(JobRows, TheListTakesTheFocusOnASelectedRow) {
    addRows(3);
    selectRows(list(), {});
    SetFocus(list());
    EXPECT_EQ(SendMessageW(list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 0);
    EXPECT_EQ(SendMessageW(list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
}

struct ReasonKeyCase {
    const char* name;
    WORD key;
    bool shift;
};

class ReasonKey : public JobRows, public testing::WithParamInterface<ReasonKeyCase> {};

// Through the dialog keys, which would take Return for a default button; Shift+F10 would
// also open the window's menu and never come back.
TEST_P(ReasonKey, ShowsTheFailedRowsReasonUnderItsStatusCellUntilTheNextKey) {
    addRows(30);
    setStatus(25, JobStatus::Failed, "ffmpeg: 壊れたファイル");
    selectRows(list(), {25});
    SetFocus(list());
    postKey(*form.window, list(), GetParam().key, GetParam().shift);
    EXPECT_EQ(form.window->reasonShown(), L"ffmpeg: 壊れたファイル");
    RECT cell{LVIR_BOUNDS, 1, 0, 0};
    SendMessageW(list(), LVM_GETSUBITEMRECT, 25, reinterpret_cast<LPARAM>(&cell));
    MapWindowPoints(list(), HWND_DESKTOP, reinterpret_cast<POINT*>(&cell), 2);
    HWND tip = nullptr;
    while ((tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) && !IsWindowVisible(tip)) {
    }
    ASSERT_TRUE(tip) << "no tip shown";
    RECT shown;
    GetWindowRect(tip, &shown);
    // A tooltip's own frame may take a pixel.
    EXPECT_NEAR(shown.left, cell.left, 1) << "beside the row, scrolled into view";
    EXPECT_NEAR(shown.top, cell.bottom, 1);
    postKey(*form.window, list(), VK_DOWN);
    EXPECT_EQ(form.window->reasonShown(), L"");
    EXPECT_FALSE(IsWindowVisible(tip));
}

INSTANTIATE_TEST_SUITE_P(Keys, ReasonKey,
                         testing::Values(ReasonKeyCase{"Return", VK_RETURN, false},
                                         ReasonKeyCase{"ContextMenuKey", VK_APPS, false},
                                         ReasonKeyCase{"ShiftF10", VK_F10, true}),
                         kByName);

// A converting row's own percentage beside its status, with its row when
// rows above it go, until taken away.
TEST_F(JobRows, AConvertingRowShowsItsOwnPercentageUntilTakenAway) {
    addRows(3);
    setStatus(1, JobStatus::Converting);
    MainWindowView& view = form.window->view();
    view.setRowPercent(1, 42);
    view.setRowPercent(2, 50);
    EXPECT_EQ(form.column(1), (Texts{kPending, L"変換中 42%", kPending}));
    selectRows(list(), {0});
    pressKey(list(), VK_DELETE);
    EXPECT_EQ(form.column(1), (Texts{L"変換中 42%", kPending}));
    view.setRowPercent(0, std::nullopt);
    EXPECT_EQ(form.column(1), (Texts{L"変換中", kPending}));
}

// Return presses the focused button also after Tab (the dialog keys then ask
// the window which button is the default); after SetFocus: the batch's test.
TEST_F(JobRows, ReturnPressesTheButtonTabbedTo) {
    addRows(2);
    SetFocus(form.controls().startButton);
    postKey(*form.window, form.controls().startButton, VK_TAB);
    postKey(*form.window, form.controls().clearButton, VK_RETURN);
    EXPECT_EQ(form.rowCount(), 0);
}

// Ctrl+O opens the system's dialog over the window, several files at once;
// the files chosen there are added as a drop adds them.
std::function<void()> g_inDialog;
void CALLBACK inDialog(HWND, UINT, UINT_PTR, DWORD) {
    if (g_inDialog) g_inDialog();
}

TEST_F(JobRows, CtrlOAddsTheFilesChosenInTheSystemsDialog) {
    const Texts chosen{wide(folder.dir.write("クリップ.avi", "")), wide(folder.dir.write("b.mkv", ""))};
    std::wstring title;
    g_inDialog = [&] {
        HWND dialog = FindWindowW(L"#32770", nullptr);
        if (!dialog || GetWindow(dialog, GW_OWNER) != window()) return;
        title = windowText(dialog);
        // The dialog opens with the focus in its file name box.
        SetWindowTextW(GetFocus(), (L"\"" + chosen[0] + L"\" \"" + chosen[1] + L"\"").c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &inDialog);
    pressKey(list(), 'O', false, true);
    KillTimer(nullptr, timer);
    g_inDialog = nullptr;
    EXPECT_EQ(title, L"ファイルを追加");
    EXPECT_EQ(form.column(0), chosen);
}

}  // namespace
}  // namespace mirvane::win32::test
