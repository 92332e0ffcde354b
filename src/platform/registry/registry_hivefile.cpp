#include "platform/registry/registry_hivefile.h"

#include "platform/registry/registry_error.h"
#include "platform/registry/wineserver_lock.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Larger files are refused rather than read into memory; real registry files
// stay far below this.
constexpr off_t MaximumFileSize = off_t{1} << 30;

// Every attempt that finds the file changed by someone else between reading
// and replacing it starts over; after this many the write gives up.
constexpr int ReplaceAttempts = 3;

std::string SystemError(const std::string& what, const std::filesystem::path& file)
{
    return what + " " + file.string() + ": " + std::strerror(errno);
}

// Closes a descriptor and removes a temporary file unless released.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    void KeepFile() { path_.clear(); }

private:
    int fd_;
    std::string path_;
};

// The reason of a failed write of `file`: what was being done, then the
// system's error text.
RegistryError WriteError(const std::filesystem::path& file, const std::string& doing)
{
    const std::string systemText = std::strerror(errno);
    return RegistryError(file, doing.empty() ? systemText : doing + ": " + systemText);
}

// Writes the new text of `file` into its temporary copy `fd`.
void WriteAll(int fd, const std::string& text, const std::filesystem::path& file)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw WriteError(file, "");
        }
        written += static_cast<std::size_t>(n);
    }
}

void SyncDirectory(const std::filesystem::path& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool RegistryHiveFile::Stamp::operator==(const Stamp& other) const
{
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size
        && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec
        && changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

RegistryHiveFile::RegistryHiveFile(std::filesystem::path file) : file_(std::move(file)) {}

RegistryHiveFile::Stamp RegistryHiveFile::StampOf(const std::filesystem::path& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Stamp{};
        throw RegistryError(SystemError("cannot read", file));
    }
    return FromStat(st);
}

RegistryHiveFile::Stamp RegistryHiveFile::FromStat(const struct stat& st)
{
    Stamp stamp;
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modified = st.st_mtim;
    stamp.changed = st.st_ctim;
    return stamp;
}

std::shared_ptr<const WineRegFile> RegistryHiveFile::Current()
{
    const Stamp stamp = StampOf(file_);
    if (cached_ && stamp == cachedStamp_)
        return cached_;
    return Load(stamp);
}

std::shared_ptr<const WineRegFile> RegistryHiveFile::Load(const Stamp& stamp)
{
    if (!stamp.exists) {
        cached_ = std::make_shared<const WineRegFile>();
        cachedStamp_ = stamp;
        return cached_;
    }
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return Load(Stamp{});
        throw RegistryError(SystemError("cannot open", file_));
    }
    TemporaryFile input(fd, {});
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw RegistryError(SystemError("cannot read", file_));
    if (!S_ISREG(st.st_mode))
        throw RegistryError("not a regular file: " + file_.string());
    if (st.st_size > MaximumFileSize)
        throw RegistryError("registry file is too large: " + file_.string());

    const Stamp opened = FromStat(st);

    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw RegistryError(SystemError("cannot read", file_));
        }
        if (n == 0)
            break;
        if (text.size() + static_cast<std::size_t>(n) > static_cast<std::size_t>(MaximumFileSize))
            throw RegistryError("registry file is too large: " + file_.string());
        text.append(buffer, static_cast<std::size_t>(n));
    }

    try {
        cached_ = std::make_shared<const WineRegFile>(WineRegFile::Parse(std::move(text)));
    } catch (const RegistryError& error) {
        cached_.reset();
        throw RegistryError(file_.string() + ": " + error.what());
    }
    cachedStamp_ = opened;
    return cached_;
}

void RegistryHiveFile::SetValue(const std::vector<std::u16string>& keyPath, std::u16string_view name,
                                std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    // Replace the file a link points to, not the link.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(file_, error);
    if (error)
        throw RegistryError(file_, error.message());

    if (WineServerRunning(file_.parent_path()))
        throw RegistryInUseError(file_, "Wine programs of the prefix " + file_.parent_path().string()
                                            + " are running; their registry would overwrite the change");

    try {
        for (int attempt = 0; attempt < ReplaceAttempts; ++attempt) {
            const std::shared_ptr<const WineRegFile> current = Current();
            const Stamp expected = cachedStamp_;
            if (!expected.exists)
                throw RegistryError(file_, "the file does not exist");

            const std::optional<std::string> text =
                current->TextWithValue(keyPath, name, type, data, std::chrono::system_clock::now());
            if (!text)
                return;

            // Never write what could not be read back.
            auto changed = std::make_shared<const WineRegFile>(WineRegFile::Parse(*text));
            const WineRegFile::Node* key = changed->FindKey(keyPath);
            const WineRegFile::Value* value = key ? changed->FindValue(*key, name) : nullptr;
            if (value == nullptr || value->type != type || value->data != data)
                throw RegistryError(file_, "internal error: the changed registry file does not read back");

            if (Replace(target, *text, expected, std::move(changed)))
                return;
        }
    } catch (const RegistryError& failure) {
        // Every failure of a write names the file it was meant for.
        if (failure.File().empty())
            throw RegistryError(file_, failure.Reason());
        throw;
    }
    throw RegistryError(file_, "it kept changing while it was written");
}

bool RegistryHiveFile::Replace(const std::filesystem::path& target, const std::string& text,
                               const Stamp& expected, std::shared_ptr<const WineRegFile> parsed)
{
    struct stat original {};
    if (::stat(target.c_str(), &original) != 0)
        throw WriteError(file_, "");
    // A file without any write permission is read-only for us too, even
    // where the file system would let the owner replace it.
    if ((original.st_mode & 0222) == 0)
        throw RegistryError(file_, "the file is read-only");
    if (::access(target.c_str(), W_OK) != 0)
        throw WriteError(file_, "");

    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw WriteError(file_, "cannot make a temporary file beside it");
    TemporaryFile temporary(fd, pattern);

    if (::fchmod(fd, original.st_mode & 07777) != 0)
        throw WriteError(file_, "cannot give its permissions to the temporary file");
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
        // Only root may give a file away; anyone else writes a file that is
        // already their own, so the owner stays the same either way.
    }
    WriteAll(fd, text, file_);
    if (::fsync(fd) != 0)
        throw WriteError(file_, "");

    if (!(StampOf(target) == expected))
        return false;
    if (::rename(pattern.c_str(), target.c_str()) != 0)
        throw WriteError(file_, "cannot replace it");
    temporary.KeepFile();
    SyncDirectory(target.parent_path());

    struct stat written {};
    if (::fstat(fd, &written) == 0) {
        cachedStamp_ = FromStat(written);
        cached_ = std::move(parsed);
    } else {
        cached_.reset();
    }
    return true;
}
