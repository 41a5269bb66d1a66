// Stands in for the whole program in the Windows tests of what outlives it:
// starts the encoder named by its first argument with the command line in
// its second, the way the engine does, and reads its output until the end or
// until the test kills this process. With "--instance NAME" it instead asks
// for the single-instance lock and prints "running", "free" or the failure.

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "engine/platform/process.h"
#include "engine/platform/single_instance.h"

namespace {

std::string toUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (count < 3) return 2;
    const std::string first = toUtf8(arguments[1]);
    const std::string second = toUtf8(arguments[2]);
    const bool onWorkerThread = count > 3 && toUtf8(arguments[3]) == "--worker";
    LocalFree(arguments);

    if (first == "--instance") {
        const mirvane::platform::InstanceCheck check = mirvane::platform::IsAlreadyRunning(second);
        std::printf("%s\n", !check.failure.empty() ? check.failure.c_str()
                            : check.alreadyRunning ? "running"
                                                   : "free");
        return 0;
    }
    auto run = [&] {
        mirvane::platform::EncoderProcess encoder;
        if (encoder.start(first, second)) std::exit(1);
        encoder.closeWriteEnd();
        char buffer[2048];
        while (encoder.read(buffer, sizeof buffer) > 0) {
        }
        encoder.close();
    };
    if (onWorkerThread) {
        std::thread(run).join();
    } else {
        run();
    }
    return 0;
}
