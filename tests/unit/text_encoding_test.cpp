#include "storage/text_encoding.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

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

std::string bytesFrom(int first, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += static_cast<char>(first + i);
    return text;
}

} // namespace

// --- The documented examples ------------------------------------------------

TEST(TextEncodingTable, EncodesTheDocumentedExamples)
{
    EXPECT_EQ(encoded(""), "==");
    EXPECT_EQ(encoded("a"), "YQ==");
    EXPECT_EQ(encoded("ab"), "YWI==");
    EXPECT_EQ(encoded("abc"), "YWJj==");
    EXPECT_EQ(encoded("abcd"), "YWJjZA==");
}

TEST(TextEncodingTable, DecodesTheDocumentedExamples)
{
    EXPECT_EQ(decoded("=="), "");
    EXPECT_EQ(decoded("YQ=="), "a");
    EXPECT_EQ(decoded("YWI=="), "ab");
    EXPECT_EQ(decoded("YWJj=="), "abc");
    EXPECT_EQ(decoded("YWJjZA=="), "abcd");
}

TEST(TextEncodingTable, AcceptsStandardBase64WithAndWithoutPadding)
{
    EXPECT_EQ(decoded("YWI="), "ab");
    EXPECT_EQ(decoded("YWJj"), "abc");
    EXPECT_EQ(decoded("YWJjZA"), "abcd");
    EXPECT_EQ(decoded("SGVsbG8sIHdvcmxkIQ=="), "Hello, world!");
}

TEST(TextEncodingTable, MatchesTheSettingsExampleValues)
{
    EXPECT_EQ(encoded("C:\\logs\\hits.log"), "QzpcbG9nc1xoaXRzLmxvZw==");
    EXPECT_EQ(encoded("Hello\r\nLogin: "), "SGVsbG8NCkxvZ2luOiA==");
    EXPECT_EQ(encoded("Name: "), "TmFtZTog==");
    EXPECT_EQ(encoded("Bye.\r\n"), "QnllLg0K==");
}

