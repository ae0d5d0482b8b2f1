#include "storage/connection_log.h"

#include "fakes/front_end_fake.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

class ConnectionLog : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string path = folder.path("connections.log");

    // Rows of address, port, date, time: each is told as an insert at the next index, then sub-items 1 to 3.
    void expectRows(const std::vector<std::vector<std::string>>& rows)
    {
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < rows.size(); ++i)
            for (int sub = 0; sub < 4; ++sub)
                expected.push_back((sub ? "item " : "insert ") + std::to_string(i) +
                                   (sub ? " " + std::to_string(sub) : "") + " " + rows[i][sub]);
        resetFakeFront();
        EXPECT_EQ(readConnectionLog(nullptr, path.c_str()), 1);
        EXPECT_EQ(frontEventTexts(), expected);
    }
};

TEST_F(ConnectionLog, RecordsAreAppendedWithCrLfAndTheLocalTimeOfTheCallWhereTheFileOpens)
{
    resetFakeFront();
    const std::string missing = folder.path("no such folder/connections.log");
    EXPECT_EQ(appendConnectionLog("", "127.0.0.1", 23) + appendConnectionLog(missing.c_str(), "127.0.0.1", 23) +
                  readConnectionLog(nullptr, "") + readConnectionLog(nullptr, missing.c_str()) +
                  readConnectionLog(nullptr, path.c_str()), 0);
    EXPECT_TRUE(frontEventTexts().empty());

    std::string log = "1.2.3.4 :1 / 01.01.2025 / 00:00\r\n";
    folder.write("connections.log", log);
    EXPECT_EQ(appendConnectionLogAt(path.c_str(), "10.0.0.7", 23, {2026, 3, 5, 9, 7}), 1);
    appendConnectionLogAt(path.c_str(), "9.9.9.9", -1, {2026, 12, 31, 23, 59});
    log += "10.0.0.7 :23 / 05.03.2026 / 09:07\r\n9.9.9.9 :-1 / 31.12.2026 / 23:59\r\n";
    EXPECT_EQ(folder.read("connections.log"), log);
    auto recordNow = [] {
        std::time_t now = std::time(nullptr);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%d.%m.%Y / %H:%M", std::localtime(&now));
        return "127.0.0.1 :23 / " + std::string(stamp) + "\r\n";
    };
    const std::string before = recordNow();
    EXPECT_EQ(appendConnectionLog(path.c_str(), "127.0.0.1", 23), 1);
    const std::string written = folder.read("connections.log");
    EXPECT_TRUE(written == log + before || written == log + recordNow()) << written;
}

TEST_F(ConnectionLog, RecordsAreReadTokenByTokenInFileOrder)
{
    const std::string a400(400, 'A'), a299(299, 'A');
    const struct {
        std::string file;
        std::vector<std::vector<std::string>> rows;
    } kCases[] = {
        {"", {}},
        {"\r\n\n1.1.1.1 :23 / 01.01.2026 / 10:00\n\n2.2.2.2 :24 / 02.02.2026 / 11:11\r\n \t\v\f\r\n",
         {{"1.1.1.1", "23", "01.01.2026", "10:00"}, {"2.2.2.2", "24", "02.02.2026", "11:11"}}},
        {"3.3.3.3\n:\n80\r\n/\nd\n/\nt", {{"3.3.3.3", "80", "d", "t"}}}, {"3:4/d/t", {{"3:4/d/t", "", "", ""}}},
        // A row that stops short keeps the fields of the row before; the next starts where the match stopped.
        {"1.1.1.1 :23 / 01.01.2026 / 10:00\r\nbroken\r\n2.2.2.2 :24 / 02.02.2026\r\n4.4.4.4 :25 / d / t\r\n",
         {{"1.1.1.1", "23", "01.01.2026", "10:00"}, {"broken", "23", "01.01.2026", "10:00"},
          {"2.2.2.2", "24", "02.02.2026", "10:00"}, {"4.4.4.4", "25", "d", "t"}}},
        {a400 + " :23 / d / t\r\n5.5.5.5 :" + a400 + " / d / " + a299,
         {{a299, "23", "d", "t"}, {"5.5.5.5", a299, "d", a299}}},
        {"1.1.1.1 :23 / d / t\x1a\r\n2.2.2.2 :1 / d / t\r\n", {{"1.1.1.1", "23", "d", "t"}}},  // Ctrl-Z ends the file
    };
    for (const auto& c : kCases) {
        folder.write("connections.log", c.file);
        expectRows(c.rows);
    }
}
