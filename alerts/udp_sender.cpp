#include "alerts/udp_sender.h"

#include "alerts/alert_channel.h"

#include <cstring>

namespace {

enum : long long { kResolveAgainMs = 5 * 60 * 1000 };

bool resolveDue(const UdpSenderState& udp, long long nowMs)
{
    return !udp.resolving && (!udp.resolved || nowMs - udp.resolvedAtMs >= kResolveAgainMs);
}

// A look-up that fails keeps the last address that was found, if any.
bool udpAddressReady(AlertChannel& channel, long long nowMs)
{
    UdpSenderState& udp = channel.udp;
    const int slot = channel.connection.resolveSlot;
    if (resolveDue(udp, nowMs)) {
        udp.resolving = netResolveStart(slot, channel.syslog.collector);
        udp.resolveDeadlineMs = nowMs + kResolveTimeOutMs;
        if (!udp.resolving && !udp.resolved)
            return alertChannelFail(channel, "The collector's name could not be resolved.", nowMs), false;
    }
    if (udp.resolving) {
        unsigned char address[4];
        const NetResolveState state = netResolvePoll(slot, address);
        if (state == NetResolvePending && nowMs < udp.resolveDeadlineMs)
            return udp.resolved != 0;
        if (state == NetResolvePending)
            netResolveCancel(slot);
        udp.resolving = 0;
        if (state == NetResolved)
            std::memcpy(udp.address, address, sizeof address);
        udp.resolved = udp.resolved || state == NetResolved;
        udp.resolvedAtMs = nowMs;
        if (!udp.resolved)
            return alertChannelFail(channel, "The collector's name could not be resolved.", nowMs), false;
    }
    return udp.resolved != 0;
}

} // namespace

void udpSenderPump(AlertChannel& channel, long long nowMs)
{
    UdpSenderState& udp = channel.udp;
    if (channel.queue.count == 0 || !udpAddressReady(channel, nowMs))
        return;
    if (udp.socket == kNoSocket)
        udp.socket = netCreateDatagramSocket();
    if (udp.socket == kNoSocket)
        return alertChannelFail(channel, "No socket could be opened here.", nowMs);
    while (channel.queue.count > 0) {
        unsigned long length = 0;
        const char* message = alertQueueMessage(channel.queue, 0, length);
        if (!netSendTo(udp.socket, udp.address, channel.syslog.port, message, static_cast<int>(length)))
            return alertChannelFail(channel, "A message to the collector could not be sent.", nowMs);
        alertChannelConfirm(channel, 1);
    }
}

void udpSenderClose(AlertChannel& channel)
{
    UdpSenderState& udp = channel.udp;
    if (udp.resolving)
        netResolveCancel(channel.connection.resolveSlot);
    udp.resolving = 0;
    netClose(udp.socket);
    udp.socket = kNoSocket;
}
