#include "alerts/alert_channel.h"
#include "alerts/relp_sender.h"
#include "alerts/syslog_message.h"
#include "fakes/net_fake.h"

#include <gtest/gtest.h>

#include <regex>
#include <utility>

namespace {

FakeCollector& collector = fakeNet().collector;
AlertQueueStorage storage;
std::string refusal;  // the answer to every syslog frame but "200 OK": "" answers none at all (a frozen server)
bool answering = true;

// imrelp as it answers: each frame that arrives whole gets its rsp.
std::string relpServer(const std::string& arrived)
{
    static const std::regex frame(R"((\d+) (open|syslog|close) (\d+)[ \n])");
    std::string answers;
    for (std::sregex_iterator i(arrived.begin(), arrived.end(), frame), end; i != end && answering; ++i) {
        const std::string txnr = (*i)[1], command = (*i)[2];
        const std::string data = command == "open" ? "200 OK\nrelp_version=0\ncommands=syslog"
                                 : command == "close" ? "" : refusal.empty() ? "200 OK" : refusal;
        answers += txnr + " rsp " + std::to_string(data.size()) + (data.empty() ? "" : " " + data) + "\n";
    }
    return answers;
}

std::string at(AlertChannel& channel, long long now, const std::string& message = "")
{
    if (!message.empty())
        alertChannelPost(channel, message.data(), static_cast<int>(message.size()));
    alertChannelPump(channel, now);
    const AlertStatus s = alertChannelStatus(channel);
    return std::exchange(collector.received, "") + "|" + std::to_string(s.sent) + " " + std::to_string(s.waiting) +
           (s.lastError[0] ? std::string(" ") + s.lastError : "") + (channel.waitingToRetry ? " retry" : "");
}

const std::string kOffer = "relp_version=0\nrelp_software=velmoranth," VELMO_VERSION_TEXT "\ncommands=syslog";
const std::string kOpen = "1 open " + std::to_string(kOffer.size()) + " " + kOffer + "\n";

} // namespace

