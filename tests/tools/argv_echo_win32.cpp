// Prints each of its arguments followed by a NUL byte, so that tests can see
// exactly how a command line was split, blanks and quotes included. The
// arguments are the system's own split of the wide command line, written as
// UTF-8, so that a name outside the ANSI code page can be compared.

#include <windows.h>

#include <string>

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return 1;
    std::string text;
    for (int i = 1; i < count; ++i) {
        const int length = WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(static_cast<std::size_t>(length), '\0');  // with its NUL
        WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, argument.data(), length, nullptr, nullptr);
        text += argument;
    }
    LocalFree(arguments);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const char* data = text.data();
    DWORD left = static_cast<DWORD>(text.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(output, data, left, &written, nullptr) || written == 0) return 1;
        data += written;
        left -= written;
    }
    return 0;
}
