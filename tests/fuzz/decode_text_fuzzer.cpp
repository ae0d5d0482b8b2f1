// Decodes any value into both destination sizes, and checks that what comes
// out survives being encoded and decoded again (cut to what the encoder keeps).
#include "storage/text_encoding.h"

#include "fuzz_check.h"

#include <cstdint>
#include <cstring>

namespace {

enum { kMaxInput = 2048, kEncoderLimit = 447 };

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > kMaxInput)
        return 0;
    char value[kMaxInput + 1];
    std::memcpy(value, data, size);
    value[size] = '\0';

    char path[300];
    decodeText(value, path, sizeof path);
    check(std::strlen(path) < sizeof path);

    char text[kEncodedSize];
    decodeText(value, text, sizeof text);
    std::size_t length = std::strlen(text);
    check(length <= 449);
    check(std::strncmp(path, text, sizeof path - 1) == 0);

    char encoded[kEncodedSize];
    encodeText(text, encoded, sizeof encoded);
    std::size_t kept = length < kEncoderLimit ? length : kEncoderLimit;
    check(std::strlen(encoded) == (kept * 8 + 5) / 6 + 2);

    char back[kEncodedSize];
    decodeText(encoded, back, sizeof back);
    check(std::strlen(back) == kept && std::memcmp(back, text, kept) == 0);
    return 0;
}
