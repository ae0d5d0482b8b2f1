#include "storage/custom_daemon_file.h"

#include "engine/error_notice.h"
#include "storage/scratch_save.h"
#include "storage/stored_values.h"

#include <cstdio>
#include <cstring>

namespace {

const char kCurrentHeader[] = "[Velmoranth Custom Protocol v1.9]";
const char kUnversionedHeader[] = "[Velmoranth Custom Protocol]";
const char kV18Header[] = "[Velmoranth Custom Protocol v1.8]";

enum { kHeaderLineSize = 600 };

bool versionOfHeader(const char* header, CustomFileVersion& version)
{
    if (std::strcmp(header, kCurrentHeader) == 0)
        version = CustomFileCurrent;
    else if (std::strcmp(header, kUnversionedHeader) == 0)
        version = CustomFileUnversioned;
    else if (std::strcmp(header, kV18Header) == 0)
        version = CustomFileV18;
    else
        return false;
    return true;
}

void readBody(std::FILE* file, CustomFileVersion version, DaemonScript& script)
{
    readScriptTexts(file, script);
    if (version == CustomFileUnversioned) {
        script.timerChoice = 0;
        script.echoWelcome = 0;
        script.echoReply = 0;
        script.repeat = 0;
        return;
    }
    readScriptTimerAndEcho(file, script);
    if (version == CustomFileV18)
        script.repeat = script.timerChoice > 0 ? 1 : 0;
    else
        readNumber(file, "CWR", script.repeat);
}

void writeBody(std::FILE* file, const DaemonScript& script)
{
    std::fprintf(file, "%s\r\n", kCurrentHeader);
    writeScriptLines(file, script);
}

} // namespace

CustomFileReadResult readCustomDaemonFile(const char* fileName, DaemonScript& script,
                                          CustomFileVersion& version)
{
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return CustomFileNotFound;
    char header[kHeaderLineSize];
    readFirstLine(file, header, sizeof header);
    if (!versionOfHeader(header, version)) {
        std::fclose(file);
        return CustomFileUnknownFormat;
    }
    readBody(file, version, script);
    std::fclose(file);
    return CustomFileRead;
}

int customFileNoticeCode(CustomFileReadResult result)
{
    switch (result) {
    case CustomFileNotFound:
        return NoticeFileNotFound;
    case CustomFileUnknownFormat:
        return NoticeUnknownFormat;
    default:
        return 0;
    }
}

int writeCustomDaemonFile(const char* fileName, const DaemonScript& script)
{
    char scratch[kScratchPathSize];
    std::FILE* file = openSaveFile(fileName, scratch, sizeof scratch);
    if (!file)
        return 0;
    writeBody(file, script);
    return finishSave(file, scratch, fileName);
}
