#include "platform/inifile.h"

#include "platform/int32text.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- Text rules --------------------------------------------------------

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

std::string_view StripOuterQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

bool HasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// ---- Lines of a file ---------------------------------------------------

struct Line {
    std::string_view text;   // without its line ending
    std::string_view ending; // "\r\n", "\n", or empty for an unterminated last line
};

std::vector<Line> SplitLines(std::string_view content)
{
    std::vector<Line> lines;
    while (!content.empty()) {
        const std::size_t lf = content.find('\n');
        if (lf == std::string_view::npos) {
            lines.push_back({content, {}});
            break;
        }
        const std::size_t textEnd = (lf > 0 && content[lf - 1] == '\r') ? lf - 1 : lf;
        lines.push_back({content.substr(0, textEnd), content.substr(textEnd, lf + 1 - textEnd)});
        content.remove_prefix(lf + 1);
    }
    return lines;
}

// Other: a line that is none of the rest. One made of a name alone (a key
// without '=') is a key without value to the platform's own readers.
enum class LineKind { Blank, Comment, Section, Entry, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // entry value, trimmed
    std::size_t valueAt = 0; // where an entry's value starts, after '=' and blanks
};

ParsedLine ParseLine(std::string_view text)
{
    ParsedLine parsed;
    const std::string_view body = Trim(text);
    if (body.empty()) {
        parsed.kind = LineKind::Blank;
    } else if (body.front() == ';') {
        parsed.kind = LineKind::Comment;
    } else if (body.front() == '[') {
        // The last ']' closes the name, so a name may itself hold a ']'.
        const std::size_t close = body.rfind(']');
        if (close != std::string_view::npos) {
            parsed.kind = LineKind::Section;
            parsed.name = Trim(body.substr(1, close - 1));
        }
    } else if (const std::size_t equals = text.find('='); equals != std::string_view::npos) {
        parsed.kind = LineKind::Entry;
        parsed.name = Trim(text.substr(0, equals));
        parsed.value = Trim(text.substr(equals + 1));
        parsed.valueAt = equals + 1;
        while (parsed.valueAt < text.size() && (text[parsed.valueAt] == ' ' || text[parsed.valueAt] == '\t'))
            ++parsed.valueAt;
    }
    return parsed;
}

// The lines of one section: its header and the lines up to the next header.
struct SectionSpan {
    std::size_t header;
    std::size_t end;
};

class ParsedFile {
public:
    explicit ParsedFile(std::string_view content) : lines_(SplitLines(content))
    {
        parsed_.reserve(lines_.size());
        for (const Line& line : lines_)
            parsed_.push_back(ParseLine(line.text));
        // Editors may start the file with a UTF-8 byte order mark; it is not
        // part of the first line's text (and stays in the file on writing).
        constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
        if (!lines_.empty() && lines_[0].text.starts_with(kByteOrderMark))
            parsed_[0] = ParseLine(lines_[0].text.substr(kByteOrderMark.size()));
    }

    const std::vector<Line>& lines() const { return lines_; }
    const ParsedLine& parsed(std::size_t index) const { return parsed_[index]; }

    std::optional<SectionSpan> FindSection(std::string_view name) const
    {
        for (std::size_t i = 0; i < parsed_.size(); ++i) {
            if (parsed_[i].kind != LineKind::Section || !SameName(parsed_[i].name, name))
                continue;
            std::size_t end = i + 1;
            while (end < parsed_.size() && parsed_[end].kind != LineKind::Section)
                ++end;
            return SectionSpan{i, end};
        }
        return std::nullopt;
    }

    std::optional<std::size_t> FindEntry(SectionSpan section, std::string_view key) const
    {
        for (std::size_t i = section.header + 1; i < section.end; ++i) {
            if (parsed_[i].kind == LineKind::Entry && SameName(parsed_[i].name, key))
                return i;
        }
        return std::nullopt;
    }

    // The line a write of key replaces: its first entry, or a line that names
    // the key alone when that comes first, since other readers take that
    // bare line as the key and would never see the value written after it.
    std::optional<std::size_t> FindLineToReplace(SectionSpan section, std::string_view key) const
    {
        for (std::size_t i = section.header + 1; i < section.end; ++i) {
            const bool entry = parsed_[i].kind == LineKind::Entry && SameName(parsed_[i].name, key);
            const bool bareKey = parsed_[i].kind == LineKind::Other && SameName(Trim(lines_[i].text), key);
            if (entry || bareKey)
                return i;
        }
        return std::nullopt;
    }

