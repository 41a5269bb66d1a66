// Prints each of its arguments followed by a NUL byte, so that tests can see
// exactly how a command line was split, blanks and quotes included.

#include <cstring>

#include <unistd.h>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* data = argv[i];
        std::size_t left = std::strlen(data) + 1;
        while (left > 0) {
            const ssize_t written = ::write(STDOUT_FILENO, data, left);
            if (written <= 0) return 1;
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }
    return 0;
}