TEST(RelpSender, EachMessageLeavesOnItsAnswerAndWhatIsUnansweredGoesAgainWholeOnTheNextSession)
{
    resetFakeNet();
    collector.lookup = NetResolved;
    collector.answer = relpServer;
    answering = true;
    refusal.clear();
    static AlertChannel channel;
    alertChannelInit(channel, storage, 0);
    alertChannelConfigureSyslog(channel, SyslogTarget{1, "c", 2514, SyslogRelp, SyslogFramingOctet, {}});
    EXPECT_EQ(at(channel, 0, "one"), kOpen + "2 syslog 3 one\n|1 0");
    EXPECT_EQ(at(channel, 1000, "two"), "3 syslog 3 two\n|2 0") << "the session stays open";
    answering = false;  // frozen, then gone: nothing is answered
    EXPECT_EQ(at(channel, 2000, "three"), "4 syslog 5 three\n|2 1");
    EXPECT_EQ(at(channel, 2001, "four"), "5 syslog 4 four\n|2 2");
    collector.reset = true;
    EXPECT_EQ(at(channel, 3000), "|2 2 The collector reset the connection. retry");
    answering = true;
    refusal = "500 queue full";
    EXPECT_EQ(at(channel, 4000), kOpen + "2 syslog 5 three\n3 syslog 4 four\n|2 2 The collector answered: 500 queue "
                                         "full retry");
    refusal.clear();
    EXPECT_EQ(at(channel, 6000), kOpen + "2 syslog 5 three\n3 syslog 4 four\n|4 0 The collector answered: 500 queue "
                                         "full");
    EXPECT_EQ(at(channel, 65999), "|4 0 The collector answered: 500 queue full");
    EXPECT_EQ(at(channel, 66000), "4 close 0\n|4 0 The collector answered: 500 queue full")
        << "closed after 60 s without a message, on the collector's answer";
    EXPECT_EQ(collector.open, kNoSocket);

    EXPECT_EQ(at(channel, 70000, "five"), kOpen + "2 syslog 4 five\n|5 0 The collector answered: 500 queue full");
    collector.input = "0 serverclose 0\n";  // with nothing unanswered: a quiet end
    EXPECT_EQ(at(channel, 70001), "|5 0 The collector answered: 500 queue full");
    EXPECT_EQ(collector.open, kNoSocket);
    EXPECT_EQ(at(channel, 70002, "six"), kOpen + "2 syslog 3 six\n|6 0 The collector answered: 500 queue full");
    channel.relp.nextTxnr = 999999999;  // the numbers wrap to 1
    EXPECT_EQ(at(channel, 70003, "seven"), "999999999 syslog 5 seven\n|7 0 The collector answered: 500 queue full");
    EXPECT_EQ(at(channel, 70004, "eight"), "1 syslog 5 eight\n|8 0 The collector answered: 500 queue full");
    EXPECT_EQ(collector.connects, 5);
    collector.input = "7 rsp 6 200 OK\n";
    EXPECT_EQ(at(channel, 70005), "|8 0 The collector answered a message it was not sent. retry");
    collector.answer = [](const std::string&) { return std::string("HTTP/1.1 400 Bad Request\r\n"); };
    EXPECT_EQ(at(channel, 80000, "nine"), kOpen + "|8 1 The collector does not speak RELP. retry");
    collector.answer = relpServer;
    refusal = "500 queue\x7f full";
    EXPECT_EQ(at(channel, 90000), kOpen + "2 syslog 4 nine\n|8 1 The collector answered: 500 queue  full retry")
        << "only the printable of the collector's words";
    refusal.clear();
    const std::string tooLong(kSyslogMessageSize + 1, 'x'), longest(kSyslogMessageSize, 'y');
    alertChannelPost(channel, tooLong.data(), static_cast<int>(tooLong.size()));
    alertChannelRetrySoon(channel, 100000);
    const std::string first = at(channel, 100000, longest);
    const std::string kTooLong = "The message is too long to send.";
    EXPECT_EQ(first + at(channel, 100001),
              kOpen + "2 syslog 4 nine\n3 syslog " + std::to_string(kSyslogMessageSize) + " " + longest + "\n|9 1 " + kTooLong + "|10 0 " + kTooLong)
        << "refused once it is the oldest";
    EXPECT_EQ(alertChannelStatus(channel).dropped, 1ul);
}

TEST(RelpSender, TheFrameReaderResumesWhereTheBytesStoppedAndRefusesWhatIsNotRelp)
{
    const std::string kCases[][2] = {
        {"12 rsp 6 200 OK\n", "12 rsp 200 OK"}, {"3 rsp 0\n", "3 rsp "}, {"3 rsp 0 \n", "3 rsp "},
        {"0 serverclose 0\n", "0 serverclose "}, {"1234567890 rsp 0\n", "bad"}, {"1 RSP 0\n", "bad"},
        {"1 rsp 6 200 OKX", "bad"}, {"1 rs{ 0\n", "bad"}, {"1 rsp 999999 x", "bad"}, {" 1 rsp 0\n", "bad"},
        {"1  rsp 0\n", "bad"}, {"1 rsp \n", "bad"},
    };
    for (const auto& [bytes, expected] : kCases) {
        for (std::size_t split = 0; split <= bytes.size(); split += 3) {  // the same frame in two reads
            RelpFrameReader frame{};
            int done = 0, bad = 0;
            const int used = relpReadFrame(frame, bytes.data(), static_cast<int>(split), done, bad);
            if (!bad && !done)
                relpReadFrame(frame, bytes.data() + used, static_cast<int>(bytes.size()) - used, done, bad);
            EXPECT_EQ(bad ? "bad" : done ? std::to_string(frame.txnr) + " " + frame.command + " " + frame.data : "?",
                      expected)
                << bytes << " split at " << split;
        }
    }
}
