// Any bytes as a hand-over message's body, as a listener may receive them
// from a misbehaving sender: decoding never fails badly, and what it accepts
// is exactly what encoding those files gives back, so no two messages mean
// the same list and nothing is read past the end.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/formats/hand_over_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto files = mirvane::DecodeHandOverBody(body);
    if (!files) return 0;
    const auto message = mirvane::EncodeHandOver(*files);
    if (!message || message->substr(mirvane::kHandOverHeaderSize) != body) std::abort();
    if (mirvane::HandOverBodySize(message->substr(0, mirvane::kHandOverHeaderSize)) != size) std::abort();
    return 0;
}
