#pragma once
// The platform's own socket layer is built into the unit tests once more, with
// this header included first, so that it links beside the fake under names of
// its own. Its tests include this header to reach it.
#define netStartup platformNetStartup
#define netCleanup platformNetCleanup
#define netStartupBalance platformNetStartupBalance
#define netCreateStreamSocket platformNetCreateStreamSocket
#define netBindAny platformNetBindAny
#define netListen platformNetListen
#define netLocalPort platformNetLocalPort
#define netAccept platformNetAccept
#define netWaitReadable platformNetWaitReadable
#define netReceive platformNetReceive
#define netSend platformNetSend
#define netClose platformNetClose
#define netAddressText platformNetAddressText
#include "engine/net.h"
