// Any bytes as a settings file: reading never fails, every value keeps to the
// size limit, and a file of valid UTF-8 only ever gives valid UTF-8 values
// (a cut never falls inside a character); a UTF-16 file, however broken,
// decodes to valid UTF-8.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/settings/profile_reader.h"

namespace {

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view content(reinterpret_cast<const char*>(data), size);
    const std::string decoded = mirvane::DecodeSettingsText(std::string(content));
    if ((content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF")) && !isValidUtf8(decoded))
        std::abort();
    const bool validContent = isValidUtf8(content);
    mirvane::ProfileFile profile = mirvane::ProfileFile::parse(content);
    for (const char* section : {"List", "DirectShow", "", "list", "a"}) {
        for (const char* key : {"ListTitle00", "fps", "ListOption00", "a", ""}) {
            std::string value = profile.value(section, key);
            if (value.size() > mirvane::kMaxProfileValue) std::abort();
            if (validContent && !isValidUtf8(value)) std::abort();
        }
    }
    return 0;
}
