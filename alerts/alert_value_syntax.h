#pragma once
// The syntax of the alerts file's values, which the Alerts dialog shares:
// the names of each choice, numbers, comma-separated lists, fingerprints,
// the ignore list, recipients and the events a person's channel carries.
#include "alerts/alert_targets.h"

enum { kFingerprintTextSize = 100 };  // 32 pairs of hex digits joined by ':'

// Each choice's names, in the order of its enum.
extern const char* const kSyslogProtocolNames[4];
extern const char* const kSyslogFramingNames[2];
extern const char* const kMailSecurityNames[3];
extern const char* const kWebhookFormatNames[5];
extern const char* const kEventChoiceNames[2];

// The index of `value` among the `count` names, any case; -1 when none.
int nameIndexIn(const char* value, const char* const* names, int count);

template <int N> int nameIndex(const char* value, const char* const (&names)[N])
{
    return nameIndexIn(value, names, N);
}

inline bool inRange(int value, int count)
{
    return static_cast<unsigned>(value) < static_cast<unsigned>(count);
}

// The name of `index`, or the first name when it is out of range.
template <int N> const char* nameOf(const char* const (&names)[N], int index)
{
    return inRange(index, N) ? names[index] : names[0];
}

// Plain decimal digits (at most six) from `text` into `value`, which must lie
// in [low, high]; the character after them, or nullptr.
const char* readNumberIn(const char* text, int low, int high, int& value);

// The next comma-separated entry of a list, without the blanks around it, into
// `entry` (cut to fit, `fits` false then). False once the list is over; `next`
// is nullptr after its last entry.
bool takeEntry(const char*& next, char* entry, int size, bool& fits);

// "sha-256:" optional, then 32 bytes in hex, with or without colons, any
// case; "" for none. 1 when sound.
int parseFingerprint(const char* text, AlertFingerprint& fingerprint);
// The fingerprint as the file keeps it: 64 hex digits in pairs joined by ':'; "" for none.
void fingerprintText(const AlertFingerprint& fingerprint, char* text, int size);

// "10.0.5.20, 192.168.7.0/24, 10.0.0.9:23": 1 when sound; else 0 and the
// first bad entry, for the message, in `bad`.
int parseIgnoreList(const char* text, AlertFilters& filters, char* bad, int badSize);
void ignoreListText(const AlertFilters& filters, char* text, int size);

// "a@example.net, b@example.net": up to ten; 1 when sound (no empty entry,
// none over 254 characters). Each address is checked by mailTargetProblem.
int parseRecipients(const char* text, MailTarget& target);

// "connect" or "connect,listen,standby" (names in any order and case, blanks
// around them ignored; empty: connect). 1 when sound.
int parseEvents(const char* text, AlertEventChoice& events);

// TCP ports and ranges, comma separated: "21, 22, 80, 8000-8010"; at most
// kMostTripwires ports once ranges are expanded, each 1 to 65535. 1 when
// sound, the ports ascending in `settings`; else 0, and the first bad entry
// in `bad` (or "" when there are merely too many).
int parsePortList(const char* text, TripwireSettings& settings, char* bad, int badSize);
// The ports as the file keeps them: "21,22,80,8000-8010" (a run of three or
// more as a range).
void portListFileText(const TripwireSettings& settings, char* text, int size);
