#pragma once

#include <stdexcept>

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
