// Any bytes as a hand-over message, as a listener may receive them from a
// misbehaving sender, read in the pieces the reader asks for: reading never
// fails badly, and a list it accepts is exactly what encoding those files
// gives back, so no two messages mean the same list and nothing is read past
// the message's end.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/formats/hand_over_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view message(reinterpret_cast<const char*>(data), size);
    std::string_view rest = message;
    mirvane::HandOverReader reader;
    while (reader.state() == mirvane::HandOverReader::State::Reading && !rest.empty()) {
        const std::size_t piece = std::min(reader.wanted(), rest.size());
        reader.take(rest.substr(0, piece));
        rest.remove_prefix(piece);
    }
    if (reader.state() != mirvane::HandOverReader::State::Done) return 0;
    const auto again = mirvane::EncodeHandOver(reader.takeFiles());
    if (!again || *again != message.substr(0, size - rest.size())) std::abort();
    return 0;
}
