#include "storage/connection_log.h"
#include "storage/custom_daemon_file.h"
#include "storage/settings_file.h"
#include "storage/text_encoding.h"

#include "fakes/front_end_fake.h"
#include "support/scratch_folder.h"
#include "support/scripts.h"

#include <gtest/gtest.h>

#include <ctime>
#include <regex>

// `text` with every LF made CR LF, as the program ends its lines.
static std::string crlf(const std::string& text) { return std::regex_replace(text, std::regex("\n"), "\r\n"); }
static std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    return text.replace(text.find(from), from.size(), to);
}

const std::string kScriptLines =
    "CRN=2\nCPN=23\nCWE=SGVsbG8NCkxvZ2luOiA==\nCR1=TmFtZTog==\nCR2=QnllLg0K==\nCCT=1\nCE1=1\nCE2=0\nCWR=1\n";
const std::string kSettings =
    "[Velmoranth Settings v1.9]\nLSN=0\nMDN=5\nMLD=1\nMLP=QzpcbG9nc1xoaXRzLmxvZw==\n" + kScriptLines;
const std::string kCustom = "[Velmoranth Custom Protocol v1.9]\n" + kScriptLines;
const std::string kTexts = "Hello\r\nLogin: |Name: |Bye.\r\n|", kUnset = "w?|r?|g?|-1 -2 -3 -4 -5 -6";
const std::string kLoaded = "0 5 1|C:\\logs\\hits.log|" + kTexts + "2 23 1 1 0 1", kNotLoaded = "-7 -8 -9|p?|" + kUnset;

// A reader's case: what the file "f" holds (or the text to convert), what the reader makes of it, and the size of the
// buffer a text is converted into.
struct ReaderCase {
    std::string (*read)(const ReaderCase& c, const ScratchFolder& folder);
    std::string bytes, expected;
    unsigned size = kEncodedSize;
};

static std::string settings(const ReaderCase&, const ScratchFolder& folder)  // "LSN MDN MLD|path|script"
{
    std::int32_t lsn = -7, mdn = -8, mld = -9;  // values no line of a file gives
    char mlp[kPathSize] = "p?";
    DaemonScript custom = scriptWith("w?", "r?", "g?", -1, -2, -3, -4, -5, -6);
    loadSettings(lsn, mdn, mld, mlp, custom, folder.path("f").c_str());
    return std::to_string(lsn) + " " + std::to_string(mdn) + " " + std::to_string(mld) + "|" + mlp + "|" +
           describe(custom);
}

static std::string customFile(const ReaderCase&, const ScratchFolder& folder)  // "notice version|script"
{
    DaemonScript script = scriptWith("w?", "r?", "g?", -1, -2, -3, -4, -5, -6);
    CustomFileVersion version = static_cast<CustomFileVersion>(3);
    const int notice = customFileNoticeCode(readCustomDaemonFile(folder.path("f").c_str(), script, version));
    return std::to_string(notice) + " " + std::to_string(version) + "|" + describe(script);
}

static std::string upgraded(const ReaderCase&, const ScratchFolder& folder)  // the file, alone in its folder
{
    EXPECT_EQ(upgradeSettingsFile(folder.path("f").c_str()) + folder.count(), 2);
    return folder.read("f");
}

static std::string logRows(const ReaderCase&, const ScratchFolder& folder)  // "ROW address|port|date|time" lines
{
    ConnectionLogReader log;
    EXPECT_EQ(connectionLogOpen(log, folder.path("f").c_str()), 1);
    std::string rows;
    for (int row = 0; connectionLogNextRow(log); ++row)
        rows += std::to_string(row) + " " + log.row.address + "|" + log.row.port + "|" + log.row.date + "|" +
                log.row.time + "\n";
    connectionLogClose(log);
    return rows;
}

// The text as converted into `size` bytes, which must not be written beyond.
static std::string through(void (*convert)(const char*, char*, unsigned), const std::string& input, unsigned size)
{
    std::string buffer(kEncodedSize + 8, '#');
    convert(input.c_str(), &buffer[0], size);
    EXPECT_EQ(buffer.find_first_not_of('#', size), std::string::npos) << "written beyond " << size;
    return buffer.substr(0, std::min<std::size_t>(buffer.find('\0'), size));
}
static std::string encoded(const ReaderCase& c, const ScratchFolder&) { return through(encodeText, c.bytes, c.size); }
static std::string decoded(const ReaderCase& c, const ScratchFolder&) { return through(decodeText, c.bytes, c.size); }

