#pragma once
// A scratch folder for one fuzzing process, on a memory file system when
// there is one: the targets write and replace files on every input.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include <unistd.h>

inline const std::filesystem::path& ScratchFolder()
{
    static const std::filesystem::path folder = [] {
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::string pattern = (base / "quimbrel-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        static struct Remover {
            std::filesystem::path path;
            ~Remover()
            {
                std::error_code ignored;
                std::filesystem::remove_all(path, ignored);
            }
        } remover{pattern};
        return std::filesystem::path(pattern);
    }();
    return folder;
}

inline void WriteScratchFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        std::abort();
}

inline std::string ReadScratchFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
