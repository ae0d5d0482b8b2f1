#pragma once
// Name look-ups that never wait: a dotted IPv4 address resolves at once, a
// host name on a worker thread of the platform's own. Each asker has a slot of
// its own (0 to kResolveSlots - 1), so one asker never has more than one
// look-up running, however often it asks. Start begins a look-up in the slot:
// 0 when the slot's last look-up, even an abandoned one, still runs, or no
// thread could be had. Poll it until it gives an answer, which frees the slot.
// Cancel abandons the slot's look-up: its worker runs to its end unheard.
#include <cstdint>

enum { kResolveSlots = 8 };
enum NetResolveState { NetResolvePending, NetResolved, NetResolveFailed };

int netResolveStart(int slot, const char* name);
NetResolveState netResolvePoll(int slot, std::uint8_t address[4]);
void netResolveCancel(int slot);

// Each platform's own blocking look-up of an IPv4 address, run on a worker.
int netLookUpBlocking(const char* name, std::uint8_t address[4]);