TEST(Storage, EachReaderTakesWhatItsFilesMayHold)
{
    const std::string v18 = replaced(replaced(kCustom, "v1.9", "v1.8"), "CWR=1\n", ""), a400(400, 'A'), a299(299, 'A');
    const std::string s18 = "[Velmoranth Settings v1.8]\n", s19 = "[Velmoranth Settings v1.9]\n";
    const ReaderCase kCases[] = {
        // Keys in order: blanks may lead a number, its digits end it, and past 32 bits it is held at the limit;
        // a line that does not match its key (or only starts like it) keeps the value and is left for the next key.
        {settings, crlf(kSettings), kLoaded},
        {settings, replaced(kSettings, "LSN=0\n", "LSN=\t0"), kLoaded},
        {settings, replaced(kSettings, "[Velmoranth Settings v1.9]", std::string(2000, 'h')), kLoaded},
        {settings, replaced(kSettings, "MDN=5", "MDN=-"), replaced(kNotLoaded, "-7", "0")},
        {settings, replaced(kSettings, "MDN=5\nMLD=1", "MDN=-21474836470\nMLD=+99999999999"),
         replaced(kLoaded, "0 5 1", "0 -2147483648 2147483647")},
        {settings, replaced(kSettings, "CR1=TmFtZTog==\n", ""), replaced(kLoaded, "Name: ", "r?")},
        {settings, replaced(kSettings, "CE1=1\n", ""), replaced(kLoaded, "1 1 0 1", "1 -4 0 1")},
        {settings, replaced(kSettings, "QzpcbG9nc1xoaXRzLmxvZw==", std::string(2000, '/')),
         replaced(kLoaded, "C:\\logs\\hits.log", std::string(299, '\xff'))},
        // Older layouts are rewritten one token a line (cut to 299 bytes; Ctrl-Z ends a file), others left alone.
        {upgraded, "[Velmoranth Settings]\r\n\r\n  LSN=1   MDN=2\r\n\t\vMLD=1",
         crlf(s19 + "LSN=1\nMDN=2\nMLD=1\nCCT=0\nCE1=0\nCE2=0\nCWR=0\n")},
        {upgraded, crlf(s18 + "CCT=0\nCE1=1\n"), crlf(s19 + "CCT=0\nCE1=1\nCWR=0\n")},
        {upgraded, s18 + "CWE=" + std::string(999, 'B') + "\nCCT=4\x1a\nCE2=1\n",
         crlf(s19 + "CWE=" + std::string(295, 'B') + "\nCCT=4\nCWR=1\n")},
        {upgraded, "[Velmoranth Settings]" + std::string(2000, ' ') + "x\r\nLSN=1\r\n",
         "[Velmoranth Settings]" + std::string(2000, ' ') + "x\r\nLSN=1\r\n"},
        {upgraded, kSettings, kSettings},
        {upgraded, "", ""},
        // Each layout by its header; the lines after it are read as in the settings file.
        {customFile, kCustom, "0 0|" + kTexts + "2 23 1 1 0 1"},
        {customFile, replaced(kCustom, " v1.9", ""), "0 1|" + kTexts + "2 23 0 0 0 0"},
        {customFile, replaced(v18, "CCT=1", "CCT=3"), "0 2|" + kTexts + "2 23 3 1 0 1"},
        {customFile, crlf(replaced(v18, "CCT=1", "CCT=0")), "0 2|" + kTexts + "2 23 0 1 0 0"},
        {customFile, replaced(kCustom, "v1.9]", "v1.9]\x1a"), "0 0|" + kUnset},
        {customFile, "", "11 3|" + kUnset},
        {customFile, replaced(kCustom, "v1.9", "v2.0"), "11 3|" + kUnset},
        // ":" belongs to the token it touches; a row that stops short keeps the fields of the row before, and the
        // next row starts where the match stopped. Tokens are cut to 299 bytes.
        {logRows, "", ""},
        {logRows, "3:4/d/t\r\n\n1.1.1.1 :23 / 01.01.2026 / 10:00\n\nbroken\r\n2.2.2.2 :24 / 02.02.2026\r\n"
                  "3.3.3.3\n:\n80\r\n/\nd\n/\nt \t\v\f\r\n",
         "0 3:4/d/t|||\n1 1.1.1.1|23|01.01.2026|10:00\n2 broken|23|01.01.2026|10:00\n3 2.2.2.2|24|02.02.2026|10:00\n"
         "4 3.3.3.3|80|d|t\n"},
        {logRows, a400 + " :23 / d / t\r\n5.5.5.5 :" + a400 + " / d / " + a299 + "\x1a\r\n6.6.6.6 :1 / d / t\r\n",
         "0 " + a299 + "|23|d|t\n1 5.5.5.5|" + a299 + "|d|" + a299 + "\n"},
        // Values carry the bits of their text and "==" always; 7 characters hold 5 bytes.
        // Standard Base64 decodes, padded or not; one character makes no byte; leftover bits are dropped. Only the
        // last two positions are padding, the earlier first; an inner "=" counts as 61, as does any other character.
        {encoded, "", "=="}, {encoded, "a", "YQ=="}, {encoded, "ab", "YWI=="}, {encoded, "abc", "YWJj=="},
        {encoded, "abcd", "YWJjZA=="}, {encoded, "\xfb\xff\xbf", "+/+/=="}, {encoded, "abcdefgh", "YWJjZGU==", 10},
        {encoded, "abc", "==", 3}, {encoded, "abc", "", 2}, {encoded, "abc", "", 0}, {decoded, "YWJj", "ab", 3},
        {decoded, "YWJj", "", 1}, {decoded, "YWJj", "", 0}, {decoded, std::string(800, '/'), std::string(449, '\xff')},
        {decoded, "==", ""}, {decoded, "YWI=", "ab"}, {decoded, "YWJj", "abc"}, {decoded, "YWJjZA", "abcd"},
        {decoded, "Y", ""}, {decoded, "YWJjZ", "abc"}, {decoded, "YWJjZB", "abcd"},
        {decoded, "YQ=A", "a"}, {decoded, "A==", ""}, {decoded, "Y=Q=", "\x63\xd4"}, {decoded, "Y=QQ", "\x63\xd4\x10"},
        {decoded, "Y=Q", ""}, {decoded, "\xc3\xa9", "\xf7"}, {decoded, " 9", "\xf7"}, {decoded, "-_", "\xf7"},
    };
    ScratchFolder folder;
    EXPECT_EQ(settings({}, folder) + " " + customFile({}, folder), kNotLoaded + " 10 3|" + kUnset);
    ConnectionLogReader missing;
    EXPECT_EQ(upgradeSettingsFile(folder.path("f").c_str()) + connectionLogOpen(missing, folder.path("f").c_str()), 0);
    for (const ReaderCase& c : kCases) {
        folder.write("f", c.bytes);
        EXPECT_EQ(c.read(c, folder), c.expected) << c.bytes;
    }
    folder.write("velmo.tmp", "precious");  // not the upgrade's to overwrite: the old file waits
    folder.write("f", s18);
    EXPECT_EQ(upgradeSettingsFile(folder.path("f").c_str()), 1);
    EXPECT_EQ(folder.read("f") + folder.read("velmo.tmp"), s18 + "precious");
}

