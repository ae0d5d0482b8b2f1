#include "storage/text_encoding.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace {

std::string encoded(const std::string& text, unsigned size = kEncodedSize)
{
    char buffer[kEncodedSize + 16];
    std::memset(buffer, '#', sizeof buffer);
    encodeText(text.c_str(), buffer, size);
    return buffer;
}

std::string decoded(const std::string& value, unsigned size = kEncodedSize)
{
    char buffer[kEncodedSize + 16];
    std::memset(buffer, '#', sizeof buffer);
    decodeText(value.c_str(), buffer, size);
    return buffer;
}

} // namespace

// --- The encoding table ----------------------------------------------------------

// Texts and their stored values: the documented examples, the settings
// example's values, and high bytes that use the whole alphabet.
const std::pair<const char*, const char*> kEncodings[] = {
    {"", "=="},
    {"a", "YQ=="},
    {"ab", "YWI=="},
    {"abc", "YWJj=="},
    {"abcd", "YWJjZA=="},
    {"C:\\logs\\hits.log", "QzpcbG9nc1xoaXRzLmxvZw=="},
    {"Hello\r\nLogin: ", "SGVsbG8NCkxvZ2luOiA=="},
    {"Name: ", "TmFtZTog=="},
    {"Bye.\r\n", "QnllLg0K=="},
    {"\xff\xfe", "//4=="},
    {"\x80", "gA=="},
    {"\xfb\xff\xbf", "+/+/=="},
};

TEST(TextEncodingTable, EncodesAndDecodesEveryExample)
{
    for (const auto& [text, value] : kEncodings) {
        EXPECT_EQ(encoded(text), value);
        EXPECT_EQ(decoded(value), text);
    }
}

// Values the encoder never writes, and the texts they decode to.
const std::pair<const char*, const char*> kOddValues[] = {
    // Standard Base64, with or without padding.
    {"YWI=", "ab"},
    {"YWJj", "abc"},
    {"YWJjZA", "abcd"},
    {"SGVsbG8sIHdvcmxkIQ==", "Hello, world!"},
    {"+/+/", "\xfb\xff\xbf"},
    // One character makes no byte.
    {"Y", ""},
    {"=", ""},
    {"", ""},
    // An "=" before the last character cuts the value there.
    {"YQ=A", "a"},
    {"A==", ""},
    // Only the last two positions are padding: the inner "=" counts as 61.
    {"Y=Q=", "\x63\xd4"},
    {"Y=QQ", "\x63\xd4\x10"},
    {"Y=Q", ""},
    // Characters outside the alphabet count as 61, as "9" does.
    {"\xc3\xa9", "\xf7"},
    {" 9", "\xf7"},
    {"-_", "\xf7"},
    {"99", "\xf7"},
    // Leftover bits are ignored.
    {"YWJjZ", "abc"},
    {"YWJjZB", "abcd"},
};

TEST(TextEncodingTable, DecodesOddValues)
{
    for (const auto& [value, text] : kOddValues)
        EXPECT_EQ(decoded(value), text) << value;
}

// --- Round trips ---------------------------------------------------------------

TEST(TextEncodingRoundTrip, EveryByteValueAtEveryAlignment)
{
    for (int value = 1; value < 256; ++value) {
        std::string byte(1, static_cast<char>(value));
        for (const std::string& text : {byte, "x" + byte, "xy" + byte, byte + "xyz"})
            ASSERT_EQ(decoded(encoded(text)), text) << "byte " << value;
    }
}

TEST(TextEncodingRoundTrip, LineBreaksBlanksAndTabsGiveOneBlankFreeToken)
{
    std::string text = "Welcome \t to\r\nthe  host\r\n\r\nLogin: ";
    std::string value = encoded(text);
    EXPECT_EQ(value.find_first_of(" \t\r\n"), std::string::npos);
    EXPECT_EQ(decoded(value), text);
}

TEST(TextEncodingRoundTrip, ThreeHundredBytesOfEveryValueTake402Characters)
{
    std::string text;
    for (int b = 1; b < 256; ++b)
        text += static_cast<char>(b);
    text += std::string(45, '\xe9');
    ASSERT_EQ(text.size(), 300u);
    std::string value = encoded(text);
    EXPECT_EQ(value.size(), 402u);
    EXPECT_EQ(value.substr(400), "==");
    EXPECT_EQ(decoded(value), text);
}

TEST(TextEncodingRoundTrip, LengthIsAlwaysWholeCharactersPlusTwo)
{
    for (int n = 0; n <= 447; ++n) {
        std::string text(n, 'q');
        ASSERT_EQ(encoded(text).size(), static_cast<size_t>((8 * n + 5) / 6 + 2)) << n;
    }
}

// --- Bounds --------------------------------------------------------------------

TEST(TextEncodingBounds, A447ByteTextFitsWholeAndA448ByteTextIsCutTo447)
{
    std::string text(447, 'Z');
    text[0] = '\xff';
    text[446] = '\x01';
    std::string value = encoded(text);
    EXPECT_EQ(value.size(), 598u);
    EXPECT_EQ(decoded(value), text);
    EXPECT_EQ(encoded(text + "!"), value);
}

TEST(TextEncodingBounds, TextsAreCutToFitSmallBuffers)
{
    // 10 bytes leave 7 characters: 5 bytes need exactly 7.
    EXPECT_EQ(encoded("abcdefgh", 10), "YWJjZGU==");
    EXPECT_EQ(encoded("abc", 3), "==");
    EXPECT_EQ(encoded("abc", 2), "");
    EXPECT_EQ(decoded(encoded(std::string(400, 'p')), 300), std::string(299, 'p'));
    EXPECT_EQ(decoded("YWJj", 3), "ab");
    EXPECT_EQ(decoded("YWJj", 1), "");
    char buffer[4] = "xyz";  // nothing is written into a zero-sized buffer
    encodeText("abc", buffer, 0);
    decodeText("YWJj", buffer, 0);
    EXPECT_STREQ(buffer, "xyz");
}

TEST(TextEncodingBounds, OnlyTheFirst599CharactersAreLookedAt)
{
    std::string value = std::string(800, 'Q') + "==";
    std::string expected = decoded(std::string(599, 'Q'));
    EXPECT_EQ(expected.size(), 449u);
    EXPECT_EQ(decoded(value), expected);
}

TEST(TextEncodingBounds, UnterminatedInputIsReadNoFurtherThanNeeded)
{
    // Exactly as long as each side can use, with no terminator after it.
    std::unique_ptr<char[]> text(new char[447]);
    std::memset(text.get(), 'u', 447);
    char value[kEncodedSize];
    encodeText(text.get(), value, sizeof value);
    EXPECT_EQ(std::strlen(value), 598u);

    std::unique_ptr<char[]> longValue(new char[599]);
    std::memset(longValue.get(), 'Q', 599);
    char decodedText[kEncodedSize];
    decodeText(longValue.get(), decodedText, sizeof decodedText);
    EXPECT_EQ(std::strlen(decodedText), 449u);
}

// --- No files ------------------------------------------------------------------

TEST(TextEncodingFiles, LeavesNoFileInTheWorkingDirectory)
{
    ScratchFolder folder;
    WorkingDirectory inside(folder.folder());
    EXPECT_EQ(decoded(encoded("Hello\r\nLogin: ")), "Hello\r\nLogin: ");
    EXPECT_TRUE(folder.names().empty());
}
