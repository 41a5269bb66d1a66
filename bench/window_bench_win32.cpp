// Figures of the Windows program under Wine, each beside its goal: start-up
// until the window is shown and the memory by then, the whole program's
// processor use and the UI thread's time per progress update while a job
// runs, a drop of many files, and how quickly a stop takes effect. Prints
// table rows; never fails on a number.
//
//   window_bench startup | cpu [SECONDS] | gauge | drop | stop
//
// startup and cpu start the built Mirvane.exe as a user would; drop and stop
// drive the real window in this process.

#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "win32/main_window.h"
#include "win32/support/window_fixture.h"

namespace mirvane::win32::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Form;
using test::ProgramFolder;

double seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

void printRow(const std::string& what, const std::string& figure, const std::string& goal, bool met) {
    std::printf("| %s | %s | %s | %s |\n", what.c_str(), figure.c_str(), goal.c_str(),
                met ? "met" : "missed");
    std::fflush(stdout);
}

double cpuSeconds(FILETIME kernel, FILETIME user) {
    auto value = [](FILETIME time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
    };
    return value(kernel) + value(user);
}

double threadCpu(HANDLE thread);

// The processor time of every thread the process has now. Wine answers
// GetProcessTimes for another process with zeros, but keeps each thread's
// times.
double processCpu(DWORD process) {
    double total = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != process) continue;
        if (HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID)) {
            total += threadCpu(thread);
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
    return total;
}

double threadCpu(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(thread, &created, &exited, &kernel, &user);
    return cpuSeconds(kernel, user);
}

// A copy of the program, started with arguments; its main thread is its UI thread.
struct Started {
    PROCESS_INFORMATION info{};
    Clock::time_point at;
    ~Started() {
        if (!info.hProcess) return;
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

void start(Started& program, const std::wstring& exe, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    program.at = Clock::now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &program.info))
        std::fprintf(stderr, "cannot start %ls\n", exe.c_str());
}

HWND visibleFormOf(DWORD process) {
    struct Search {
        DWORD process;
        HWND found;
    } search{process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM into) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(into);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (owner != s.process || std::wstring(name) != kFormClassName || !IsWindowVisible(window))
                return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForForm(const Started& program) {
    const auto deadline = Clock::now() + 30s;
    HWND form = nullptr;
    while (!(form = visibleFormOf(program.info.dwProcessId)) && Clock::now() < deadline) Sleep(1);
    return form;
}

std::wstring installedProgram(const ProgramFolder& folder) {
    const std::wstring exe = test::wide(folder.dir.file("Mirvane.exe"));
    std::filesystem::copy_file(MIRVANE_PROGRAM, exe, std::filesystem::copy_options::overwrite_existing);
    return exe;
}

void startup() {
    ProgramFolder folder;
    const std::wstring exe = installedProgram(folder);
    // What Wine needs to start any program and let it end, for comparison.
    std::vector<double> bare;
    for (int run = 0; run < 5; ++run) {
        Started echo;
        start(echo, test::wide(MIRVANE_ARGV_ECHO), L"");
        WaitForSingleObject(echo.info.hProcess, 10000);
        bare.push_back(seconds(Clock::now() - echo.at));
    }
    std::vector<double> shown;
    double peakMb = 0;
    for (int run = 0; run < 5; ++run) {
        Started program;
        start(program, exe, L"");
        if (!waitForForm(program)) {
            std::fprintf(stderr, "the window did not appear\n");
            return;
        }
        shown.push_back(seconds(Clock::now() - program.at));
        PROCESS_MEMORY_COUNTERS memory{};
        GetProcessMemoryInfo(program.info.hProcess, &memory, sizeof memory);
        peakMb = std::max(peakMb, memory.PeakWorkingSetSize / 1048576.0);
        PostMessageW(visibleFormOf(program.info.dwProcessId), WM_CLOSE, 0, 0);
        WaitForSingleObject(program.info.hProcess, 10000);
    }
    const double afterWine = median(shown) - median(bare);
    printRow("start-up until the window is shown (median of 5)", format("%.3f s", median(shown)), "-", true);
    printRow("Wine starting a program that does nothing and ending it (median of 5)",
             format("%.3f s", median(bare)), "-", true);
    printRow("start-up after Wine's own start (the difference)", format("%.3f s", afterWine), "<= 0.3 s",
             afterWine <= 0.3);
    printRow("peak working set at start-up", format("%.1f MB", peakMb), "<= 80 MB", peakMb <= 80);
}

// The whole program's processor time per wall second and the UI thread's
// time per progress update, in the middle of a job whose encoder reports
// progress twice a second (the fake encoder's own time not counted).
void cpu(int wallSeconds) {
    const std::string settings =
        "[List]\nListTitle00=Paced\nListOption00=progress:" + std::to_string(2 * wallSeconds) +
        ":500 -i %INPFILE %OUTFILE\nListExt00=.out\n";
    ProgramFolder folder(settings.c_str());
    const std::wstring exe = installedProgram(folder);
    Started program;
    start(program, exe, L"\"" + test::wide(folder.dir.file("clip.avi")) + L"\"");
    HWND form = waitForForm(program);
    HWND panel = FindWindowExW(form, nullptr, L"Mirvane.Panel", nullptr);
    HWND startButton = FindWindowExW(panel, nullptr, WC_BUTTONW, nullptr);
    if (!startButton) {
        std::fprintf(stderr, "no start button\n");
        return;
    }
    Sleep(500);
    PostMessageW(startButton, BM_CLICK, 0, 0);
    Sleep(1500);
    const double processBefore = processCpu(program.info.dwProcessId);
    const double uiBefore = threadCpu(program.info.hThread);
    const auto from = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(wallSeconds - 3));
    const double processUsed = processCpu(program.info.dwProcessId) - processBefore;
    const double uiUsed = threadCpu(program.info.hThread) - uiBefore;
    const double wall = seconds(Clock::now() - from);
    const double updates = 2 * wall;
    const double share = processUsed / wall;
    printRow("whole program CPU per wall second, fake encoder, " + std::to_string(wallSeconds) + " s",
             format("%.4f", share), "<= 0.002", share <= 0.002);
    printRow("UI thread per progress update", format("%.3f ms", uiUsed * 1000 / updates), "<= 0.3 ms",
             uiUsed * 1000 / updates <= 0.3);
}

