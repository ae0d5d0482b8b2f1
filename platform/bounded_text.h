#pragma once
// Text appended to a fixed buffer. What does not fit is left out while
// `length` goes on counting, so the writer learns at the end whether all of
// it fitted; the buffer is nul-ended as far as it holds.

struct BoundedText {
    char* data;
    int size;
    int length;  // every character appended, written or not
    char last;   // the last character appended, '\0' before the first

    void put(char c);
    void text(const char* s);
    void bytes(const char* s, int n);
    void number(long long value);

    // All of it and a closing NUL fitted.
    bool fits() const { return length < size; }
    // What the buffer holds: the length, or size - 1 when it was cut.
    int heldLength() const { return length < size ? length : size - 1; }
};

// An empty text over `data` (`size` > 0 bytes).
BoundedText boundedText(char* data, int size);
