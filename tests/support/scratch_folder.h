#pragma once
// A private temporary folder for the storage tests and fuzzers, removed with
// everything in it at the end; file helpers that read and write bytes exactly.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

class ScratchFolder {
public:
    ScratchFolder()
    {
        namespace fs = std::filesystem;
        std::random_device random;
        for (;;) {
            auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
            fs::path candidate = fs::temp_directory_path() /
                                 ("velmo-storage-" + std::to_string(tick) + "-" + std::to_string(random()));
            if (fs::create_directory(candidate)) {
                folder_ = candidate;
                return;
            }
        }
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    const std::filesystem::path& folder() const { return folder_; }

    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    std::string read(const std::string& name) const
    {
        std::ifstream in(folder_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool exists(const std::string& name) const { return std::filesystem::exists(folder_ / name); }

    std::set<std::string> names() const
    {
        std::set<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            result.insert(entry.path().filename().string());
        return result;
    }

private:
    std::filesystem::path folder_;
};

// Runs in `folder` as the working directory and goes back afterwards.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

// Joins lines with the line end given.
inline std::string joinLines(std::initializer_list<const char*> lines, const char* lineEnd = "\r\n")
{
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + lineEnd;
    return text;
}

// `text` with the first `from` in it replaced by `to`.
inline std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    return text.replace(text.find(from), from.size(), to);
}

// `count` bytes of repeatable binary noise.
inline std::string noise(unsigned seed, int count)
{
    std::string bytes;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += static_cast<char>(seed >> 16);
    }
    return bytes;
}
