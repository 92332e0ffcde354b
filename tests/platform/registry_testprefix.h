#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

// A throw-away Wine prefix folder holding hand-written registry files.
class TestPrefix {
public:
    TestPrefix()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quimbrel-reg-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary prefix");
        path_ = pattern;
    }
    TestPrefix(const TestPrefix&) = delete;
    TestPrefix& operator=(const TestPrefix&) = delete;
    ~TestPrefix()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path File(std::string_view name) const { return path_ / name; }

    void Write(std::string_view name, std::string_view text) const
    {
        std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out)
            throw std::runtime_error("cannot write a test registry file");
    }

    std::string Read(std::string_view name) const
    {
        std::ifstream in(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path path_;
};

// The opening lines Wine writes into a machine or user registry file.
inline std::string MachineRegHeader(bool win64)
{
    return std::string("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=")
        + (win64 ? "win64" : "win32") + "\n";
}

inline std::string UserRegHeader()
{
    return "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n";
}
