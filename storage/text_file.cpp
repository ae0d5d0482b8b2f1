#include "storage/text_file.h"

#include "storage/scratch_save.h"

#include <cstdio>
#include <cstring>

namespace {

enum { kCtrlZ = 26, kDel = 127, kReplacement = 0xFFFD };

bool wide(const TextFile& file)
{
    return file.encoding == TextUtf16Le || file.encoding == TextUtf16Be;
}

long unitAt(const TextFile& file, int at)
{
    if (at + 1 >= file.length)
        return -1;  // an odd last byte ends the text
    const long first = file.bytes[at], second = file.bytes[at + 1];
    return file.encoding == TextUtf16Le ? first | second << 8 : first << 8 | second;
}

// One UTF-16 character at `at`: a lone surrogate is U+FFFD, and what follows
// a lone high one is read on its own.
long wideAt(const TextFile& file, int at, int& next)
{
    const long unit = unitAt(file, at);
    next = at + 2;
    if (unit < 0xD800 || unit > 0xDFFF)
        return unit;
    const long low = unit < 0xDC00 ? unitAt(file, next) : -1;
    if (low < 0xDC00 || low > 0xDFFF)
        return kReplacement;
    next += 2;
    return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
}

// The character at `at` and the byte after it; -1 at the end of the text.
long characterAt(const TextFile& file, int at, int& next)
{
    if (at >= file.length)
        return -1;
    long c = file.bytes[at];
    next = at + 1;
    if (wide(file))
        c = wideAt(file, at, next);
    return c == kCtrlZ ? -1 : c;
}

// `c` as UTF-8 (a byte file's bytes pass as they are), NUL as DEL.
int utf8Of(const TextFile& file, long c, unsigned char out[4])
{
    if (c == 0)
        c = kDel;
    if (c < 0x80 || !wide(file)) {
        out[0] = static_cast<unsigned char>(c);
        return 1;
    }
    const int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    const unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = length - 1; i > 0; --i, c >>= 6)
        out[i] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    out[0] = static_cast<unsigned char>(lead[length] | c);
    return length;
}

TextEncoding encodingOf(const TextFile& file, int& bom)
{
    const unsigned char* b = file.bytes;
    bom = 0;
    if (file.length >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
        return bom = 3, TextUtf8Bom;
    if (file.length >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF)))
        return bom = 2, b[0] == 0xFF ? TextUtf16Le : TextUtf16Be;
    return TextBytes;
}

// The UTF-8 character at `at` and the byte after it; a byte that begins no
// sound character (one from an ANSI text) is U+FFFD on its own.
long utf8CharacterAt(const unsigned char* text, int at, int& next)
{
    const int c = text[at];
    const int length = c < 0x80 ? 1 : c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
    next = at + 1;
    if (length < 2)
        return length ? c : kReplacement;
    long value = c & (0x3F >> (length - 1));
    for (int i = 1; i < length; ++i) {
        if ((text[at + i] & 0xC0) != 0x80)
            return kReplacement;
        value = value << 6 | (text[at + i] & 0x3F);
    }
    const long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kReplacement;
    next = at + length;
    return value;
}

// One UTF-16 unit into `out` at `length` (nullptr: only counted).
void putUnit(const TextFile& file, long unit, unsigned char* out, int& length)
{
    if (out) {
        const bool little = file.encoding == TextUtf16Le;
        out[length + (little ? 0 : 1)] = static_cast<unsigned char>(unit & 0xFF);
        out[length + (little ? 1 : 0)] = static_cast<unsigned char>(unit >> 8);
    }
    length += 2;
}

// `text` in the file's encoding into `out` (nullptr: only counted): a byte
// file's bytes as they are, else UTF-16 of its UTF-8. Its length in bytes.
int encodedText(const TextFile& file, const char* text, unsigned char* out)
{
    int length = static_cast<int>(std::strlen(text));
    if (!wide(file)) {
        if (out)
            std::memcpy(out, text, static_cast<size_t>(length));
        return length;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    length = 0;
    for (int at = 0, next = 0; bytes[at]; at = next) {
        const long c = utf8CharacterAt(bytes, at, next);
        if (c >= 0x10000) {
            putUnit(file, 0xD800 + ((c - 0x10000) >> 10), out, length);
            putUnit(file, 0xDC00 + ((c - 0x10000) & 0x3FF), out, length);
        } else {
            putUnit(file, c, out, length);
        }
    }
    return length;
}

} // namespace

TextFileLoad textFileLoad(const char* path, TextFile& file)
{
    file.encoding = TextBytes;
    file.textStart = file.length = 0;
    std::FILE* stream = std::fopen(path, "rb");
    if (!stream)
        return TextFileMissing;
    file.length = static_cast<int>(std::fread(file.bytes, 1, sizeof file.bytes, stream));
    const bool more = file.length == static_cast<int>(sizeof file.bytes) && std::fgetc(stream) != EOF;
    const bool failed = std::ferror(stream) != 0;
    std::fclose(stream);
    file.encoding = encodingOf(file, file.textStart);
    return failed ? TextFileUnreadable : more ? TextFileTooLarge : TextFileLoaded;
}

TextLineRead textFileLine(const TextFile& file, int at, char* line, int size, TextLinePlace& place)
{
    int next = at, length = 0;
    long c = characterAt(file, at, next);
    place = TextLinePlace{at, at, at};
    line[0] = '\0';
    if (c < 0)
        return TextLineNone;
    TextLineRead read = TextLineWhole;
    for (; c >= 0 && c != '\n' && c != '\r'; at = next, c = characterAt(file, at, next)) {
        unsigned char bytes[4];
        const int count = utf8Of(file, c, bytes);
        for (int i = 0; i < count; ++i) {
            if (length == size - 1)
                read = TextLineTooLong;
            else
                line[length++] = static_cast<char>(bytes[i]);
        }
    }
    line[length] = '\0';
    place.end = at;
    if (c == '\r' && characterAt(file, next, at) == '\n')
        next = at;
    place.next = c < 0 ? place.end : next;
    return read;
}

int textFileEnd(const TextFile& file)
{
    int at = file.textStart, next = at;
    while (characterAt(file, at, next) >= 0)
        at = next;
    return at;
}

int textFileReplace(TextFile& file, int start, int end, const char* text)
{
    const int added = encodedText(file, text, nullptr);
    if (start < 0 || end < start || end > file.length || file.length - (end - start) + added > kTextFileMost)
        return 0;
    std::memmove(file.bytes + start + added, file.bytes + end, static_cast<size_t>(file.length - end));
    file.length += added - (end - start);
    encodedText(file, text, file.bytes + start);
    return 1;
}

int textFileSave(const TextFile& file, const char* path)
{
    char scratch[kScratchPathSize];
    std::FILE* stream = openSaveFile(path, scratch, sizeof scratch);
    if (!stream)
        return 0;
    // A short write sets the stream's error, which the finish sees: the old file stays.
    std::fwrite(file.bytes, 1, static_cast<size_t>(file.length), stream);
    return finishSave(stream, scratch, path);
}
