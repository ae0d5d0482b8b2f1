#include "storage/settings_file.h"

#include "storage/scratch_save.h"
#include "storage/stored_values.h"
#include "storage/text_encoding.h"

#include <cstdio>
#include <cstring>

namespace {

const char kCurrentHeader[] = "[Velmoranth Settings v1.9]";
const char kUnversionedHeader[] = "[Velmoranth Settings]";
const char kV18Header[] = "[Velmoranth Settings v1.8]";
const char kUpgradeScratchName[] = "velmo.tmp";

enum { kUpgradeLineSize = 300, kLoadLineSize = 600 };

// A "CCT=" token whose value starts above "0" (a v1.8 timer that was set).
bool isTimerSetToken(const char* token)
{
    return std::strncmp(token, "CCT", 3) == 0 && std::strlen(token) >= 5 &&
           static_cast<unsigned char>(token[4]) > '0';
}

// Copies the body of an old file one token per line; 1 when a set timer was seen.
int copyTokens(std::FILE* in, std::FILE* out)
{
    char token[kUpgradeLineSize];
    int timerSet = 0;
    while (readToken(in, token, sizeof token)) {
        if (isTimerSetToken(token))
            timerSet = 1;
        std::fprintf(out, "%s\r\n", token);
    }
    return timerSet;
}

// Writes the upgraded form of an old file, whose header has been read, to `out`.
void writeUpgraded(std::FILE* in, bool unversioned, std::FILE* out)
{
    std::fprintf(out, "%s\r\n", kCurrentHeader);
    int timerSet = copyTokens(in, out);
    if (unversioned) {
        std::fprintf(out, "CCT=%d\r\n", 0);
        std::fprintf(out, "CE1=%d\r\nCE2=%d\r\n", 0, 0);
        std::fprintf(out, "CWR=%d\r\n", 0);
    } else {
        std::fprintf(out, "CWR=%d\r\n", timerSet);
    }
}

} // namespace

int upgradeSettingsFile(const char* fileName)
{
    std::FILE* in = std::fopen(fileName, "rb");
    if (!in)
        return 0;
    char header[kUpgradeLineSize];
    readFirstLine(in, header, sizeof header);
    bool unversioned = std::strcmp(header, kUnversionedHeader) == 0;
    bool old = unversioned || std::strcmp(header, kV18Header) == 0;
    char scratch[kScratchPathSize];
    // Made new here: a "velmo.tmp" that is already there is not the upgrade's
    // to overwrite, so the upgrade then waits and the old file stays.
    std::FILE* out = old ? createScratchNamed(fileName, kUpgradeScratchName, scratch, sizeof scratch) : nullptr;
    if (out)
        writeUpgraded(in, unversioned, out);
    bool readWhole = !std::ferror(in);
    // Closed before the replace: Windows will not replace a file that is open.
    std::fclose(in);
    if (out && readWhole) {
        finishSave(out, scratch, fileName);
    } else if (out) {
        std::fclose(out);
        std::remove(scratch);
    }
    return 1;
}

void loadSettings(std::int32_t& listenOnStart, std::int32_t& daemonKind, std::int32_t& logEnabled,
                  char logPath[kPathSize], DaemonScript& customScript, const char* fileName)
{
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return;
    char header[kLoadLineSize];
    readFirstLine(file, header, sizeof header);
    readNumber(file, "LSN", listenOnStart);
    readNumber(file, "MDN", daemonKind);
    readNumber(file, "MLD", logEnabled);
    readEncodedText(file, "MLP", logPath, kPathSize);
    readScriptTexts(file, customScript);
    readScriptTimerAndEcho(file, customScript);
    readNumber(file, "CWR", customScript.repeat);
    std::fclose(file);
}

void saveSettings(int listenOnStart, int daemonKind, int logEnabled, const char* logPath,
                  DaemonScript customScript, const char* fileName)
{
    char scratch[kScratchPathSize];
    std::FILE* file = openSaveFile(fileName, scratch, sizeof scratch);
    if (!file)
        return;
    std::fprintf(file, "%s\r\n", kCurrentHeader);
    char encodedPath[kEncodedSize];
    encodeText(logPath, encodedPath, sizeof encodedPath);
    std::fprintf(file, "LSN=%d\r\nMDN=%d\r\nMLD=%d\r\nMLP=%s\r\n", listenOnStart, daemonKind,
                 logEnabled, encodedPath);
    writeScriptLines(file, customScript);
    finishSave(file, scratch, fileName);
}
