// Any bytes as the callers of one daemon. The first byte picks it; a Custom one takes its numbers and texts
// from the bytes that follow. Then each byte is a step: a caller connects (with the room its buffers have),
// sends bytes, hangs up, or the window ticks or fires the disconnect timer. The listener must keep to one
// caller at a time, and each caller must have received what an independent model of the script allows.
#include "engine/conversation.h"
#include "fakes/front_end_fake.h"
#include "fakes/net_fake.h"
#include "support/scripts.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// A caller as the test saw it (room npos: no end); `drained` is what the decoy read while taking it: the telnet
// options' answers.
struct Seen { std::string sent; std::size_t room; bool accepted = false; std::size_t drained = 0; };

// What a caller may have received once the decoy has read `read`; `prompt` is what a start-over that
// read nothing yet may have added.
std::string expected(const DaemonScript& s, const std::string& read, std::size_t drained, std::string& prompt)
{
    const bool echoes = s.echoWelcome || s.echoReply;
    std::string out = std::string(echoes ? "\xFF\xFB\x01\xFF\xFD\x03\xFF\xFB\x03\xFF\xFE\x01" : "") + s.welcome;
    // The prompt again: the welcome after its last line feed but one at the very end (npos + 1 is 0).
    const std::string welcome = s.welcome;
    const std::size_t feed = welcome.size() < 2 ? std::string::npos : welcome.rfind('\n', welcome.size() - 2);
    const std::string again = s.repeat ? "\r\n" + welcome.substr(feed + 1) : "";
    int line = 1;
    for (std::size_t i = drained; i < read.size(); ++i) {
        if (line > s.replyCount)
            out += again, line = 1;
        if (((line == 1 && s.echoWelcome) || (line == 2 && s.echoReply)) && read[i] != '\n')
            out += read[i];
        if (read[i] == '\r')
            out += std::string(echoes ? "\n\r" : "") + (line == 1 ? s.reply : line == 2 ? s.goodbye : ""), ++line;
    }
    prompt = line > s.replyCount ? again : "";
    return out;
}

void checkListener(const ListenerState& listener, const DaemonScript& s, const std::vector<Seen>& seen)
{
    int open = 0;
    for (std::size_t i = 0; i < seen.size() && seen[i].accepted; ++i)
        open += fakeNet().callers[i].closes == 0;
    assert(open == listener.callerActive && listener.watchedSockets.count == 1 + open);
    assert(listener.stage >= 0 && listener.stage <= (s.replyCount > 0 ? s.replyCount : 0) + 1);
    assert(open || (listener.stage == 0 && listener.repeatPending == 0));
    const std::string& events = fakeFront().events;
    const std::size_t status = events.rfind("status ");
    assert(status == std::string::npos || events.compare(status + 7, 2, open ? "De" : "Li") == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string in(reinterpret_cast<const char*>(data), size);
    std::size_t at = 0;
    const auto next = [&] { return at < size ? int(std::uint8_t(in[at++])) : -1; };
    const auto take = [&](std::size_t n) { return at += n = std::min(n, size - at), in.substr(at - n, n); };
    const int kind = size ? next() % 5 + 1 : DaemonFreeBSD;
    DaemonScript s = builtIn(kind);
    if (kind == DaemonCustom) {
        s.replyCount = next() % 5, s.timerChoice = next() % 3;
        s.echoWelcome = next() & 1, s.echoReply = next() & 1, s.repeat = next() & 1;
        for (char* text : {s.welcome, s.reply, s.goodbye})  // lengths in threes, up to the first NUL
            copyText(text, take(3 * (next() & 0xFF)).c_str(), kScriptTextSize);
    }
    resetFakeNet(), resetFakeFront();
    ListenerState listener;
    assert(startListening(listener, nullptr, s.port) == 1);
    std::vector<Seen> seen;
    for (int step; (step = next()) >= 0; checkListener(listener, s, seen)) {
        const int room = step % 5 == 0 ? next() : 0;
        if (step % 5 == 0)
            seen.push_back({"", std::size_t(fakeConnect().sendRoom = room >= 0x80 ? (room & 0x7F) * 8 : -1)});
        else if (step % 5 == 2 && !seen.empty())
            fakeNet().callers.back().hungUp = true;
        else if (step % 5 == 3)
            pollTick(listener, s, "", nullptr);
        else if (step % 5 == 4)
            disconnectTimerFired(listener, nullptr);
        else if (!seen.empty()) {  // the caller sends
            const std::string bytes = take(next() & 0xFF);
            fakeNet().callers.back().input += bytes, seen.back().sent += bytes;
        }
        for (std::size_t i = 0; i < seen.size(); ++i)  // the backlog holds the callers not yet taken
            if (!seen[i].accepted && fakeNet().backlog.size() < seen.size() - i)
                seen[i].accepted = true, seen[i].drained = seen[i].sent.size() - fakeNet().callers[i].input.size();
    }
    stopListening(listener, nullptr);
    assert(!fakeNet().listenerOpen && netStartupBalance() == 0);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const FakeCaller& caller = fakeNet().callers[i];
        assert(caller.closes == seen[i].accepted && (seen[i].drained == 0 || s.echoWelcome || s.echoReply));
        std::string prompt;
        const std::string read = seen[i].sent.substr(0, seen[i].sent.size() - caller.input.size());
        const std::string due = seen[i].accepted ? expected(s, read, seen[i].drained, prompt) : "";
        const std::size_t room = seen[i].room;
        assert(caller.received == due.substr(0, room) || caller.received == (due + prompt).substr(0, room));
    }
    return 0;
}
