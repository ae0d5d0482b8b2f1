#include "alerts/alert_connection.h"
#include "fakes/net_fake.h"
#include "fakes/tls_fake.h"

#include <gtest/gtest.h>

namespace {

// The collector's first record after its welcome: the most plain bytes, and the most any record may add.
const std::string kRecord = std::string(kTlsMaxPlain, 'p') + std::string(kTlsMaxRecord - kTlsMaxPlain, '+');

std::string recordAfterTheHello(const std::string& arrived)
{
    return arrived == "<hello>" ? kRecord : "";
}

} // namespace

TEST(AlertConnection, ATlsRecordOfTheLargestLegalSizeIsReadWhole)
{
    resetFakeNet();
    resetFakeTls();
    fakeNet().collector.lookup = NetResolved;
    fakeNet().collector.answer = recordAfterTheHello;
    fakeTls().recordSize = kTlsMaxRecord;
    static AlertConnection connection;
    alertConnectionInit(connection, 0);
    alertConnectionOpen(connection, AlertEndpoint{"collector.example", 6514, 1, nullptr}, 0);
    alertConnectionPump(connection, 0);
    EXPECT_EQ(std::to_string(connection.state) + std::string(connection.inbox, connection.inboxLength),
              std::to_string(ConnectionOpen) + kRecord.substr(0, kTlsMaxPlain));
    alertConnectionClose(connection);
}
