#include "engine/relp_sender.h"

#include <cstdio>
#include <cstring>

#ifndef VELMO_VERSION_TEXT
#define VELMO_VERSION_TEXT "0"
#endif

namespace {

enum Phase { NoSession, Connecting, OpenSent, Ready, Closing };
enum ReaderState { ReadTxnr, ReadCommand, ReadLength, ReadData, ReadTrailer };

enum {
    kWindow = 64,              // messages sent and not answered yet, at most
    kMaxDigits = 9,
    kMaxDataLength = 128 * 1024,
    kFrameSize = 1100,         // a syslog message and its frame
    kRoundsPerPump = 3,
};

enum : unsigned long { kLastTxnr = 999999999UL, kAnswered = 0x80000000UL };
enum : long long { kAnswerTimeOutMs = 30000, kIdleCloseMs = 60000, kCloseTimeOutMs = 10000 };

const char kOffer[] = "relp_version=0\nrelp_software=velmoranth," VELMO_VERSION_TEXT "\ncommands=syslog";

unsigned long nextTxnr(unsigned long txnr)
{
    return txnr >= kLastTxnr ? 1 : txnr + 1;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits of a number; false when there are too many.
bool addDigit(unsigned long& value, unsigned long& digits, char c)
{
    value = value * 10 + static_cast<unsigned long>(c - '0');
    return ++digits <= kMaxDigits;
}

// `read` counts the digits of the number being read, then the data's bytes.
struct Reader {
    RelpFrameReader& r;

    // One byte; false when it is not RELP.
    bool take(char c, int& done)
    {
        switch (r.state) {
        case ReadTxnr:
            if (isDigit(c))
                return addDigit(r.txnr, r.read, c);
            r.state = ReadCommand;
            return c == ' ' && r.read > 0;
        case ReadCommand:
            if (c == ' ') {
                r.state = ReadLength;
                r.read = 0;
                return r.commandLength > 0;
            }
            if (c < 'a' || c > 'z' || r.commandLength == static_cast<int>(sizeof r.command) - 1)
                return false;
            r.command[r.commandLength++] = c;
            r.command[r.commandLength] = '\0';
            return true;
        case ReadLength: return takeLength(c, done);
        case ReadData:
            if (r.dataLength < kRelpDataKept - 1)
                r.data[r.dataLength++] = c;
            r.data[r.dataLength] = '\0';
            if (++r.read == r.length)
                r.state = ReadTrailer;
            return true;
        default:
            done = c == '\n';
            return done;
        }
    }

    bool takeLength(char c, int& done)
    {
        if (isDigit(c))
            return addDigit(r.length, r.read, c) && r.length <= kMaxDataLength;
        if (r.read == 0)
            return false;
        r.read = 0;
        if (c == '\n' && r.length == 0)
            return (done = 1), true;
        r.state = r.length == 0 ? ReadTrailer : ReadData;
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
    alertPeerWordsText("The collector answered: ", frame.data, why, sizeof why);
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
    RelpSenderState& s = channel.relp;
    int answered = 0;
    while (answered < s.inFlight && (alertQueueEntry(channel.queue, answered).tag & kAnswered))
        ++answered;
    if (answered == 0)
        return;
    s.inFlight -= answered;
    alertChannelConfirm(channel, answered);
    s.idleSinceMs = nowMs;
    alertConnectionExpectBy(channel.connection, s.inFlight > 0 ? nowMs + kAnswerTimeOutMs : 0);
}

void messageAnswered(AlertChannel& channel, const RelpFrameReader& frame, long long nowMs)
{
    RelpSenderState& s = channel.relp;
    for (int i = 0; i < s.inFlight; ++i) {
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
    RelpSenderState& s = channel.relp;
    const bool answer = std::strcmp(frame.command, "rsp") == 0;
    if (std::strcmp(frame.command, "serverclose") == 0) {
        if (s.inFlight > 0 || s.headSent > 0)
            return failSession(channel, "The collector closed the session.", nowMs);
        return endSession(channel);
    }
    if (!answer)
        return failSession(channel, "The collector sent something unexpected.", nowMs);
    if (s.phase == OpenSent && frame.txnr == 1) {
        if (!answeredOk(frame))
            return failAnswer(channel, frame, nowMs);
        s.phase = Ready;
        s.idleSinceMs = nowMs;
        return alertConnectionExpectBy(channel.connection, 0);
    }
    if (s.phase == Closing && frame.txnr == s.closeTxnr)
        return endSession(channel);
    messageAnswered(channel, frame, nowMs);
}

void readAnswers(AlertChannel& channel, long long nowMs)
{
    AlertConnection& c = channel.connection;
    while (c.inboxLength > 0 && channel.relp.phase != NoSession && c.state == ConnectionOpen) {
        int done = 0, bad = 0;
        const int used = relpReadFrame(channel.relp.reader, c.inbox, c.inboxLength, done, bad);
        alertConnectionConsume(c, used);
        if (bad)
            return failSession(channel, "The collector does not speak RELP.", nowMs);
        if (!done)
            return;
        const RelpFrameReader frame = channel.relp.reader;
        channel.relp.reader = RelpFrameReader{};
        frameRead(channel, frame, nowMs);
    }
}

// Writes the next messages, up to the window, as far as the connection takes them.
void writeMessages(AlertChannel& channel, long long nowMs)
{
    RelpSenderState& s = channel.relp;
    while (s.inFlight < channel.queue.count && s.inFlight < kWindow) {
        AlertQueueEntry& entry = alertQueueEntry(channel.queue, s.inFlight);
        if (s.headSent == 0)
            entry.tag = s.nextTxnr;
        unsigned long length = 0;
        const char* message = alertQueueMessage(channel.queue, s.inFlight, length);
        char frame[kFrameSize];
        int total = std::snprintf(frame, sizeof frame, "%lu syslog %lu ", entry.tag, length);
        std::memcpy(frame + total, message, length);
        total += static_cast<int>(length);
        frame[total++] = '\n';
        channel.queue.locked = s.inFlight + 1;
        s.headSent += static_cast<unsigned long>(
            alertConnectionWrite(channel.connection, frame + s.headSent, total - static_cast<int>(s.headSent)));
        if (s.headSent < static_cast<unsigned long>(total))
            return;
        s.headSent = 0;
        if (s.inFlight++ == 0)
            alertConnectionExpectBy(channel.connection, nowMs + kAnswerTimeOutMs);
        s.nextTxnr = nextTxnr(s.nextTxnr);
        s.idleSinceMs = nowMs;
    }
}

void closeWhenIdle(AlertChannel& channel, long long nowMs)
{
    RelpSenderState& s = channel.relp;
    if (s.inFlight > 0 || s.headSent > 0 || channel.queue.count > 0 || nowMs - s.idleSinceMs < kIdleCloseMs)
        return;
    s.closeTxnr = s.nextTxnr;
    s.nextTxnr = nextTxnr(s.nextTxnr);
    s.phase = Closing;
    if (!sendFrame(channel, s.closeTxnr, "close", "", nowMs + kCloseTimeOutMs))
        endSession(channel);
}

void pumpSession(AlertChannel& channel, long long nowMs)
{
    RelpSenderState& s = channel.relp;
    readAnswers(channel, nowMs);
    if (channel.connection.state != ConnectionOpen || s.phase == NoSession)
        return;
    if (channel.connection.peerClosed) {
        if (s.inFlight > 0 || s.headSent > 0 || s.phase == OpenSent)
            return failSession(channel, "The collector closed the connection.", nowMs);
        return endSession(channel);
    }
    if (s.phase == Connecting) {
        s.phase = OpenSent;
        s.nextTxnr = 2;
        if (!sendFrame(channel, 1, "open", kOffer, nowMs + kAnswerTimeOutMs))
            return failSession(channel, "The session could not be opened.", nowMs);
    }
    if (s.phase == Ready) {
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
    RelpSenderState& s = channel.relp;
    if (s.phase == NoSession) {
        if (channel.queue.count == 0)
            return;
        endSession(channel);
        s.phase = Connecting;
        const AlertEndpoint where{channel.syslog.collector, channel.syslog.port, 0, nullptr};
        alertConnectionOpen(channel.connection, where, nowMs);
    }
    // A few rounds, so that answers that came while frames went out are read at once.
    for (int round = 0; round < kRoundsPerPump && s.phase != NoSession; ++round) {
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
