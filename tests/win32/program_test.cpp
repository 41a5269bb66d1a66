// The built Mirvane.exe as a user starts it: the start-up messages in their
// boxes, one copy per session, and files a second copy hands to the first,
// between two real processes.

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/platform/files.h"
#include "engine/platform/user_folders.h"
#include "engine/platform/win32/wide_text.h"
#include "support/temp_dir.h"
#include "win32/main_window.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::test {
namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::wstring>;

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A copy of the program in a folder of its own, started with arguments.
class Program {
public:
    Program(const ProgramFolder& folder, const Texts& arguments)
        : Program(copyInto(folder), arguments) {}
    Program(const std::wstring& exe, const Texts& arguments) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        for (const std::wstring& argument : arguments) commandLine += L" \"" + argument + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &m_process))
            ADD_FAILURE() << "cannot start " << platform::win32::lastError().message();
        CloseHandle(m_process.hThread);
    }
    ~Program() {
        if (running()) TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 10000);
        CloseHandle(m_process.hProcess);
    }

    bool running() const { return WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code once the program has ended within the limit; -1 otherwise.
    int exitCode(DWORD limitMs = 20000) const {
        if (WaitForSingleObject(m_process.hProcess, limitMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<int>(code);
    }
    // The top-level window of this process with the given class and caption.
    HWND window(const wchar_t* className, const wchar_t* caption = nullptr) const {
        struct Search {
            DWORD process;
            const wchar_t *className, *caption;
            HWND found;
        } search{m_process.dwProcessId, className, caption, nullptr};
        EnumWindows(
            [](HWND window, LPARAM into) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(into);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t name[64] = {};
                GetClassNameW(window, name, 64);
                if (owner != s.process || std::wstring(name) != s.className) return TRUE;
                if (s.caption && windowText(window) != s.caption) return TRUE;
                s.found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    HWND form() const { return window(kFormClassName); }
    HANDLE process() const { return m_process.hProcess; }

private:
    static std::wstring copyInto(const ProgramFolder& folder) {
        const std::wstring exe = wide(folder.dir.file("Mirvane.exe"));
        if (!std::filesystem::exists(exe)) std::filesystem::copy_file(MIRVANE_PROGRAM, exe);
        return exe;
    }

    PROCESS_INFORMATION m_process{};
};

// The list's rows of another process: the list copies each text into a
// buffer that must lie in that process.
Texts remoteColumn(const Program& program, HWND list, int column) {
    Texts texts;
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    constexpr SIZE_T kChars = 1024;
    auto* remote = static_cast<char*>(VirtualAllocEx(program.process(), nullptr, sizeof(LVITEMW) + kChars * 2,
                                                     MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    for (int row = 0; row < rows; ++row) {
        LVITEMW item{};
        item.iSubItem = column;
        item.cchTextMax = kChars;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
        WriteProcessMemory(program.process(), remote, &item, sizeof item, nullptr);
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
        wchar_t text[kChars] = {};
        ReadProcessMemory(program.process(), remote + sizeof(LVITEMW), text, sizeof text - 2, nullptr);
        texts.emplace_back(text);
    }
    VirtualFreeEx(program.process(), remote, 0, MEM_RELEASE);
    return texts;
}

// Each start-up message in its own box, in order; OK on the last lets the
// program end.
TEST(Program, StartUpProblemsAreShownInBoxesInOrderThenTheProgramEnds) {
    ProgramFolder folder(nullptr, true);
    Program program(folder, {});
    std::vector<std::wstring> shown;
    while (shown.size() < 3) {
        HWND box = nullptr;
        if (!waitFor(
                [&] { return (box = program.window(L"#32770", L"Mirvane 1.00")) || !program.running(); }))
            break;
        if (!box) break;
        HWND text = GetDlgItem(box, 0xFFFF);
        shown.push_back(windowText(text));
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        waitFor([&] { return !IsWindow(box); });
    }
    EXPECT_EQ(shown, (Texts{L"動画設定INIファイル(MovieSet.ini)がありません。",
                            L"動画設定INIファイルの読込みに失敗しました。"}));
    EXPECT_EQ(program.exitCode(), 0);
}

// Where its user may not write (Program Files, here a read-only drive), the
// program keeps its log in the user's local application-data folder.
TEST(Program, InAFolderItsUserCannotWriteTheLogIsKeptInTheLocalAppDataFolder) {
    if (!std::filesystem::exists(L"M:\\Mirvane.exe"))
        GTEST_SKIP() << "no read-only drive M: (its fixture mounts one, which only root may)";
    ASSERT_FALSE(platform::isWritableFolder("M:\\"));
    const std::string log = platform::userFolders().stateHome + "\\Mirvane\\Mirvane.log";
    std::filesystem::remove(wide(log));
    // An earlier run that was cut short would bring its rows back.
    std::filesystem::remove(wide(platform::userFolders().stateHome + "\\Mirvane\\Mirvane.jobs"));
    Program program(L"M:\\Mirvane.exe", {L"C:\\clip.avi"});
    ASSERT_TRUE(waitFor([&] { return program.form() && IsWindowVisible(program.form()); }));
    HWND list = FindWindowExW(program.form(), nullptr, WC_LISTVIEWW, nullptr);
    HWND start = FindWindowExW(FindWindowExW(program.form(), nullptr, L"Mirvane.Panel", nullptr), nullptr,
                               WC_BUTTONW, nullptr);
    PostMessageW(start, BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor([&] { return remoteColumn(program, list, 1) == Texts{L"変換済"}; }));
    PostMessageW(program.form(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.exitCode(), 0);
    std::string written;
    EXPECT_FALSE(platform::readFile(log, 1 << 20, written));
    EXPECT_NE(written.find("C:\\clip.avi"), std::string::npos) << written;
}

struct TwoCopies : testing::Test {
    ProgramFolder folder;
};

TEST_F(TwoCopies, ASecondCopyHandsItsFilesToTheFirstAndEndsSilently) {
    Program first(folder, {L"C:\\first.avi"});
    ASSERT_TRUE(waitFor([&] { return first.form() && IsWindowVisible(first.form()); }));
    HWND list = FindWindowExW(first.form(), nullptr, WC_LISTVIEWW, nullptr);
    ASSERT_NE(list, nullptr);

    Program second(folder, {L"C:\\ビデオ\\二本目.mp4", L"D:\\Фильмы\\кино.avi"});
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(second.window(L"#32770")) << "the second copy said something";
    EXPECT_TRUE(waitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 3; }));
    EXPECT_EQ(remoteColumn(first, list, 0),
              (Texts{L"C:\\first.avi", L"C:\\ビデオ\\二本目.mp4", L"D:\\Фильмы\\кино.avi"}));
    EXPECT_EQ(remoteColumn(first, list, 1), Texts(3, L"未変換"));

    Program third(folder, {});
    EXPECT_EQ(third.exitCode(), 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 3);

    PostMessageW(first.form(), WM_CLOSE, 0, 0);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(wide(folder.dir.file("Mirvane.jobs"))))
        << "a normal close removes it";
}

TEST_F(TwoCopies, FilesHandedOverDuringABatchJoinTheListWhenItEnds) {
    ProgramFolder slow(
        "[List]\nListTitle00=Slow\nListOption00=progress:20:100 -i %INPFILE %OUTFILE\nListExt00=.mp4\n");
    Program first(slow, {wide(slow.dir.file("clip.avi"))});
    ASSERT_TRUE(waitFor([&] { return first.form() && IsWindowVisible(first.form()); }));
    HWND list = FindWindowExW(first.form(), nullptr, WC_LISTVIEWW, nullptr);
    HWND panel = FindWindowExW(first.form(), nullptr, L"Mirvane.Panel", nullptr);
    HWND start = FindWindowExW(panel, nullptr, WC_BUTTONW, nullptr);
    ASSERT_EQ(windowText(start), L"開始");
    PostMessageW(start, BM_CLICK, 0, 0);
    ASSERT_TRUE(waitFor([&] { return windowText(start) == L"停止"; }));

    Program second(slow, {L"C:\\later.avi"});
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1) << "added during the batch";
    EXPECT_TRUE(waitFor([&] { return windowText(start) == L"開始"; }));
    EXPECT_TRUE(waitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 2; }));
    EXPECT_EQ(remoteColumn(first, list, 0).back(), L"C:\\later.avi");
    EXPECT_EQ(remoteColumn(first, list, 1), (Texts{L"変換済", L"未変換"}));
    PostMessageW(first.form(), WM_CLOSE, 0, 0);
    EXPECT_EQ(first.exitCode(), 0);
}

}  // namespace
}  // namespace mirvane::win32::test
