#include "alerts/relp_sender.h"

#include "alerts/alert_channel.h"
#include "alerts/syslog_message.h"
#include "platform/ascii.h"
#include "platform/version_text.h"

#include <cstdio>
#include <cstring>

namespace {

enum Phase { NoSession, Connecting, OpenSent, Ready, Closing };
enum ReaderState { ReadTxnr, ReadCommand, ReadLength, ReadData, ReadTrailer };

enum {
    kWindow = 64,              // messages sent and not answered yet, at most
    kMaxDigits = 9,
    kMaxDataLength = 128 * 1024,
    kFrameSize = kSyslogMessageSize + 32,  // the longest syslog message and its frame ("999999999 syslog 1024 ", LF)
    kRoundsPerPump = 3,
};

enum : unsigned long { kLastTxnr = 999999999UL, kAnswered = 0x80000000UL };
enum : long long { kAnswerTimeOutMs = 30000, kIdleCloseMs = 60000, kCloseTimeOutMs = 10000 };

const char kOffer[] = "relp_version=0\nrelp_software=velmoranth," VELMO_VERSION_TEXT "\ncommands=syslog";

unsigned long nextTxnr(unsigned long txnr)
{
    return txnr >= kLastTxnr ? 1 : txnr + 1;
}

// Digits of a number; false when there are too many.
bool addDigit(unsigned long& value, unsigned long& digits, char c)
{
    value = value * 10 + static_cast<unsigned long>(c - '0');
    return ++digits <= kMaxDigits;
}

// `read` counts the digits of the number being read, then the data's bytes.
struct Reader {
    RelpFrameReader& frame;

    // One byte; false when it is not RELP.
    bool take(char c, int& done)
    {
        switch (frame.state) {
        case ReadTxnr:
            if (isDigit(c))
                return addDigit(frame.txnr, frame.read, c);
            frame.state = ReadCommand;
            return c == ' ' && frame.read > 0;
        case ReadCommand:
            if (c == ' ') {
                frame.state = ReadLength;
                frame.read = 0;
                return frame.commandLength > 0;
            }
            if (c < 'a' || c > 'z' || frame.commandLength == static_cast<int>(sizeof frame.command) - 1)
                return false;
            frame.command[frame.commandLength++] = c;
            frame.command[frame.commandLength] = '\0';
            return true;
        case ReadLength: return takeLength(c, done);
        case ReadData:
            if (frame.dataLength < kRelpDataKept - 1)
                frame.data[frame.dataLength++] = c;
            frame.data[frame.dataLength] = '\0';
            if (++frame.read == frame.length)
                frame.state = ReadTrailer;
            return true;
        default:
            done = c == '\n';
            return done;
        }
    }

