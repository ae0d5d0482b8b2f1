// Any value decoded into both destination sizes; what comes out must survive
// being encoded and decoded again, cut to what the encoder keeps.
#include "storage/text_encoding.h"

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    char path[300], text[kEncodedSize], encoded[kEncodedSize], back[kEncodedSize];
    decodeText(std::string(reinterpret_cast<const char*>(data), size).c_str(), path, sizeof path);
    decodeText(std::string(reinterpret_cast<const char*>(data), size).c_str(), text, sizeof text);
    const std::size_t length = std::strlen(text), kept = length < 447 ? length : 447;
    assert(std::strlen(path) < sizeof path && length <= 449 && std::strncmp(path, text, sizeof path - 1) == 0);
    encodeText(text, encoded, sizeof encoded);
    assert(std::strlen(encoded) == (kept * 8 + 5) / 6 + 2);
    decodeText(encoded, back, sizeof back);
    assert(std::strlen(back) == kept && std::memcmp(back, text, kept) == 0);
    return 0;
}