TEST(TextEncodingTable, HighBytesUseTheWholeAlphabet)
{
    EXPECT_EQ(encoded("\xff\xfe"), "//4==");
    EXPECT_EQ(encoded("\x80"), "gA==");
    EXPECT_EQ(encoded("\xfb\xff\xbf"), "+/+/==");
    EXPECT_EQ(decoded("+/+/"), "\xfb\xff\xbf");
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

TEST(TextEncodingRoundTrip, AllByteValuesInOneText)
{
    std::string text = bytesFrom(1, 255);
    EXPECT_EQ(decoded(encoded(text)), text);
}

TEST(TextEncodingRoundTrip, LineBreaksBlanksAndTabsGiveOneBlankFreeToken)
{
    std::string text = "Welcome \t to\r\nthe  host\r\n\r\nLogin: ";
    std::string value = encoded(text);
    EXPECT_EQ(value.find_first_of(" \t\r\n"), std::string::npos);
    EXPECT_EQ(decoded(value), text);
}

TEST(TextEncodingRoundTrip, ThreeHundredByteTextTakes402Characters)
{
    std::string text = bytesFrom(1, 255) + std::string(45, '\xe9');
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

TEST(TextEncodingBounds, A447ByteTextFitsWhole)
{
    std::string text(447, 'Z');
    text[0] = '\xff';
    text[446] = '\x01';
    std::string value = encoded(text);
    EXPECT_EQ(value.size(), 598u);
    EXPECT_EQ(decoded(value), text);
}

TEST(TextEncodingBounds, A448ByteTextIsCutTo447Bytes)
{
    std::string text = std::string(447, 'k') + "!";
    std::string value = encoded(text);
    EXPECT_LE(value.size(), 599u);
    EXPECT_EQ(decoded(value), text.substr(0, 447));
}

TEST(TextEncodingBounds, TheEncoderReadsNoFurtherThanItCanStore)
{
    std::unique_ptr<char[]> text(new char[447]);
    std::memset(text.get(), 'u', 447);
    char value[kEncodedSize];
    encodeText(text.get(), value, sizeof value);
    EXPECT_EQ(std::strlen(value), 598u);
}

TEST(TextEncodingBounds, ALongTextIsCutToFitASmallBuffer)
{
    // 10 bytes leave 7 characters: 5 bytes need exactly 7.
    std::string value = encoded("abcdefgh", 10);
    EXPECT_EQ(value, "YWJjZGU==");
    EXPECT_EQ(encoded("abc", 2), "");
    EXPECT_EQ(encoded("abc", 3), "==");
}

TEST(TextEncodingBounds, NothingIsWrittenIntoAZeroSizedBuffer)
{
    char buffer[4] = "xyz";
    encodeText("abc", buffer, 0);
    decodeText("YWJj", buffer, 0);
    EXPECT_STREQ(buffer, "xyz");
}

TEST(TextEncodingBounds, DecodedTextIsCutToItsDestination)
{
    std::string text(400, 'p');
    EXPECT_EQ(decoded(encoded(text), 300), std::string(299, 'p'));
    EXPECT_EQ(decoded("YWJj", 3), "ab");
    EXPECT_EQ(decoded("YWJj", 1), "");
}

TEST(TextEncodingBounds, OnlyTheFirst599CharactersAreLookedAt)
{
    std::string value = std::string(800, 'Q') + "==";
    std::string expected = decoded(std::string(599, 'Q'));
    EXPECT_EQ(expected.size(), 449u);
    EXPECT_EQ(decoded(value), expected);
}

TEST(TextEncodingBounds, AnUnterminated599CharacterValueIsNotOverrun)
{
    std::unique_ptr<char[]> value(new char[599]);
    std::memset(value.get(), 'Q', 599);
    char text[kEncodedSize];
    decodeText(value.get(), text, sizeof text);
    EXPECT_EQ(std::strlen(text), 449u);
}

// --- Odd values ----------------------------------------------------------------

TEST(TextEncodingOddValues, OneCharacterDecodesToNothing)
{
    EXPECT_EQ(decoded("Y"), "");
    EXPECT_EQ(decoded("="), "");
    EXPECT_EQ(decoded(""), "");
}

TEST(TextEncodingOddValues, EqualsSignBeforeTheLastCharacterCutsTheValueThere)
{
    EXPECT_EQ(decoded("YQ=A"), "a");
    EXPECT_EQ(decoded("A=="), "");
}

TEST(TextEncodingOddValues, OnlyTheLastTwoPositionsArePadding)
{
    // The inner "=" counts as 61, the trailing one is padding.
    EXPECT_EQ(decoded("Y=Q="), "\x63\xd4");
    EXPECT_EQ(decoded("Y=QQ"), "\x63\xd4\x10");
    EXPECT_EQ(decoded("Y=Q"), "");
}

TEST(TextEncodingOddValues, CharactersOutsideTheAlphabetCountAs61)
{
    EXPECT_EQ(decoded("\xc3\xa9"), "\xf7");
    EXPECT_EQ(decoded(" 9"), decoded("99"));
    EXPECT_EQ(decoded("-_"), decoded("99"));
}

TEST(TextEncodingOddValues, LeftoverBitsAreIgnored)
{
    EXPECT_EQ(decoded("YWJjZ"), "abc");
    EXPECT_EQ(decoded("YWJjZB"), "abcd");
}

// --- No files ------------------------------------------------------------------

TEST(TextEncodingFiles, LeavesNoFileInTheWorkingDirectory)
{
    ScratchFolder folder;
    WorkingDirectory inside(folder.folder());
    EXPECT_EQ(decoded(encoded("Hello\r\nLogin: ")), "Hello\r\nLogin: ");
    EXPECT_TRUE(folder.names().empty());
}
