#include "storage/text_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

// `convert` into a buffer of `size` bytes, which must not be written beyond.
static std::string through(void (*convert)(const char*, char*, unsigned), const std::string& input, unsigned size)
{
    std::string buffer(kEncodedSize + 8, '#');
    convert(input.c_str(), &buffer[0], size);
    EXPECT_EQ(buffer.find_first_not_of('#', size), std::string::npos) << "written beyond " << size;
    return buffer.substr(0, std::min<std::size_t>(buffer.find('\0'), size));
}
static std::string encoded(const std::string& in, unsigned n = kEncodedSize) { return through(encodeText, in, n); }
static std::string decoded(const std::string& in, unsigned n = kEncodedSize) { return through(decodeText, in, n); }

TEST(TextEncoding, EncodesAndDecodesTheExamplesOddValuesAndEveryByteWithinTheirBuffers)
{
    for (const auto& [text, value] : {std::pair<const char*, const char*>{"", "=="}, {"a", "YQ=="}, {"ab", "YWI=="},
                                      {"abc", "YWJj=="}, {"abcd", "YWJjZA=="}, {"\xfb\xff\xbf", "+/+/=="}})
        EXPECT_EQ(encoded(text) + " decodes to " + decoded(value), value + (" decodes to " + std::string(text)));
    const char* const kDecodedOnly[][2] = {
        // Standard Base64, padded or not; one character makes no byte; leftover bits are dropped.
        {"YWI=", "ab"}, {"YWJj", "abc"}, {"YWJjZA", "abcd"}, {"Y", ""}, {"", ""}, {"YWJjZ", "abc"}, {"YWJjZB", "abcd"},
        // Only the last two positions are padding, the earlier first; an inner "=" counts as 61.
        {"YQ=A", "a"}, {"A==", ""}, {"Y=Q=", "\x63\xd4"}, {"Y=QQ", "\x63\xd4\x10"}, {"Y=Q", ""},
        // Characters outside the alphabet count as 61, as "9" does.
        {"\xc3\xa9", "\xf7"}, {" 9", "\xf7"}, {"-_", "\xf7"},
    };
    for (const auto& [value, text] : kDecodedOnly)
        EXPECT_EQ(decoded(value), text) << value;
    const std::string longest = "\xff" + std::string(445, 'Z') + "\x01";
    EXPECT_EQ(decoded(encoded(longest + "!")), longest);
    EXPECT_EQ(encoded("abcdefgh", 10), "YWJjZGU==");  // 7 characters hold 5 bytes
    EXPECT_EQ(encoded("abc", 3) + encoded("abc", 2) + encoded("abc", 0), "==");
    EXPECT_EQ(decoded(std::string(800, '/')), std::string(449, '\xff'));  // 599 characters looked at
    EXPECT_EQ(decoded("YWJj", 3) + decoded("YWJj", 1) + decoded("YWJj", 0), "ab");
    for (int value = 1; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        for (const std::string& text : {byte, "x" + byte, "xy" + byte})
            ASSERT_EQ(decoded(encoded(text)), text) << "byte " << value;
    }
}
