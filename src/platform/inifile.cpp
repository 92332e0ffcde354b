#include "platform/inifile.h"

#include "platform/regularfileread.h"
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

// ---- Files -------------------------------------------------------------

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
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 &&
              ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    return ok;
}

// Reads the file at path for a change of it: none when it is missing.
std::optional<IniText> LoadExisting(const std::string& path, const std::string& shownPath)
{
    RegularFileRead read = ReadRegularFile(path, kIniMaxFileSize);
    if (read.outcome == RegularFileRead::Outcome::Refused)
        throw IniWriteError(shownPath);
    if (read.outcome == RegularFileRead::Outcome::Missing)
        return std::nullopt;
    return IniText(std::move(read.content));
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
    return IniText().CanHold(value);
}

std::optional<int32_t> ParseIniInteger(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return ParseInt32Text(text);
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {}


IniReadError::IniReadError(const std::string& path, const std::string& reason)
    : std::runtime_error("The settings file " + path + " cannot be read: " + reason +
                         ". The default settings are used"),
      path_(path)
{
}

IniText IniFile::Load() const
{
    RegularFileRead read = ReadRegularFile(path_, kIniMaxFileSize);
    if (read.outcome == RegularFileRead::Outcome::Refused)
        throw IniReadError(path_, read.reason);
    return IniText(std::move(read.content));
}

IniText IniFile::LoadForChange() const
{
    return LoadExisting(ResolveTarget(path_), path_).value_or(IniText());
}

void IniFile::Save(const IniText& text)
{
    const std::string target = ResolveTarget(path_);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode))
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

    const std::string bytes = text.FileBytes();
    const int error = ReplaceFile(target, bytes, exists ? &old : nullptr);
    if (error == 0)
        return;
    if (!exists || !FolderRefused(error) || !RewriteInPlace(target, bytes))
        throw IniWriteError(path_);
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    try {
        return ReadIniString(Load(), section, key, defaultValue);
    } catch (const IniReadError&) {
        return std::string(defaultValue);
    }
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t defaultValue) const
{
    return ParseIniInteger(ReadString(section, key, {})).value_or(defaultValue);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    // Texts that no file can hold are refused before the file is touched.
    if (!IniText().Set(section, key, value))
        throw IniWriteError(path_);
    IniText text = LoadForChange();
    if (!text.Set(section, key, value))
        throw IniWriteError(path_);
    Save(text);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

std::string ReadIniString(const IniText& text, std::string_view section, std::string_view key,
                          std::string_view defaultValue)
{
    return text.Find(section, key, kIniMaxValueLength).value_or(std::string(defaultValue));
}

int32_t ReadIniInteger(const IniText& text, std::string_view section, std::string_view key,
                       int32_t defaultValue)
{
    // A missing key and a bad value both end in defaultValue.
    return ParseIniInteger(ReadIniString(text, section, key, {})).value_or(defaultValue);
}