    bool takeLength(char c, int& done)
    {
        if (isDigit(c))
            return addDigit(frame.length, frame.read, c) && frame.length <= kMaxDataLength;
        if (frame.read == 0)
            return false;
        frame.read = 0;
        if (c == '\n' && frame.length == 0)
            return (done = 1), true;
        frame.state = frame.length == 0 ? ReadTrailer : ReadData;
        return c == ' ';
    }
};

bool answeredOk(const RelpFrameReader& frame)
{
    return std::strncmp(frame.data, "200", 3) == 0;
}

void failSession(AlertChannel& channel, const char* why, long long nowMs)
{
    alertChannelFail(channel, why, nowMs);
}

void failConnection(AlertChannel& channel, long long nowMs)
{
    char why[kAlertErrorTextSize];
    alertConnectionErrorText(channel.connection, "collector", why, sizeof why);
    failSession(channel, why, nowMs);
}

// The collector's own words for a refusal; only printable ASCII of them.
void failAnswer(AlertChannel& channel, const RelpFrameReader& frame, long long nowMs)
{
    char why[kAlertErrorTextSize];
    appendPrintable("The collector answered: ", frame.data, why, sizeof why);
    failSession(channel, why, nowMs);
}

void endSession(AlertChannel& channel)
{
    alertConnectionClose(channel.connection);
    channel.relp = RelpSenderState{};
    channel.queue.locked = 0;
}

bool sendFrame(AlertChannel& channel, unsigned long txnr, const char* command, const char* data, long long deadline)
{
    char frame[256];
    const int length = std::snprintf(frame, sizeof frame, data[0] ? "%lu %s %d %s\n" : "%lu %s 0\n", txnr, command,
                                     static_cast<int>(std::strlen(data)), data);
    if (alertConnectionWrite(channel.connection, frame, length) != length)
        return false;
    alertConnectionExpectBy(channel.connection, deadline);
    return true;
}

// The answered messages at the front leave the queue.
void confirmAnswered(AlertChannel& channel, long long nowMs)
{
    RelpSenderState& relp = channel.relp;
    int answered = 0;
    while (answered < relp.inFlight && (alertQueueEntry(channel.queue, answered).tag & kAnswered))
        ++answered;
    if (answered == 0)
        return;
    relp.inFlight -= answered;
    alertChannelConfirm(channel, answered);
    relp.idleSinceMs = nowMs;
    alertConnectionExpectBy(channel.connection, relp.inFlight > 0 ? nowMs + kAnswerTimeOutMs : 0);
}

void messageAnswered(AlertChannel& channel, const RelpFrameReader& frame, long long nowMs)
{
    RelpSenderState& relp = channel.relp;
    for (int i = 0; i < relp.inFlight; ++i) {
        AlertQueueEntry& entry = alertQueueEntry(channel.queue, i);
        if (entry.tag != frame.txnr)
            continue;
        if (!answeredOk(frame))
            return failAnswer(channel, frame, nowMs);
        entry.tag |= kAnswered;
        return confirmAnswered(channel, nowMs);
    }
    failSession(channel, "The collector answered a message it was not sent.", nowMs);
}

void frameRead(AlertChannel& channel, const RelpFrameReader& frame, long long nowMs)
{
    RelpSenderState& relp = channel.relp;
    const bool answer = std::strcmp(frame.command, "rsp") == 0;
    if (std::strcmp(frame.command, "serverclose") == 0) {
        if (relp.inFlight > 0 || relp.headSent > 0)
            return failSession(channel, "The collector closed the session.", nowMs);
        return endSession(channel);
    }
    if (!answer)
        return failSession(channel, "The collector sent something unexpected.", nowMs);
    if (relp.phase == OpenSent && frame.txnr == 1) {
        if (!answeredOk(frame))
            return failAnswer(channel, frame, nowMs);
        relp.phase = Ready;
        relp.idleSinceMs = nowMs;
        return alertConnectionExpectBy(channel.connection, 0);
    }
    if (relp.phase == Closing && frame.txnr == relp.closeTxnr)
        return endSession(channel);
    messageAnswered(channel, frame, nowMs);
}

void readAnswers(AlertChannel& channel, long long nowMs)
{
    AlertConnection& connection = channel.connection;
    while (connection.inboxLength > 0 && channel.relp.phase != NoSession && connection.state == ConnectionOpen) {
        int done = 0, bad = 0;
        const int used = relpReadFrame(channel.relp.reader, connection.inbox, connection.inboxLength, done, bad);
        alertConnectionConsume(connection, used);
        if (bad)
            return failSession(channel, "The collector does not speak RELP.", nowMs);
        if (!done)
            return;
        const RelpFrameReader frame = channel.relp.reader;
        channel.relp.reader = RelpFrameReader{};
        frameRead(channel, frame, nowMs);
    }
}

// Writes the next messages, up to the window, as far as the connection
// takes them. One longer than a syslog message is refused once it is the
// oldest (a refusal takes the oldest).
void writeMessages(AlertChannel& channel, long long nowMs)
{
    RelpSenderState& relp = channel.relp;
    while (relp.inFlight < channel.queue.count && relp.inFlight < kWindow) {
        unsigned long length = 0;
        const char* message = alertQueueMessage(channel.queue, relp.inFlight, length);
        if (length > kSyslogMessageSize && relp.inFlight > 0)
            return;
        if (length > kSyslogMessageSize) {
            alertChannelReject(channel, "The message is too long to send.", nowMs);
            continue;
        }
        AlertQueueEntry& entry = alertQueueEntry(channel.queue, relp.inFlight);
        if (relp.headSent == 0)
            entry.tag = relp.nextTxnr;
        char frame[kFrameSize];
        int total = std::snprintf(frame, sizeof frame, "%lu syslog %lu ", entry.tag, length);
        std::memcpy(frame + total, message, length);
        total += static_cast<int>(length);
        frame[total++] = '\n';
        channel.queue.locked = relp.inFlight + 1;
        relp.headSent += static_cast<unsigned long>(
            alertConnectionWrite(channel.connection, frame + relp.headSent, total - static_cast<int>(relp.headSent)));
        if (relp.headSent < static_cast<unsigned long>(total))
            return;
        relp.headSent = 0;
        if (relp.inFlight++ == 0)
            alertConnectionExpectBy(channel.connection, nowMs + kAnswerTimeOutMs);
        relp.nextTxnr = nextTxnr(relp.nextTxnr);
        relp.idleSinceMs = nowMs;
    }
}

void closeWhenIdle(AlertChannel& channel, long long nowMs)
{
    RelpSenderState& relp = channel.relp;
    if (relp.inFlight > 0 || relp.headSent > 0 || channel.queue.count > 0 || nowMs - relp.idleSinceMs < kIdleCloseMs)
        return;
    relp.closeTxnr = relp.nextTxnr;
    relp.nextTxnr = nextTxnr(relp.nextTxnr);
    relp.phase = Closing;
    if (!sendFrame(channel, relp.closeTxnr, "close", "", nowMs + kCloseTimeOutMs))
        endSession(channel);
}

void pumpSession(AlertChannel& channel, long long nowMs)
{
    RelpSenderState& relp = channel.relp;
    readAnswers(channel, nowMs);
    if (channel.connection.state != ConnectionOpen || relp.phase == NoSession)
        return;
    if (channel.connection.peerClosed) {
        if (relp.inFlight > 0 || relp.headSent > 0 || relp.phase == OpenSent)
            return failSession(channel, "The collector closed the connection.", nowMs);
        return endSession(channel);
    }
    if (relp.phase == Connecting) {
        relp.phase = OpenSent;
        relp.nextTxnr = 2;
        if (!sendFrame(channel, 1, "open", kOffer, nowMs + kAnswerTimeOutMs))
            return failSession(channel, "The session could not be opened.", nowMs);
    }
    if (relp.phase == Ready) {
        writeMessages(channel, nowMs);
        closeWhenIdle(channel, nowMs);
    }
    alertConnectionPump(channel.connection, nowMs);
}

} // namespace

