// Arbitrary encoder text in arbitrary chunks: the scanner never counts a
// marker more often than the text holds it, and never reports a negative time.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/encoding/output_scanner.h"

namespace {

int occurrences(std::string_view text, std::string_view marker) {
    int count = 0;
    for (auto at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + 1)) ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte of each piece says how long the chunk after it is.
    std::string_view input(reinterpret_cast<const char*>(data), size);
    mirvane::OutputScanner scanner;
    std::string stream;
    int durations = 0, positions = 0, completions = 0;
    while (!input.empty()) {
        std::size_t length = static_cast<unsigned char>(input[0]) % 64 + 1;
        input.remove_prefix(1);
        std::string_view chunk = input.substr(0, length);
        input.remove_prefix(chunk.size());
        stream.append(chunk);

        mirvane::ChunkMarkers markers = scanner.scan(chunk);
        if (markers.duration) {
            ++durations;
            if (*markers.duration < 0) std::abort();
        }
        if (markers.position) {
            ++positions;
            if (*markers.position < 0) std::abort();
        }
        completions += markers.completed;
    }
    if (durations > occurrences(stream, "Duration: ") || positions > occurrences(stream, "time=") ||
        completions > occurrences(stream, "video:")) {
        std::abort();
    }
    return 0;
}