// The gauge's own part of a progress update: a new whole percentage,
// composed and copied to the screen, on the UI thread.
void gauge() {
    ProgramFolder folder;
    Form form(folder);
    PercentGauge& shown = form.window->gauge();
    constexpr int kRepaints = 2000;
    const int paintsBefore = shown.paintCount();
    const auto before = Clock::now();
    for (int i = 0; i < kRepaints; ++i) shown.setProgress(1 + i % 99);
    const double each = seconds(Clock::now() - before) / kRepaints;
    printRow("gauge repaint for a new percentage", format("%.3f ms", each * 1000), "-",
             shown.paintCount() - paintsBefore == kRepaints);
}

// From the drop message until the list has painted the new rows.
void drop() {
    for (int count : {10000, 100000}) {
        std::vector<double> times;
        for (int run = 0; run < 3; ++run) {
            ProgramFolder folder;
            Form form(folder);
            std::vector<std::wstring> paths;
            paths.reserve(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i)
                paths.push_back(L"C:\\Users\\yuki\\Videos\\holiday " + std::to_wstring(i / 100) + L"\\clip_" +
                                std::to_wstring(i) + L".mp4");
            HDROP files = test::makeDrop(paths);
            const auto before = Clock::now();
            SendMessageW(form.window->handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(files), 0);
            UpdateWindow(form.controls().jobList);
            times.push_back(seconds(Clock::now() - before));
            if (form.rowCount() != count) std::fprintf(stderr, "%d rows\n", form.rowCount());
        }
        const double goal = count == 10000 ? 0.2 : 2.0;
        printRow("drop of " + std::to_string(count) + " files until painted (median of 3)",
                 format("%.3f s", median(times)), format("<= %.1f s", goal), median(times) <= goal);
    }
}

std::function<void()> g_onTick;
void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_onTick) g_onTick();
}

// From the stop button's press to the batch's end.
void stop() {
    std::vector<double> latencies;
    for (int run = 0; run < 5; ++run) {
        ProgramFolder folder(
            "[List]\nListTitle00=Long\nListOption00=progress:1000:500 -i %INPFILE "
            "%OUTFILE\nListExt00=.out\n");
        Form form(folder, {folder.dir.file("clip.avi")});
        Clock::time_point pressed{};
        const auto started = Clock::now();
        g_onTick = [&] {
            if (pressed != Clock::time_point{} || Clock::now() - started < 1300ms) return;
            pressed = Clock::now();
            SendMessageW(form.controls().startButton, BM_CLICK, 0, 0);
        };
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, &tick);
        SendMessageW(form.controls().startButton, BM_CLICK, 0, 0);
        latencies.push_back(seconds(Clock::now() - pressed));
        KillTimer(nullptr, timer);
        g_onTick = nullptr;
    }
    const double worst = *std::max_element(latencies.begin(), latencies.end());
    printRow("stop latency, progress every 0.5 s (worst of 5)", format("%.3f s", worst), "<= 0.6 s",
             worst <= 0.6);
}

}  // namespace
}  // namespace mirvane::win32::bench

int main(int argc, char** argv) {
    using namespace mirvane::win32::bench;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                        ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "startup") {
        startup();
    } else if (mode == "cpu") {
        cpu(argc > 2 ? std::atoi(argv[2]) : 60);
    } else if (mode == "gauge") {
        gauge();
    } else if (mode == "drop") {
        drop();
    } else if (mode == "stop") {
        stop();
    } else {
        std::fprintf(stderr, "usage: %s startup | cpu [SECONDS] | gauge | drop | stop\n", argv[0]);
        return 2;
    }
    return 0;
}