int relpReadFrame(RelpFrameReader& frame, const char* bytes, int length, int& done, int& bad)
{
    Reader reader{frame};
    done = bad = 0;
    for (int used = 0; used < length;) {
        if (!reader.take(bytes[used++], done)) {
            bad = 1;
            return used;
        }
        if (done)
            return used;
    }
    return length;
}

void relpSenderPump(AlertChannel& channel, long long nowMs)
{
    RelpSenderState& relp = channel.relp;
    if (relp.phase == NoSession) {
        if (channel.queue.count == 0)
            return;
        endSession(channel);
        relp.phase = Connecting;
        const AlertEndpoint where{channel.syslog.collector, channel.syslog.port, 0, nullptr};
        alertConnectionOpen(channel.connection, where, nowMs);
    }
    // A few rounds, so that answers that came while frames went out are read at once.
    for (int round = 0; round < kRoundsPerPump && relp.phase != NoSession; ++round) {
        alertConnectionPump(channel.connection, nowMs);
        if (channel.connection.state == ConnectionOpen)
            pumpSession(channel, nowMs);
        if (channel.connection.state == ConnectionFailed)
            return failConnection(channel, nowMs);
        if (channel.connection.state != ConnectionOpen)
            return;
    }
}

void relpSenderClose(AlertChannel& channel)
{
    endSession(channel);
}
