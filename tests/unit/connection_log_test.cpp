#include "storage/connection_log.h"

#include "fakes/front_end_fake.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

TEST(ConnectionLog, RecordsAreAppendedWithCrLfAndTheLocalTimeOfTheCallWhereTheFileOpens)
{
    ScratchFolder folder;
    const std::string path = folder.path("connections.log"), missing = folder.path("no such folder/connections.log");
    EXPECT_EQ(appendConnectionLog(missing.c_str(), "127.0.0.1", 23) + readConnectionLog(nullptr, missing.c_str()), 0);
    EXPECT_EQ(appendConnectionLogAt(path.c_str(), "10.0.0.7", -1, {2026, 3, 5, 9, 7}), 1);
    const std::string log = "10.0.0.7 :-1 / 05.03.2026 / 09:07\r\n";
    EXPECT_EQ(folder.read("connections.log"), log);
    auto recordAt = [](std::time_t when) {
        char record[64];
        std::strftime(record, sizeof record, "127.0.0.1 :23 / %d.%m.%Y / %H:%M\r\n", std::localtime(&when));
        return std::string(record);
    };
    const std::time_t before = std::time(nullptr);
    EXPECT_EQ(appendConnectionLog(path.c_str(), "127.0.0.1", 23), 1);
    const std::string written = folder.read("connections.log");
    EXPECT_TRUE(written == log + recordAt(before) || written == log + recordAt(std::time(nullptr))) << written;
}

TEST(ConnectionLog, RecordsAreReadTokenByTokenInFileOrder)
{
    const std::string a400(400, 'A'), a299(299, 'A');
    const struct {
        std::string file;
        std::vector<std::vector<std::string>> rows;  // address, port, date, time
    } kCases[] = {
        {"", {}},
        // ":" belongs to the token it touches; a row that stops short keeps the fields of the row before, and the
        // next row starts where the match stopped.
        {"3:4/d/t\r\n\n1.1.1.1 :23 / 01.01.2026 / 10:00\n\nbroken\r\n2.2.2.2 :24 / 02.02.2026\r\n"
         "3.3.3.3\n:\n80\r\n/\nd\n/\nt \t\v\f\r\n",
         {{"3:4/d/t", "", "", ""}, {"1.1.1.1", "23", "01.01.2026", "10:00"}, {"broken", "23", "01.01.2026", "10:00"},
          {"2.2.2.2", "24", "02.02.2026", "10:00"}, {"3.3.3.3", "80", "d", "t"}}},
        {a400 + " :23 / d / t\r\n5.5.5.5 :" + a400 + " / d / " + a299 + "\x1a\r\n6.6.6.6 :1 / d / t\r\n",
         {{a299, "23", "d", "t"}, {"5.5.5.5", a299, "d", a299}}},  // tokens cut to 299 bytes; Ctrl-Z ends the file
    };
    ScratchFolder folder;
    for (const auto& c : kCases) {
        folder.write("connections.log", c.file);
        std::string told;  // an insert at the next index, then sub-items 1 to 3
        for (std::size_t row = 0; row < c.rows.size(); ++row) {
            told += "insert " + std::to_string(row) + " " + c.rows[row][0] + "\n";
            for (int sub = 1; sub < 4; ++sub)
                told += "item " + std::to_string(row) + " " + std::to_string(sub) + " " + c.rows[row][sub] + "\n";
        }
        resetFakeFront();
        EXPECT_EQ(readConnectionLog(nullptr, folder.path("connections.log").c_str()), 1);
        EXPECT_EQ(fakeFront().events, told) << c.file;
    }
}
