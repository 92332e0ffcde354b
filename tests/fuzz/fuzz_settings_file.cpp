// The settings file: whatever a file holds, reading every key it names,
// writing one setting and reading again must show the written value and
// every other setting as before. A refused write leaves the file untouched.
// Reading the file once and looking up each setting there gives what the
// one-setting reads give, and many changes to the text read once give what
// as many writes of the file give.

#include "platform/inifile.h"
#include "scratchfile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using Setting = std::pair<std::string, std::string>;  // section, key

constexpr char kAbsent[] = "\x01(absent)";

std::string_view Trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\v\f\x1A";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// How the file matches names: trimmed, cut at a NUL, ASCII letters folded.
std::string Folded(std::string_view name)
{
    std::string folded(Trim(name));
    folded.resize(std::min(folded.find('\0'), folded.size()));
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// The settings the file seems to name: each "key=" line under the "[section]"
// line above it. A guess is enough, since every guess is read before and after.
std::vector<Setting> SettingsNamedIn(std::string_view file)
{
    std::vector<Setting> settings;
    std::string section;
    while (!file.empty() && settings.size() < 200) {
        const std::size_t end = std::min(file.find_first_of("\r\n"), file.size());
        const std::string_view line = file.substr(0, end);
        file.remove_prefix(std::min(end + 1, file.size()));
        const std::string_view body = Trim(line);
        if (!body.empty() && body.front() == '[') {
            if (const std::size_t close = body.rfind(']'); close != std::string_view::npos)
                section = body.substr(1, close - 1);
        } else if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
            settings.emplace_back(section, std::string(line.substr(0, equals)));
        }
    }
    return settings;
}

// A value the format gives back unchanged: no blanks at its ends, no quotes
// around it, not cut by the length limit.
bool ReadsBackUnchanged(const std::string& value)
{
    if (value.size() > kIniMaxValueLength || Trim(value).size() != value.size())
        return false;
    return !(value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::string section = input.ConsumeRandomLengthString(40);
    std::string key = input.ConsumeRandomLengthString(40);
    const std::string value = input.ConsumeRandomLengthString(80);
    const bool reuseNamedSetting = input.ConsumeBool();
    const std::size_t pick = input.ConsumeIntegral<std::uint8_t>();
    const std::string file = input.ConsumeRemainingBytesAsString();

    std::vector<Setting> settings = SettingsNamedIn(file);
    if (reuseNamedSetting && !settings.empty())
        std::tie(section, key) = settings[pick % settings.size()];
    settings.emplace_back(section, key);

    const std::filesystem::path path = ScratchFolder() / "Quimbrel.ini";
    WriteScratchFile(path, file);
    IniFile ini(path.string());
    const IniText loaded = ini.Load();
    std::vector<std::string> before;
    for (const auto& [s, k] : settings) {
        before.push_back(ini.ReadString(s, k, kAbsent));
        if (ReadIniString(loaded, s, k, kAbsent) != before.back())
            std::abort(); // one reading of the file differs from another
    }

    try {
        ini.WriteString(section, key, value);
    } catch (const IniWriteError&) {
        if (ReadScratchFile(path) != file)
            std::abort();  // a refused write changed the file
        return 0;
    }

    for (std::size_t i = 0; i < settings.size(); ++i) {
        const auto& [s, k] = settings[i];
        const std::string after = ini.ReadString(s, k, kAbsent);
        if (Folded(s) == Folded(section) && Folded(k) == Folded(key)) {
            if (ReadsBackUnchanged(value) && after != value)
                std::abort();  // the written value does not read back
        } else if (after != before[i]) {
            std::abort();  // another setting changed
        }
    }

    // Many changes to one text (as a close makes them) give the file that
    // one change after another to the file gives.
    IniText changed = loaded;
    changed.Set(section, key, value);
    for (std::size_t i = 0; i < settings.size() && i < 8; ++i) {
        const auto& [s, k] = settings[(pick + i) % settings.size()];
        const std::string next = "v" + std::to_string(i);
        try {
            ini.WriteString(s, k, next);
        } catch (const IniWriteError&) {
        }
        changed.Set(s, k, next);
    }
    if (changed.FileBytes() != ReadScratchFile(path))
        std::abort();
    return 0;
}
