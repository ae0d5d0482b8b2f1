#pragma once
// A private folder in the working directory, removed with everything in it at the end. The test runners start
// in the build tree, so what a killed run leaves goes with that tree, not into the system's temporary folder.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#endif

class ScratchFolder {
public:
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
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream file(folder_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    long count() const { return std::distance(std::filesystem::directory_iterator(folder_), {}); }

private:
    std::filesystem::path folder_;
};

// `text` with every LF made CR LF, as the program ends its lines.
inline std::string crlf(std::string text)
{
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.insert(at, 1, '\r');
    return text;
}

inline std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    return text.replace(text.find(from), from.size(), to);
}
