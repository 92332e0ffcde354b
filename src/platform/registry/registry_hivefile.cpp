#include "platform/registry/registry_hivefile.h"

#include "platform/regularfileread.h"
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

// A failed save, in words for the user, who knows the file by the name in
// the prefix rather than by its temporary copy.
RegistryError WriteFailure(const std::filesystem::path& file, const std::string& why)
{
    return RegistryError(file, why);
}

// Why a file could not be opened or examined, in words for the user.
std::string OpenFailure(int error)
{
    if (error == ELOOP)
        return "its symbolic links lead round in a loop";
    return std::strerror(error);
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

void WriteAll(int fd, const std::string& text, const std::filesystem::path& file)
{
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw WriteFailure(file, std::strerror(errno));
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
        throw RegistryFileError(file, OpenFailure(errno));
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
    // A named pipe would wait for a writer and a device could be read for
    // ever: only regular files are read, and never without bound.
    RegularFileRead read = ReadRegularFile(file_.string(), static_cast<std::size_t>(MaximumFileSize));
    if (read.outcome == RegularFileRead::Outcome::Missing)
        return Load(Stamp{});
    if (read.outcome == RegularFileRead::Outcome::Refused)
        throw RegistryFileError(file_, read.reason);
    const Stamp opened = FromStat(read.info);
    std::string text = std::move(read.content);

    try {
        cached_ = std::make_shared<const WineRegFile>(WineRegFile::Parse(std::move(text)));
    } catch (const RegistryError& error) {
        cached_.reset();
        throw RegistryFileError(file_, error.what());
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
        throw RegistryFileError(file_, error.value() == ELOOP ? OpenFailure(ELOOP) : error.message());

    if (WineServerRunning(file_.parent_path()))
        throw RegistryInUseError(file_, "Wine programs of the prefix " + file_.parent_path().string()
                                            + " are running; their registry would overwrite the change");

    for (int attempt = 0; attempt < ReplaceAttempts; ++attempt) {
        const std::shared_ptr<const WineRegFile> current = Current();
        const Stamp expected = cachedStamp_;
        if (!expected.exists)
            throw WriteFailure(file_, "it no longer exists");

        const std::optional<std::string> text =
            current->TextWithValue(keyPath, name, type, data, std::chrono::system_clock::now());
        if (!text)
            return;

        // Never write what could not be read back.
        auto changed = std::make_shared<const WineRegFile>(WineRegFile::Parse(*text));
        const WineRegFile::Node* key = changed->FindKey(keyPath);
        const WineRegFile::Value* value = key ? changed->FindValue(*key, name) : nullptr;
        if (value == nullptr || value->type != type || value->data != data)
            throw WriteFailure(file_, "internal error: the changed registry file does not read back");

        if (Replace(target, *text, expected, std::move(changed)))
            return;
    }
    throw WriteFailure(file_, "it kept changing while it was written");
}

bool RegistryHiveFile::Replace(const std::filesystem::path& target, const std::string& text,
                               const Stamp& expected, std::shared_ptr<const WineRegFile> parsed)
{
    struct stat original {};
    if (::stat(target.c_str(), &original) != 0)
        throw WriteFailure(file_, std::strerror(errno));
    // A file without any write permission is read-only for us too, even
    // where the file system would let the owner replace it.
    if ((original.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
        throw WriteFailure(file_, "it is read-only");

    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw WriteFailure(file_, std::string("no new copy can be made beside it: ") + std::strerror(errno));
    TemporaryFile temporary(fd, pattern);

    if (::fchmod(fd, original.st_mode & 07777) != 0)
        throw WriteFailure(file_, std::string("its new copy cannot take its permissions: ") + std::strerror(errno));
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
        // Only root may give a file away; anyone else writes a file that is
        // already their own, so the owner stays the same either way.
    }
    WriteAll(fd, text, file_);
    if (::fsync(fd) != 0)
        throw WriteFailure(file_, std::string("its new copy cannot be flushed to disk: ") + std::strerror(errno));

    if (!(StampOf(target) == expected))
        return false;
    if (::rename(pattern.c_str(), target.c_str()) != 0)
        throw WriteFailure(file_, std::strerror(errno));
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
