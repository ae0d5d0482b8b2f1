#pragma once
// Secrets kept in a file for this user alone: the e-mail password. On
// Windows, DPAPI for the signed-in user (CryptProtectData); the text kept is
// "dpapi:" and the protected bytes in Base64. Elsewhere (the core's tests) a
// stand-in of the same shape that protects nothing.

enum { kSecretTextSize = 1024 };

// The kept form of `plain`. 1 on success.
int protectSecret(const char* plain, char* kept, int keptSize);

// `kept` back in the clear. 1 on success (a foreign or damaged text: 0).
int unprotectSecret(const char* kept, char* plain, int plainSize);

// Whether `text` is a kept form ("dpapi:" first) rather than a password in the clear.
int isProtectedSecret(const char* text);
