#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

// A registry operation failed: an unreadable, unparsable or unwritable
// registry file, a key that no longer exists, a value of an unexpected type,
// or a write through a key opened for reading only.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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
        : RegistryError("The registry file \"" + file.string() + "\" cannot be used: " + why)
    {
    }
};