    // Where a new key goes: after the section's last line that is neither
    // blank nor a comment, so that blank lines and comments leading into the
    // next section stay in front of it.
    std::size_t InsertionPoint(SectionSpan section) const
    {
        std::size_t after = section.header;
        for (std::size_t i = section.header + 1; i < section.end; ++i) {
            if (parsed_[i].kind != LineKind::Blank && parsed_[i].kind != LineKind::Comment)
                after = i;
        }
        return after + 1;
    }

    // The line ending new lines get: the one the file already uses.
    std::string_view Newline() const
    {
        for (const Line& line : lines_) {
            if (!line.ending.empty())
                return line.ending;
        }
        return "\r\n";
    }

private:
    std::vector<Line> lines_;
    std::vector<ParsedLine> parsed_;
};

// Builds the file's new content with section/key set to value.
std::string WithValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value)
{
    const ParsedFile file(content);
    const std::vector<Line>& lines = file.lines();
    const std::string_view newline = file.Newline();

    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 16);
    auto appendLines = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            out += lines[i].text;
            out += lines[i].ending;
        }
    };
    // Something is about to follow: an unterminated last line needs its ending.
    auto terminateLast = [&] {
        if (!out.empty() && out.back() != '\n')
            out += newline;
    };
    auto appendEntry = [&] {
        out.append(key).append("=").append(value).append(newline);
    };

    const std::optional<SectionSpan> span = file.FindSection(section);
    if (!span) {
        appendLines(0, lines.size());
        terminateLast();
        if (!lines.empty() && file.parsed(lines.size() - 1).kind != LineKind::Blank)
            out += newline;
        out.append("[").append(section).append("]").append(newline);
        appendEntry();
        return out;
    }

    if (const std::optional<std::size_t> entry = file.FindLineToReplace(*span, key)) {
        const Line& line = lines[*entry];
        appendLines(0, *entry);
        if (file.parsed(*entry).kind == LineKind::Entry) {
            out.append(line.text.substr(0, file.parsed(*entry).valueAt)).append(value);
        } else {
            // A bare key keeps its spelling and indentation and gets its '='.
            std::string_view name = line.text;
            while (!name.empty() && IsBlank(name.back()))
                name.remove_suffix(1);
            out.append(name).append("=").append(value);
        }
        out += line.ending;
        appendLines(*entry + 1, lines.size());
        return out;
    }

    const std::size_t at = file.InsertionPoint(*span);
    appendLines(0, at);
    terminateLast();
    appendEntry();
    appendLines(at, lines.size());
    return out;
}

// ---- Files -------------------------------------------------------------

// Reads the whole file into out. Returns 0 or the errno of the failure.
int LoadFile(const std::string& path, std::string& out)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    out.clear();
    char buffer[16384];
    int error = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            out.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    ::close(fd);
    return error;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The file a write replaces: the target of a symbolic link, so the link stays.
std::string ResolveTarget(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        std::string target(resolved);
        std::free(resolved);
        return target;
    }
    return path;
}

// A fresh temporary file beside target, created with the usual mode (the
// umask applies). Returns the descriptor or -1.
int CreateTemporaryBeside(const std::filesystem::path& target, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path folder = target.parent_path();
    const std::string stem = "." + target.filename().string() + ".tmp-" + std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string name =
            stem + "-" + std::to_string(counter++) + "-" + std::to_string(tick % 1000000);
        tempPath = (folder / name).string();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void SyncFolder(const std::filesystem::path& folder)
{
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // best effort: the rename itself has already succeeded
        ::close(fd);
    }
}

// Whether a failed one-step replace was refused by the folder alone: no new
// file may be made or renamed in it, which says nothing about the file.
bool FolderRefused(int error)
{
    return error == EACCES || error == EPERM || error == EROFS || error == EBUSY || error == EXDEV;
}

