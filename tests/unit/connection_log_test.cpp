#include "storage/connection_log.h"

#include "fakes/front_end_fake.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

ListHandle const kList = reinterpret_cast<ListHandle>(0x4C);

struct Row {
    std::string address, port, date, time;
};

// What the list is told for `rows`: an insert at the next index, then
// sub-items 1, 2, 3 of that same row.
std::vector<std::string> listEvents(const std::vector<Row>& rows)
{
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string n = std::to_string(i);
        texts.insert(texts.end(), {"insert " + n + " " + rows[i].address, "item " + n + " 1 " + rows[i].port,
                                   "item " + n + " 2 " + rows[i].date, "item " + n + " 3 " + rows[i].time});
    }
    return texts;
}

class ConnectionLogTest : public ::testing::Test {
protected:
    std::string path;

    void SetUp() override
    {
        resetFakeFront();
        path = std::string("connection_log_test_") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
        std::remove(path.c_str());
    }
    void TearDown() override { std::remove(path.c_str()); }

    void writeFile(const std::string& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    std::string fileBytes()
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    // Reads the log into a fresh list, which must be shown exactly `rows`.
    void expectRows(const std::vector<Row>& rows)
    {
        resetFakeFront();
        EXPECT_EQ(readConnectionLog(kList, path.c_str()), 1);
        EXPECT_EQ(frontEventTexts(), listEvents(rows));
    }
};

// --- writing -----------------------------------------------------------------

TEST_F(ConnectionLogTest, RecordsAreAppendedZeroPaddedWithASignedPortAndCrLf)
{
    writeFile("1.2.3.4 :1 / 01.01.2025 / 00:00\r\n");
    ASSERT_EQ(appendConnectionLogAt(path.c_str(), "10.0.0.7", 23, {2026, 3, 5, 9, 7}), 1);
    appendConnectionLogAt(path.c_str(), "127.0.0.1", 27374, {2026, 12, 31, 23, 59});
    appendConnectionLogAt(path.c_str(), "9.9.9.9", -1, {2026, 1, 2, 3, 4});
    EXPECT_EQ(fileBytes(), "1.2.3.4 :1 / 01.01.2025 / 00:00\r\n"
                           "10.0.0.7 :23 / 05.03.2026 / 09:07\r\n"
                           "127.0.0.1 :27374 / 31.12.2026 / 23:59\r\n"
                           "9.9.9.9 :-1 / 02.01.2026 / 03:04\r\n");
}

TEST_F(ConnectionLogTest, RecordCarriesTheLocalDateAndTimeOfTheCall)
{
    auto stampText = [](std::time_t when) {
        std::tm local = *std::localtime(&when);
        char text[64];
        std::snprintf(text, sizeof text, "%02d.%02d.%d / %02d:%02d\r\n", local.tm_mday, local.tm_mon + 1,
                      local.tm_year + 1900, local.tm_hour, local.tm_min);
        return std::string(text);
    };
    const std::string before = stampText(std::time(nullptr));
    ASSERT_EQ(appendConnectionLog(path.c_str(), "127.0.0.1", 23), 1);
    const std::string after = stampText(std::time(nullptr));
    const std::string record = fileBytes();
    EXPECT_TRUE(record == "127.0.0.1 :23 / " + before || record == "127.0.0.1 :23 / " + after) << record;
}

TEST_F(ConnectionLogTest, UnopenablePathWritesNothingAndSaysSo)
{
    EXPECT_EQ(appendConnectionLog("", "127.0.0.1", 23), 0);
    EXPECT_EQ(appendConnectionLog("no_such_folder_for_the_log/connections.log", "127.0.0.1", 23), 0);
    std::ifstream probe("no_such_folder_for_the_log/connections.log");
    EXPECT_FALSE(probe.good());
    EXPECT_TRUE(fakeFront().events.empty());
}

// --- reading -----------------------------------------------------------------

TEST_F(ConnectionLogTest, MissingFileGivesZeroAndLeavesTheListAlone)
{
    EXPECT_EQ(readConnectionLog(kList, path.c_str()), 0);
    EXPECT_EQ(readConnectionLog(kList, ""), 0);
    EXPECT_TRUE(fakeFront().events.empty());
}

TEST_F(ConnectionLogTest, AppendedRecordsReadBackAsOneRowEachInFileOrder)
{
    appendConnectionLogAt(path.c_str(), "10.0.0.7", 23, {2026, 12, 6, 0, 21});
    appendConnectionLogAt(path.c_str(), "192.168.1.20", 27374, {2026, 3, 5, 9, 7});
    appendConnectionLogAt(path.c_str(), "127.0.0.1", 12345, {2027, 1, 1, 23, 0});
    expectRows({
        {"10.0.0.7", "23", "06.12.2026", "00:21"},
        {"192.168.1.20", "27374", "05.03.2026", "09:07"},
        {"127.0.0.1", "12345", "01.01.2027", "23:00"},
    });
}

TEST_F(ConnectionLogTest, HandEditedFilesAreReadTokenByToken)
{
    const struct {
        const char* what;
        std::string file;
        std::vector<Row> rows;
    } kCases[] = {
        {"an empty file", "", {}},
        {"blank lines and bare line feeds",
         "\r\n\r\n1.1.1.1 :23 / 01.01.2026 / 10:00\n\n\n2.2.2.2 :24 / 02.02.2026 / 11:11\r\n\r\n  \t\r\n",
         {{"1.1.1.1", "23", "01.01.2026", "10:00"}, {"2.2.2.2", "24", "02.02.2026", "11:11"}}},
        {"tokens across line ends", "3.3.3.3\r\n:\r\n80\r\n/\r\n03.03.2026\r\n/\r\n12:34\r\n",
         {{"3.3.3.3", "80", "03.03.2026", "12:34"}}},
        // "broken" stops at the colon that is not there; the row keeps the rest.
        // The third line misses its time: the next address is where "/" was due.
        {"partial matches",
         "1.1.1.1 :23 / 01.01.2026 / 10:00\r\nbroken\r\n2.2.2.2 :24 / 02.02.2026\r\n"
         "4.4.4.4 :25 / 04.04.2026 / 04:04\r\n",
         {{"1.1.1.1", "23", "01.01.2026", "10:00"},
          {"broken", "23", "01.01.2026", "10:00"},
          {"2.2.2.2", "24", "02.02.2026", "10:00"},
          {"4.4.4.4", "25", "04.04.2026", "04:04"}}},
        {"a partial first row", "lonely", {{"lonely", "", "", ""}}},
        {"overlong tokens",
         std::string(400, 'A') + " :23 / 01.01.2026 / 10:00\r\n5.5.5.5 :" + std::string(400, '9') +
             " / 05.05.2026 / 05:05\r\n",
         {{std::string(299, 'A'), "23", "01.01.2026", "10:00"},
          {"5.5.5.5", std::string(299, '9'), "05.05.2026", "05:05"}}},
        {"a token of exactly 299 characters", std::string(299, 'b') + " :1 / d / t\r\n",
         {{std::string(299, 'b'), "1", "d", "t"}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        writeFile(c.file);
        expectRows(c.rows);
    }
}

TEST_F(ConnectionLogTest, ReadingTwiceGivesTheSameRowsNotMore)
{
    appendConnectionLogAt(path.c_str(), "10.0.0.7", 23, {2026, 12, 6, 0, 21});
    expectRows({{"10.0.0.7", "23", "06.12.2026", "00:21"}});
    appendConnectionLogAt(path.c_str(), "10.0.0.8", 23, {2026, 12, 6, 0, 22});
    expectRows({{"10.0.0.7", "23", "06.12.2026", "00:21"}, {"10.0.0.8", "23", "06.12.2026", "00:22"}});
}

} // namespace
