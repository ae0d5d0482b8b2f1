#pragma once
// The encoded form of stored texts: Base64 characters of the text's bits,
// without standard padding, followed by "==" always.

enum { kEncodedSize = 600 };

// Encodes `text` into `encoded` (a buffer of `encodedSize` bytes). A text whose
// encoded form would not fit is cut to the longest prefix that does.
void encodeText(const char* text, char* encoded, unsigned encodedSize);

// Decodes `encoded` (only its first 599 characters are looked at) into `text`,
// a buffer of `textSize` bytes; a longer result is cut to textSize - 1 bytes.
void decodeText(const char* encoded, char* text, unsigned textSize);
