#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

// A registry operation failed: an unreadable, unparsable or unwritable
// registry file, a key that no longer exists, a value of an unexpected type,
// or a write through a key opened for reading only.
class RegistryError : public std::runtime_error {
public:
    explicit RegistryError(const std::string& message) : std::runtime_error(message), reason_(message) {}

    // A failure of the registry file `file`, for the reason `reason` (the
    // system's error text where there is one).
    RegistryError(const std::filesystem::path& file, const std::string& reason)
        : std::runtime_error(file.string() + ": " + reason), file_(file), reason_(reason)
    {
    }

    // The file concerned; empty when the error did not name one.
    const std::filesystem::path& File() const { return file_; }
    // Why it failed, without the file's name.
    const std::string& Reason() const { return reason_; }

protected:
    // A failure of `file` for `reason`, told in the words of `message`.
    RegistryError(const std::string& message, const std::filesystem::path& file, const std::string& reason)
        : std::runtime_error(message), file_(file), reason_(reason)
    {
    }

private:
    std::filesystem::path file_;
    std::string reason_;
};

// A write refused because a Wine server runs for the prefix: it would put
// its own copy of the registry back over the change. Nothing was written.
class RegistryInUseError : public RegistryError {
public:
    using RegistryError::RegistryError;
};

// The registry file as a whole cannot be used: it cannot be opened or read,
// it is no regular file (a named pipe, a device, a folder), its links go
// round in a loop, it is too large, or it is no registry file at all. Unlike
// a missing key or a value of the wrong type, this is worth telling the
// user: everything in the file is out of reach. The message names the file.
class RegistryFileError : public RegistryError {
public:
    RegistryFileError(const std::filesystem::path& file, const std::string& why)
        : RegistryError("The registry file \"" + file.string() + "\" cannot be used: " + why, file, why)
    {
    }
};
