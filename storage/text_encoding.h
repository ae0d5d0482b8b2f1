#pragma once
// The encoded form of stored texts: Base64 characters of the text's bits,
// without standard padding, followed by "==" always.

enum { kEncodedSize = 600 };

// Encodes `text` into `encoded` (a buffer of `encodedSize` bytes). A text whose
// encoded form would not fit is cut to the longest prefix that does (447 bytes
// for a 600-byte buffer).
void encodeText(const char* text, char* encoded, unsigned encodedSize);

// Decodes `encoded` (only its first 599 characters are looked at) into `text`,
// a buffer of `textSize` bytes; a longer result is cut to textSize - 1 bytes.
// Standard Base64, padded or not, decodes as well. A character outside the
// alphabet counts as 61; bits that make no whole byte are dropped.
void decodeText(const char* encoded, char* text, unsigned textSize);