// A save goes through a scratch file of its own: a taken name is never written, and a failed write leaves no file.
TEST(Storage, WritersSaveTheCurrentLayoutsByteForByte)
{
    ScratchFolder folder;
    const std::string sav = folder.path("velmo.sav"), vlm = folder.path("mine.vlm"), log = folder.path("calls.log");
    const DaemonScript example = scriptWith("Hello\r\nLogin: ", "Name: ", "Bye.\r\n", 2, 23, 1, 1, 0, 1);
    folder.write("velmo.sav.tmp", "precious");
    folder.write("mine.vlm.tmp", "precious");
    std::filesystem::create_directory(folder.path("dir.vlm"));
    saveSettings(0, 5, 1, "C:\\logs\\hits.log", example, sav.c_str());
    EXPECT_EQ(writeCustomDaemonFile(folder.path("no such folder/mine.vlm").c_str(), example), 0);
    EXPECT_EQ(writeCustomDaemonFile(folder.path("dir.vlm").c_str(), example), 0);
    EXPECT_EQ(writeCustomDaemonFile(vlm.c_str(), example), 1);
    EXPECT_EQ(appendConnectionLog(folder.path("no such folder/calls.log").c_str(), "127.0.0.1", 23), 0);
    EXPECT_EQ(appendConnectionLogAt(log.c_str(), "10.0.0.7", -1, {2026, 3, 5, 9, 7}), 1);
    EXPECT_EQ(folder.read("velmo.sav") + folder.read("mine.vlm") + folder.read("calls.log"),
              crlf(kSettings + kCustom + "10.0.0.7 :-1 / 05.03.2026 / 09:07\n"));
    EXPECT_EQ(folder.read("velmo.sav.tmp") + folder.read("mine.vlm.tmp"), "preciousprecious");
    EXPECT_EQ(folder.count(), 6);

    auto recordNow = [r = std::string(64, '\0')]() mutable {  // the record of a call now, from the local time
        const std::time_t now = std::time(nullptr);
        return r.substr(0, std::strftime(&r[0], 64, "127.0.0.1 :23 / %d.%m.%Y / %H:%M\r\n", std::localtime(&now)));
    };
    const std::string before = recordNow();
    EXPECT_EQ(appendConnectionLog(log.c_str(), "127.0.0.1", 23), 1);
    const std::string written = folder.read("calls.log").substr(35);
    EXPECT_TRUE(written == before || written == recordNow()) << written;
}
