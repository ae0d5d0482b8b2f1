#include "ui/dialogs/alerts_test_send.h"

#include "alerts/alert_hub.h"
#include "alerts/mail_message.h"
#include "alerts/syslog_message.h"
#include "alerts/webhook_body.h"
#include "ui/dialogs/alerts_page_controls.h"
#include "ui/dialogs/alerts_pages.h"
#include "ui/program_state.h"
#include "platform/clock.h"
#include "ui/window_alerts.h"

#include <cstdio>

namespace {

constexpr int larger(int a, int b) { return a > b ? a : b; }
enum { kTestMessageSize = larger(kSyslogMessageSize, larger(kMailMessageSize, kWebhookMessageSize)) };

// Its slot allows one look-up at a time however often the button is pressed.
struct TestChannel {
    AlertChannel channel;
    char bytes[kTestMessageSize];
    AlertQueueEntry entry[1];
    int underWay;  // sent, and its outcome not shown yet
};
TestChannel tests[kAlertChannels];

void resetTest(int channel)
{
    TestChannel& test = tests[channel];
    alertChannelClose(test.channel);
    alertChannelInitSmall(test.channel, test.bytes, sizeof test.bytes, test.entry, 1, kTestFirstSlot + channel);
    smtpSenderSetHeloName(test.channel, program.alertOrigin.hostName);  // as the program's mail channel says it
    test.underWay = 0;
}

void configureTest(AlertChannel& channel, int id, const AlertSettings& settings)
{
    switch (id) {
    case AlertSyslogChannel: alertChannelConfigureSyslog(channel, settings.syslog); break;
    case AlertMailChannel: alertChannelConfigureMail(channel, settings.mail); break;
    default: alertChannelConfigureWebhook(channel, settings.webhook); break;
    }
}

// The fields as they stand, ticked or not, saved or not.
Fault testFault(int channel, AlertSettings& settings)
{
    const Fault fault = readPage(channel, settings);
    settings.syslog.enabled = settings.mail.enabled = settings.webhook.enabled = 1;
    return fault.text[0] ? fault : channelFault(channel, settings);
}

// Once the test message is out or has failed, its channel is closed: a
// test is tried once, never retried behind the user's back.
void showTestOutcome(int channel)
{
    TestChannel& test = tests[channel];
    const AlertStatus status = alertChannelStatus(test.channel);
    if (!test.underWay || (status.sent == 0 && status.lastError[0] == '\0'))
        return;
    const char* sent = status.unconfirmed ? "UDP: sent, delivery not confirmed" : "Sent.";
    setText(lineOf(channel, kResultOffset), status.sent != 0 ? sent : status.lastError);
    resetTest(channel);
}

// The local clock time, hh:mm:ss, of a moment on the channels' clock.
void localClockText(long long atMs, char* text, int size)
{
    const CalendarTime local = clockLocalTimeAt(atMs);
    std::snprintf(text, static_cast<size_t>(size), "%02d:%02d:%02d", local.hour, local.minute, local.second);
}

// The counts, a password the file still holds in the clear, and the last error.
void showStatus(int channel)
{
    const AlertStatus status = alertChannelStatus(program.alerts.channels[channel]);
    const bool plain = channel == AlertMailChannel && program.alertsRead.passwordStaysPlain;
    char line[kPageLineSize];
    int length = std::snprintf(line, sizeof line, "Sent %lu, waiting %lu, dropped %lu.%s", status.sent,
                               status.waiting, status.dropped,
                               plain ? " The password is stored in the clear in " VELMO_ALERTS_FILE
                                       ": it could not be protected." : "");
    if (status.lastError[0] != '\0') {
        char clock[16];
        localClockText(status.lastErrorAtMs, clock, sizeof clock);
        std::snprintf(line + length, sizeof line - static_cast<size_t>(length), " Last error at %s: %s", clock,
                      status.lastError);
    }
    refreshText(lineOf(channel, kStatusOffset), line);
}

} // namespace

void onSendTest(int channel)
{
    AlertSettings settings = program.alertsRead.settings;
    const Fault fault = testFault(channel, settings);
    if (fault.text[0] != '\0') {
        setText(lineOf(channel, kResultOffset), fault.text);
        return;
    }
    resetTest(channel);
    alertSocketsNeeded();
    AlertChannel& test = tests[channel].channel;
    configureTest(test, channel, settings);
    const AlertFacts facts = alertHubTestEvent(program.alerts, channel, clockWallTime());
    char message[kTestMessageSize];
    alertChannelPost(test, message, alertRender(program.alertOrigin, test, facts, message, sizeof message));
    alertChannelPump(test, clockMonotonicMs());
    tests[channel].underWay = 1;
    setText(lineOf(channel, kResultOffset), "Sending...");
    showTestOutcome(channel);
}

void refreshTestsAndStatus()
{
    const long long now = clockMonotonicMs();
    for (int channel = 0; channel < kAlertChannels; ++channel) {
        alertChannelPump(tests[channel].channel, now);
        showTestOutcome(channel);
        showStatus(channel);
    }
}

void resetTests()
{
    for (int channel = 0; channel < kAlertChannels; ++channel)
        resetTest(channel);
}
