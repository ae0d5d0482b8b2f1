#pragma once
// A private folder below $TMPDIR (or /tmp) for readers that need their input as
// a file; it and what is in it are removed when the fuzzer exits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

class FuzzScratch {
public:
    FuzzScratch()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/velmo-fuzz-XXXXXX";
        std::strncpy(folder_, pattern.c_str(), sizeof folder_ - 1);
        if (!mkdtemp(folder_))
            std::abort();
    }
    ~FuzzScratch()
    {
        for (const char* name : kNames)
            std::remove(path(name).c_str());
        rmdir(folder_);
    }

    std::string path(const char* name) const { return std::string(folder_) + "/" + name; }

    void write(const char* name, const std::uint8_t* data, std::size_t size) const
    {
        std::FILE* file = std::fopen(path(name).c_str(), "wb");
        if (!file)
            std::abort();
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }

    bool exists(const char* name) const
    {
        return access(path(name).c_str(), F_OK) == 0;
    }

private:
    static constexpr const char* kNames[] = {"velmo.sav", "velmo.tmp", "input.vlm"};
    char folder_[4096] = {};
};
