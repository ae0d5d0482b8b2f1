// No TLS yet: every session fails to open, so nothing is ever sent in the clear instead.
#include "engine/tls.h"

int tlsOpen(const char*, const unsigned char*) { return 0; }
TlsResult tlsHandshake(int, const char*, int, int& used, char*, int, int& outLength, TlsFailure& failure)
{
    used = outLength = 0;
    failure = TlsFailureHandshake;
    return TlsFailed;
}
int tlsEncrypt(int, const char*, int, char*, int, int& outLength) { return outLength = 0; }
TlsResult tlsDecrypt(int, const char*, int, int& used, char*, int, int& plainLength)
{
    used = plainLength = 0;
    return TlsFailed;
}
int tlsCloseNotify(int, char*, int) { return 0; }
void tlsFree(int) {}
