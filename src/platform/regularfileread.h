#pragma once

// Reading a file without ever waiting on it: only a regular file is opened
// for reading, and no more than a set number of bytes is read.
// A FIFO, a device, a socket or a folder in its place is refused before it is
// opened (and checked again on the open descriptor), so that neither a pipe
// without a writer nor /dev/zero can hold the program up.

#include <cstddef>
#include <string>

#include <sys/stat.h>

struct RegularFileRead {
    enum class Outcome { Read, Missing, Refused };
    Outcome outcome = Outcome::Missing;
    std::string content; // the file's bytes, when read
    std::string reason;  // why it was refused, in words for the user: "it is a folder"
    struct stat info {}; // the file as it was when read
};

// Reads path whole. Missing: neither the file nor (part of) its folder exists.
// Refused: anything else that stops the read, including a file larger than
// maxBytes.
RegularFileRead ReadRegularFile(const std::string& path, std::size_t maxBytes);
