// The registry file: whatever user.reg holds, reading it must not fault, and
// where it is accepted, writing one string value and the two binary values a
// profile keeps ("Char" and "Color", 4 bytes each) must succeed, read back,
// and leave every other key and value as it was.

#include "platform/registry/registry.h"
#include "scratchfile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// Enough to cover what a fuzz input can hold, small enough to stay fast.
constexpr std::size_t kMaxKeys = 200;
constexpr std::size_t kMaxNames = 100;

using Snapshot = std::map<std::pair<std::string, std::string>, std::optional<RegistryValue>>;

bool Same(const std::optional<RegistryValue>& a, const std::optional<RegistryValue>& b)
{
    return a.has_value() == b.has_value() && (!a || (a->type == b->type && a->data == b->data));
}

std::string AsciiFolded(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

RegistryValue StringValue(const std::string& text)
{
    RegistryValue value{RegistryValueType::String, std::vector<std::uint8_t>(text.begin(), text.end())};
    value.data.push_back(0);
    return value;
}

// Four bytes, least significant first, as a profile stores its numbers.
RegistryValue BinaryValue(std::uint32_t word)
{
    return {RegistryValueType::Binary,
            {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
             static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)}};
}

// Every key path, breadth first from the root ("" is the root).
std::vector<std::string> KeyPaths(const Registry& registry)
{
    std::vector<std::string> paths;
    std::deque<std::string> waiting{""};
    while (!waiting.empty() && paths.size() < kMaxKeys) {
        std::string path = std::move(waiting.front());
        waiting.pop_front();
        const std::optional<RegistryKey> key = registry.OpenKey(RegistryHive::CurrentUser, path);
        if (!key)
            continue;
        for (const std::string& name : key->SubkeyNames())
            waiting.push_back(path.empty() ? name : path + "\\" + name);
        paths.push_back(std::move(path));
    }
    return paths;
}

// The value names the file seems to hold: the quoted name at the start of a
// line, with \\ and \" undone. A guess is enough, since every guess is read
// before and after the write.
std::vector<std::string> ValueNamesIn(std::string_view text)
{
    std::vector<std::string> names{""};
    while (!text.empty() && names.size() < kMaxNames) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.starts_with('"'))
            continue;
        std::string name;
        for (std::size_t i = 1; i < line.size() && line[i] != '"'; ++i)
            name += (line[i] == '\\' && i + 1 < line.size()) ? line[++i] : line[i];
        names.push_back(std::move(name));
    }
    return names;
}

Snapshot Read(const Registry& registry, const std::vector<std::string>& paths, const std::vector<std::string>& names)
{
    Snapshot snapshot;
    for (const std::string& path : paths) {
        const std::optional<RegistryKey> key = registry.OpenKey(RegistryHive::CurrentUser, path);
        for (const std::string& name : names)
            snapshot[{path, name}] = key ? key->ReadValue(name) : std::nullopt;
    }
    return snapshot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::size_t keyPick = input.ConsumeIntegral<std::uint8_t>();
    const std::size_t namePick = input.ConsumeIntegral<std::uint8_t>();
    const std::uint32_t character = input.ConsumeIntegral<std::uint32_t>();
    const std::uint32_t colors = input.ConsumeIntegral<std::uint32_t>();
    std::string text;
    for (char c : input.ConsumeRandomLengthString(40))
        text += static_cast<char>(' ' + static_cast<unsigned char>(c) % 95);  // printable ASCII
    const std::string file = input.ConsumeRemainingBytesAsString();

    const std::filesystem::path prefix = ScratchFolder();
    WriteScratchFile(prefix / "user.reg", file);

    std::vector<std::string> paths;
    std::vector<std::string> names;
    Snapshot before;
    try {
        const Registry registry(prefix);
        paths = KeyPaths(registry);
        names = ValueNamesIn(file);
        names.insert(names.end(), {"Char", "Color"});
        before = Read(registry, paths, names);
    } catch (const RegistryError&) {
        return 0;  // a file that is not accepted
    }
    // Values live in keys; the root stands for the file and holds none.
    if (paths.size() < 2)
        return 0;

    // Overwrite a value that seems to exist, or add a new one.
    const std::string& path = paths[1 + keyPick % (paths.size() - 1)];
    const std::string name = namePick < 128 ? names[namePick % names.size()] : "Fuzz" + std::to_string(namePick);
    // In the order written: a later value of the same name replaces one before.
    std::map<std::string, RegistryValue> written;
    written[AsciiFolded(name)] = StringValue(text);
    written["char"] = BinaryValue(character);
    written["color"] = BinaryValue(colors);
    {
        const Registry registry(prefix);
        std::optional<RegistryKey> key = registry.OpenKey(RegistryHive::CurrentUser, path, RegistryAccess::ReadWrite);
        if (!key)
            std::abort();  // a key that was listed cannot be opened
        // None of these may throw on an accepted file.
        key->WriteString(name, text);
        key->WriteBinary("Char", written.at("char").data);
        key->WriteBinary("Color", written.at("color").data);
    }

    const Registry registry(prefix);
    const Snapshot after = Read(registry, paths, names);
    for (const auto& [where, value] : after) {
        const auto change = AsciiFolded(where.first) == AsciiFolded(path) ? written.find(AsciiFolded(where.second))
                                                                            : written.end();
        if (!Same(value, change != written.end() ? std::optional(change->second) : before.at(where)))
            std::abort();
    }
    const auto key = registry.OpenKey(RegistryHive::CurrentUser, path);
    if (!key)
        std::abort();
    for (const auto& [folded, value] : written)
        if (!Same(key->ReadValue(folded), value))
            std::abort();
    return 0;
}
