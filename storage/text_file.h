#pragma once
// A small text file held whole in memory, as a person or a script saved it:
// ANSI (its bytes as they are), UTF-8 with a BOM, or UTF-16 LE or BE with a
// BOM; lines ending in CR LF, LF or a lone CR; a Ctrl-Z ends the text. Lines
// are read as UTF-8 with their places in the file, so that an edit can
// change one line and keep every other byte as it was.

enum { kTextFileMost = 256 * 1024 };

enum TextEncoding { TextBytes, TextUtf8Bom, TextUtf16Le, TextUtf16Be };

struct TextFile {
    TextEncoding encoding;
    int textStart;  // after the BOM
    int length;     // bytes held
    unsigned char bytes[kTextFileMost];
};

enum TextFileLoad { TextFileLoaded, TextFileMissing, TextFileTooLarge, TextFileUnreadable };

// Reads the file whole; a missing file leaves an empty one in `file`.
TextFileLoad textFileLoad(const char* path, TextFile& file);

// A line's place: its text is [start, end); the next line starts at `next`.
struct TextLinePlace {
    int start, end, next;
};

enum TextLineRead { TextLineNone, TextLineWhole, TextLineTooLong };

// The line that starts at byte `at` (textStart for the first), without its
// end, into `line` (`size` bytes, nul-ended) as UTF-8; a NUL becomes DEL, so
// that it spoils its value rather than cut it short. A line that does not
// fit is read to its end and reported, never cut into a shorter value.
TextLineRead textFileLine(const TextFile& file, int at, char* line, int size, TextLinePlace& place);

// Where the text ends: at a Ctrl-Z, or at the end of the bytes.
int textFileEnd(const TextFile& file);

// Replaces the bytes [start, end) with `text` in the file's own encoding
// (`start` == `end` inserts): in UTF-16, `text` is read as UTF-8, as lines
// are given; in a byte file its bytes go as they are. 0, with nothing
// changed, when it does not fit.
int textFileReplace(TextFile& file, int start, int end, const char* text);

// Saves the bytes through a scratch file that then takes the file's place. 1 on success.
int textFileSave(const TextFile& file, const char* path);
