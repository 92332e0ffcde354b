#pragma once

#include <stdexcept>

// A registry operation failed: an unreadable, unparsable or unwritable
// registry file, a key that no longer exists, a value of an unexpected type,
// or a write through a key opened for reading only.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
