#include "fakes/tls_fake.h"

#include <algorithm>
#include <cstring>

namespace {

FakeTls tls;
const std::string kHello = "<hello>", kWelcome = "<welcome>", kCloseNotify = "<close_notify>";

int copyOut(const std::string& bytes, char* out, int outSize)
{
    if (static_cast<int>(bytes.size()) > outSize)
        return 0;
    std::memcpy(out, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

} // namespace

FakeTls& fakeTls() { return tls; }
void resetFakeTls() { tls = FakeTls(); }

int tlsOpen(const char* serverName, const unsigned char* fingerprint)
{
    tls.serverName = serverName;
    tls.pinned = fingerprint != nullptr;
    ++tls.live;
    return ++tls.opened;
}

TlsResult tlsHandshake(int session, const char* in, int inLength, int& used, char* out, int outSize, int& outLength,
                       TlsFailure& failure)
{
    used = outLength = 0;
    if (tls.helloSentBy != session) {  // the first step of a session
        tls.helloSentBy = session;
        outLength = copyOut(kHello, out, outSize);
        return TlsNeedMore;
    }
    if (tls.checking == session && tls.holdCheck)
        return TlsNeedMore;
    if (tls.checking != session) {
        if (inLength < static_cast<int>(kWelcome.size()))
            return TlsNeedMore;
        if (std::string(in, kWelcome.size()) != kWelcome)
            return failure = TlsFailureHandshake, TlsFailed;
        used = static_cast<int>(kWelcome.size());
        if (tls.holdCheck && !tls.pinned)
            return tls.checking = session, TlsNeedMore;
    }
    tls.checking = 0;
    failure = tls.failure;
    return failure == TlsFailureNone ? TlsDone : TlsFailed;
}

int tlsCheckPending(int session) { return session != 0 && tls.checking == session; }

int tlsEncrypt(int, const char* plain, int length, char* out, int outSize, int& outLength)
{
    const int taken = length < kTlsMaxPlain ? length : kTlsMaxPlain;
    outLength = copyOut(std::string(plain, static_cast<std::size_t>(taken)), out, outSize);
    return outLength ? taken : 0;
}

TlsResult tlsDecrypt(int, const char* in, int inLength, int& used, char* plain, int plainSize, int& plainLength)
{
    const std::string bytes(in, static_cast<std::size_t>(inLength));
    used = plainLength = 0;
    if (tls.recordSize && inLength < tls.recordSize)
        return TlsNeedMore;
    if (tls.recordSize) {
        plainLength = copyOut(bytes.substr(0, kTlsMaxPlain), plain, plainSize);
        used = tls.recordSize;
        return TlsDone;
    }
    if (bytes.compare(0, kCloseNotify.size(), kCloseNotify) == 0)
        return used = static_cast<int>(kCloseNotify.size()), TlsClosed;
    const std::size_t end = std::min(bytes.find(kCloseNotify), static_cast<std::size_t>(plainSize));
    plainLength = used = copyOut(bytes.substr(0, end), plain, plainSize);
    return used ? TlsDone : TlsNeedMore;
}

int tlsCloseNotify(int, char* out, int outSize) { return copyOut(kCloseNotify, out, outSize); }
void tlsFree(int session)
{
    tls.live -= session != 0;
    tls.checking = tls.checking == session ? 0 : tls.checking;  // an abandoned check
}
