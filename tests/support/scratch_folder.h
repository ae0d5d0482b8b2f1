#pragma once
// A private folder in the working directory, removed with everything in it at the end. The test runners start
// in the build tree, so what a killed run leaves goes with that tree, not into the system's temporary folder.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#endif

struct ScratchFolder {
    ScratchFolder()
    {
#ifdef RLIMIT_FSIZE
        const rlimit cap = {64 << 20, 64 << 20};  // a runaway write ends the test at 64 MiB, not at a full disk
        setrlimit(RLIMIT_FSIZE, &cap);
#endif
        std::random_device random;
        do
            folder_ = std::filesystem::current_path() / ("velmo-" + std::to_string(random()));
        while (!std::filesystem::create_directory(folder_));
    }
    ~ScratchFolder() { std::filesystem::remove_all(folder_, ignored_); }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& b) { std::ofstream(path(name), std::ios::binary) << b; }
    std::string read(const std::string& name) const
    {
        std::ifstream file(folder_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    long count() const { return std::distance(std::filesystem::directory_iterator(folder_), {}); }
    std::filesystem::path folder_;
    std::error_code ignored_;
};