// Replaces target's content in one step. Returns 0, or the errno of the
// failure with target left as it was and no temporary file behind.
int ReplaceFile(const std::string& target, std::string_view content, const struct stat* old)
{
    const std::filesystem::path targetPath(target);
    std::string tempPath;
    const int fd = CreateTemporaryBeside(targetPath, tempPath);
    if (fd < 0)
        return errno;

    int error = 0;
    auto check = [&error](bool ok) {
        if (!ok && error == 0)
            error = errno != 0 ? errno : EIO;
        return ok;
    };
    bool ok = true;
    if (old) {
        ok = check(::fchmod(fd, old->st_mode & 07777) == 0);
        // Keep the owner when we may (a privileged write of a user's file).
        if (ok && ::geteuid() == 0)
            (void)::fchown(fd, old->st_uid, old->st_gid);
    }
    ok = ok && check(WriteAll(fd, content)) && check(::fsync(fd) == 0);
    ok = check(::close(fd) == 0) && ok;
    ok = ok && check(::rename(tempPath.c_str(), target.c_str()) == 0);
    if (!ok) {
        ::unlink(tempPath.c_str());
        return error;
    }
    SyncFolder(targetPath.parent_path());
    return 0;
}

// Rewrites an existing file where it stands, as the platform's own profile
// functions do: for a file we may write in a folder we may not. The new
// bytes go over the old ones before the rest is cut off, so that a failure
// midway leaves no shorter file than it must.
bool RewriteInPlace(const std::string& target, std::string_view content)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 &&
              ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    return ok;
}

bool IsStorableSection(std::string_view section)
{
    return !section.empty() && !HasLineBreakOrNul(section);
}

bool IsStorableKey(std::string_view key)
{
    return !key.empty() && !HasLineBreakOrNul(key) && key.find('=') == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}


std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir)
        return account->pw_dir;
    return {};
}

} // namespace

IniWriteError::IniWriteError(const std::string& path)
    : std::runtime_error("Unable to write to " + path), path_(path)
{
}

std::string DefaultIniPath()
{
    if (const char* explicitPath = std::getenv("QUIMBREL_INI"); explicitPath && *explicitPath)
        return explicitPath;

    std::filesystem::path folder;
    // A relative XDG_CONFIG_HOME is not valid and is ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
        folder = config;
    } else if (const std::string home = HomeFolder(); !home.empty()) {
        folder = std::filesystem::path(home) / ".config";
    }
    // Without any home folder the working directory is the last resort.
    return (folder / "Quimbrel.ini").string();
}

bool IsStorableIniValue(std::string_view value)
{
    return !HasLineBreakOrNul(value);
}

std::optional<int32_t> ParseIniInteger(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return ParseInt32Text(text);
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    std::string content;
    if (LoadFile(path_, content) != 0)
        return std::string(defaultValue);

    const ParsedFile file(content);
    const std::optional<SectionSpan> span = file.FindSection(Trim(section));
    if (!span)
        return std::string(defaultValue);
    const std::optional<std::size_t> entry = file.FindEntry(*span, Trim(key));
    if (!entry)
        return std::string(defaultValue);

    const std::string_view value = StripOuterQuotes(file.parsed(*entry).value);
    return std::string(value.substr(0, kIniMaxValueLength));
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t defaultValue) const
{
    // An empty default cannot be mistaken for a number: a missing key and a
    // bad value both end in defaultValue.
    return ParseIniInteger(ReadString(section, key, {})).value_or(defaultValue);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    if (!IsStorableSection(section) || !IsStorableKey(key) || !IsStorableIniValue(value))
        throw IniWriteError(path_);

    const std::string target = ResolveTarget(path_);
    std::string content;
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode) || LoadFile(target, content) != 0)
            throw IniWriteError(path_);
    } else {
        // Only a missing file may be started afresh, never one we failed to see.
        if (errno != ENOENT)
            throw IniWriteError(path_);
        const std::filesystem::path folder = std::filesystem::path(target).parent_path();
        std::error_code error;
        if (!folder.empty())
            std::filesystem::create_directories(folder, error);
        if (error)
            throw IniWriteError(path_);
    }

    const std::string updated = WithValue(content, section, key, value);
    const int error = ReplaceFile(target, updated, exists ? &old : nullptr);
    if (error == 0)
        return;
    if (!exists || !FolderRefused(error) || !RewriteInPlace(target, updated))
        throw IniWriteError(path_);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value)
{
    WriteString(section, key, std::to_string(value));
}
