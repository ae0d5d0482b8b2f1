#pragma once
// RELP, as rsyslog's imrelp speaks it: every message is answered by the
// collector, so a message leaves the queue only on its "200" answer. Frames
// are `TXNR SP COMMAND SP DATALEN [SP DATA] LF`. A session opens with
// `1 open`, carries `N syslog` frames (several may wait for their answers),
// and closes with `N close 0` after 60 s without a message. What is not
// answered when a session breaks goes out again, whole, on the next one.
// A non-200 answer keeps the message, shows the collector's text, and the
// session starts again after the pause.
struct AlertChannel;

enum { kRelpDataKept = 256 };
// One RELP frame as it is read: where the last read stopped.
struct RelpFrameReader {
    int state;
    unsigned long txnr, length, read;
    char command[16];
    int commandLength;
    char data[kRelpDataKept];  // the start of its data; the rest is read and dropped
    int dataLength;
};

// What the RELP sender keeps between pumps.
struct RelpSenderState {
    int phase;               // the relp sender's own
    unsigned long nextTxnr;  // 1 to 999999999
    unsigned long closeTxnr;
    int inFlight;            // messages written whole and not answered yet, from the front of the queue
    unsigned long headSent;  // bytes of the next message's frame written
    long long idleSinceMs;
    RelpFrameReader reader;
};

void relpSenderPump(AlertChannel& channel, long long nowMs);
void relpSenderClose(AlertChannel& channel);

// For the tests: reads one frame from `bytes`, resuming where the last call
// stopped. Returns the bytes it used; `done` is set when a frame is whole,
// `bad` when the bytes are not RELP.
int relpReadFrame(RelpFrameReader& reader, const char* bytes, int length, int& done, int& bad);
