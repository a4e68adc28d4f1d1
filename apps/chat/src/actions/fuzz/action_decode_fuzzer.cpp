// Decodes arbitrary bytes as a chat action and as a chat operation. Whatever
// decodes must encode to a text that decodes to the same record and encodes
// to the same text again.

#include "actions/action_json.h"

#include <cstdint>
#include <cstdlib>

namespace {

template <typename T> void check_round_trip(std::string_view text) {
    auto decoded = chat::decode_json<T>(text);
    if (!decoded)
        return;
    std::string encoded = chat::encode_json(*decoded);
    auto again = chat::decode_json<T>(encoded);
    if (!again || !(*again == *decoded) || chat::encode_json(*again) != encoded)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    check_round_trip<chat::ChatAction>(text);
    check_round_trip<chat::ChatOperation>(text);
    (void)chat::decode_operation("chat.operation", text);
    return 0;
}
