#include "storage/alert_settings.h"

#include "support/scratch_folder.h"

#include <gtest/gtest.h>

namespace {

// "enabled collector port protocol|problem" as read from `file`.
std::string loaded(const std::string& file)
{
    const AlertSettingsReading reading = loadAlertSettings(file.c_str());
    const AlertTarget& t = reading.target;
    return std::to_string(t.enabled) + " " + t.collector + " " + std::to_string(t.port) +
           (t.protocol == AlertTcp ? " tcp" : " udp") + (reading.fileFound ? "|" : "!") + reading.problem;
}

const std::string kFile = "[Velmoranth Alerts]\nEnabled=1\nCollector=192.0.2.10\nPort=601\nProtocol=tcp\n";

std::string badPort(const std::string& value)
{
    return "0 192.0.2.10 601 tcp|alerts.ini: the port \"" + value + "\" is not a number from 1 to 65535.";
}

} // namespace

TEST(AlertSettings, ReadsHandEditedFilesRefusesDamageAndSavesWhatItReads)
{
    ScratchFolder folder;
    const std::string file = folder.path("alerts.ini");
    EXPECT_EQ(loaded(file), "0  514 udp!");
    const std::string kCases[][2] = {
        {kFile, "1 192.0.2.10 601 tcp|"},
        {" [Velmoranth Alerts] \r\n\r\n PROTOCOL = UDP \r\nx=y\r\nport=65535\r\nENABLED=1\r\n"
         "collector=a.example\x1aPort=1",
         "1 a.example 65535 udp|"},
        {"[Velmoranth Alerts]\nEnabled=0\nPort=1\nCollector=\n", "0  1 udp|"},
        {"[Velmoranth Settings]\n" + kFile.substr(20),
         "0  514 udp|alerts.ini: the first line is not [Velmoranth Alerts]."},
        {kFile + "Port=99999\n", badPort("99999")}, {kFile + "Port=0\n", badPort("0")},
        {kFile + "Port=6x\n", badPort("6x")},
        {kFile + "Protocol=xyz\n", "0 192.0.2.10 601 udp|alerts.ini: the protocol \"xyz\" is neither udp nor tcp."},
        {kFile + "Enabled=yes\n", "0 192.0.2.10 601 tcp|alerts.ini: Enabled \"yes\" is neither 0 nor 1."},
        {"[Velmoranth Alerts]\nEnabled=1\nPort=9\n", "0  9 udp|alerts.ini: no collector is given."},
        {"[Velmoranth Alerts]\nEnabled=1\nCollector=a b\n",
         "0 a b 514 udp|alerts.ini: the collector \"a b\" is not a host name or an IPv4 address."},
        {"[Velmoranth Alerts]\nEnabled=1\nCollector=" + std::string(256, 'c') + "\n",
         "0 " + std::string(255, 'c') + " 514 udp|alerts.ini: the collector's name is longer than 255 characters."},
        {"[Velmoranth Alerts]\n\nCollector=c\nPort=7" + std::string(400, ' ') + "Protocol=tcp\nEnabled=1\n",
         "0 c 514 udp|alerts.ini: line 4 is too long."},
    };
    for (const auto& [content, expected] : kCases) {
        folder.write("alerts.ini", content);
        EXPECT_EQ(loaded(file), expected) << content;
    }

    ASSERT_EQ(saveAlertSettings({1, "collector.example", 6514, AlertTcp}, file.c_str()), 1);
    EXPECT_EQ(folder.read("alerts.ini"),
              "[Velmoranth Alerts]\r\nEnabled=1\r\nCollector=collector.example\r\nPort=6514\r\nProtocol=tcp\r\n");
    EXPECT_EQ(loaded(file), "1 collector.example 6514 tcp|");
    EXPECT_EQ(folder.count(), 1);

    const AlertTarget kTargets[] = {{0, "", 0, AlertUdp}, {1, "h", 65535, AlertTcp}, {1, "a\x7f", 1, AlertUdp},
                                    {1, "h", 0, AlertUdp}, {1, "h", 65536, AlertUdp}, {1, "h", 1, AlertUdp}};
    std::string problems;
    for (const AlertTarget& t : kTargets)
        problems += alertTargetProblem(t) + std::string("|");
    EXPECT_EQ(problems, "||Enter the collector's host name or IPv4 address.|The port must be a number from 1 to 65535.|"
                        "The port must be a number from 1 to 65535.||");
}
