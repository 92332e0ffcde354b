#pragma once

#include <stdexcept>

// What a server row owns besides its texts: the worker that keeps its
// "Distance" column current. The row's owner stops it in two phases, first
// asking every row's worker to stop, then waiting for each in table order.
class DistanceMeter {
public:
    virtual ~DistanceMeter() = default;
    virtual void RequestStop() = 0;
    virtual void WaitUntilEnded() = 0;
};

// Raised instead of making a meter when the system does not let this program
// measure distances; the text tells the user why, and what would allow it.
class DistanceUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
