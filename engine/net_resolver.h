#pragma once
// The bookkeeping of the socket layer's name resolution, shared by its two
// platform files. Each hands in its own blocking look-up, which runs on a
// worker thread of its own, so the thread that asks never waits. A request
// that is abandoned still ends its worker; only its answer is lost.
#include "engine/net.h"

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

namespace net_resolver {

// What one request's worker hands back: the address first, then the state.
struct Lookup {
    std::atomic<int> state{NetResolvePending};
    std::uint8_t address[4] = {};
};

// 1 with the address when `name` is a dotted IPv4 address, four numbers of at most 255.
inline int parseDotted(const char* name, std::uint8_t address[4])
{
    for (int part = 0; part < 4; ++part) {
        int value = 0, digits = 0;
        for (; *name >= '0' && *name <= '9' && digits < 3; ++name, ++digits)
            value = value * 10 + (*name - '0');
        if (digits == 0 || value > 255 || (part < 3 && *name++ != '.'))
            return 0;
        address[part] = static_cast<std::uint8_t>(value);
    }
    return *name == '\0';
}

// Only the asking thread touches this table; each worker keeps its own reference to its record.
inline std::map<int, std::shared_ptr<Lookup>>& requests()
{
    static std::map<int, std::shared_ptr<Lookup>> table;
    return table;
}

using BlockingLookup = int (*)(const char* name, std::uint8_t address[4]);

inline int start(const char* name, BlockingLookup lookup)
{
    static int lastId = 0;
    auto record = std::make_shared<Lookup>();
    if (parseDotted(name, record->address)) {
        record->state = NetResolved;
    } else {
        try {
            std::thread([record, host = std::string(name), lookup] {
                std::uint8_t address[4] = {};
                const int found = lookup(host.c_str(), address);
                std::memcpy(record->address, address, sizeof address);
                record->state.store(found ? NetResolved : NetResolveFailed, std::memory_order_release);
            }).detach();
        } catch (const std::system_error&) {
            return 0;
        }
    }
    lastId = lastId == 0x7FFFFFFF ? 1 : lastId + 1;
    requests()[lastId] = record;
    return lastId;
}

inline NetResolveState poll(int request, std::uint8_t address[4])
{
    auto found = requests().find(request);
    if (found == requests().end())
        return NetResolveFailed;
    const auto state = static_cast<NetResolveState>(found->second->state.load(std::memory_order_acquire));
    if (state == NetResolved)
        std::memcpy(address, found->second->address, 4);
    if (state != NetResolvePending)
        requests().erase(found);
    return state;
}

inline void cancel(int request)
{
    requests().erase(request);
}

} // namespace net_resolver
