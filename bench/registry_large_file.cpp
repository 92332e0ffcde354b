// A registry file of about 50 MiB: how long opening a key in it and writing
// one value back take, and whether the write changed only that value.
//
//   bench_registry_large_file [megabytes=50]
//
// A parser or writer slower than linear would take hours here; a healthy one
// takes seconds. Exits with 1 when the file reads or writes back wrongly.

#include "platform/registry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char PlayerPath[] = "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1";

// Many keys with a few values, and one large value spread over continuation
// lines; the player key comes last.
std::string LargeRegistry(std::size_t size)
{
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n";
    text.reserve(size + 4096);
    text += "\n[Software\\\\Big\\\\Blob] 1\n\"Data\"=hex:00";
    for (int i = 1; i < 200000; ++i)
        text += (i % 25 == 0) ? ",\\\n  00" : ",01";
    text += "\n";
    for (int key = 0; text.size() < size && key < 10000000; ++key) {
        text += "\n[Software\\\\Big\\\\Key" + std::to_string(key) + "\\\\Sub] 1700000000\n#time=1da1b2c3d4e5f60\n";
        text += "\"Name\"=\"Player \\\"" + std::to_string(key) + "\\\" \\x00fc\"\n\"Char\"=hex:37,00,00,00\n";
        text += "\"Count\"=dword:0000002a\n";
    }
    text += "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.24\\\\Player1] 1\n\"Name\"=\"Last\"\n";
    return text;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double SecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

bool Check(bool condition, const char* what)
{
    if (!condition)
        std::fprintf(stderr, "wrong: %s\n", what);
    return condition;
}

}  // namespace

int main(int argc, char** argv)
{
    const long megabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 50;
    if (megabytes < 1 || megabytes > 4096) {
        std::fprintf(stderr, "usage: %s [megabytes=50]\n", argv[0]);
        return 2;
    }
    std::string pattern = (fs::temp_directory_path() / "quimbrel-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path prefix = pattern;
    const std::string text = LargeRegistry(static_cast<std::size_t>(megabytes) << 20);
    std::ofstream(prefix / "user.reg", std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));

    bool right = true;
    Registry registry(prefix);
    const auto start = Clock::now();
    auto key = registry.OpenKey(RegistryHive::CurrentUser, PlayerPath, RegistryAccess::ReadWrite);
    const auto opened = Clock::now();
    right &= Check(key && key->ReadString("Name") == "Last", "the last key's value");
    if (key) {
        key->WriteString("Name", "Written");
        const auto written = Clock::now();
        std::printf("%zu bytes: opened a key in %.2f s, wrote a value in %.2f s\n", text.size(),
                    SecondsBetween(start, opened), SecondsBetween(opened, written));

        // Only the last key changed: its value and its stamp (" 1" became the time).
        const std::string after = ReadFile(prefix / "user.reg");
        right &= Check(after.compare(0, text.size() - 40, text, 0, text.size() - 40) == 0,
                       "the keys before the written one");
        right &= Check(after.find("\"Name\"=\"Written\"", text.size() - 40) != std::string::npos, "the written value");
        auto blob = registry.OpenKey(RegistryHive::CurrentUser, "Software\\Big\\Blob");
        right &= Check(blob && blob->ReadValue("Data") && blob->ReadValue("Data")->data.size() == 200000u,
                       "the large value");
    }
    std::error_code ignored;
    fs::remove_all(prefix, ignored);
    return right ? 0 : 1;
}
