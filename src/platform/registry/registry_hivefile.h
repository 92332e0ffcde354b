#pragma once

#include "platform/registry/winereg_file.h"

#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <sys/types.h>

// One registry file on disk, read on demand and replaced atomically on
// change.
//
// Wine's server keeps the registry of a running prefix in memory: it reads
// these files when it starts and writes them back a while after every
// change and when it exits. A change made here while a Wine program runs in
// the same prefix is therefore not seen by that program, and is overwritten
// when the server next saves. Callers make their changes while the prefix is
// idle.
class RegistryHiveFile {
public:
    explicit RegistryHiveFile(std::filesystem::path file);

    const std::filesystem::path& Path() const { return file_; }

    // The file's present content, parsed again only when the file changed
    // since the last call. A missing file is an empty registry; one that
    // cannot be used (unreadable, not a regular file, not a registry file)
    // throws RegistryFileError, at once: nothing here ever waits on a file.
    std::shared_ptr<const WineRegFile> Current();

    // Sets one value of an existing key and replaces the file atomically: a
    // temporary file in the same folder, flushed to disk, then renamed over
    // the original, with the original's permissions. The file is left
    // untouched when anything fails (RegistryError, naming this file and the
    // reason), and when a Wine server runs for the prefix (RegistryInUseError).
    void SetValue(const std::vector<std::u16string>& keyPath, std::u16string_view name,
                  std::uint32_t type, const std::vector<std::uint8_t>& data);

private:
    struct Stamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        struct timespec modified {};
        struct timespec changed {};
        bool operator==(const Stamp& other) const;
    };

    static Stamp StampOf(const std::filesystem::path& file);
    static Stamp FromStat(const struct stat& st);
    std::shared_ptr<const WineRegFile> Load(const Stamp& stamp);
    bool Replace(const std::filesystem::path& target, const std::string& text, const Stamp& expected,
                 std::shared_ptr<const WineRegFile> parsed);

    std::filesystem::path file_;
    std::shared_ptr<const WineRegFile> cached_;
    Stamp cachedStamp_;
};
