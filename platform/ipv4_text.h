#pragma once
// Dotted IPv4 addresses as text: one reading for the ignore list, the
// collector's check and the name look-up, so that one address can never
// match one and fail another. Four numbers 0 to 255, each without a leading
// zero: some resolvers read "010" as octal, so such a text is no address.

// Reads an address at the start of `text` into `address` (host order:
// a.b.c.d is a << 24 | b << 16 | c << 8 | d). Returns the character after
// it, or nullptr when `text` does not start with one.
const char* readIpv4(const char* text, unsigned long& address);

// 1 when the whole of `text` is one address; `bytes` then holds it in
// network order (a, b, c, d).
int parseIpv4(const char* text, unsigned char bytes[4]);
