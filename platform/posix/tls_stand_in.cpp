// No TLS outside Windows: no session is ever had, so a TLS target fails as a
// handshake would.
#include "platform/tls.h"

int tlsOpen(const char*, const unsigned char*)
{
    return 0;
}

TlsResult tlsHandshake(int, const char*, int, int& used, char*, int, int& outLength, TlsFailure& failure)
{
    used = 0;
    outLength = 0;
    failure = TlsFailureHandshake;
    return TlsFailed;
}

int tlsCheckPending(int)
{
    return 0;
}

int tlsEncrypt(int, const char*, int, char*, int, int& outLength)
{
    outLength = 0;
    return 0;
}

TlsResult tlsDecrypt(int, const char*, int, int& used, char*, int, int& plainLength)
{
    used = 0;
    plainLength = 0;
    return TlsFailed;
}

int tlsCloseNotify(int, char*, int)
{
    return 0;
}

void tlsFree(int)
{
}
