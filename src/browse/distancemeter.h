#pragma once

// What a server row owns besides its texts: the worker that keeps its
// "Distance" column current. The row's owner stops it in two phases, first
// asking every row's worker to stop, then waiting for each in table order.
class DistanceMeter {
public:
    virtual ~DistanceMeter() = default;
    virtual void RequestStop() = 0;
    virtual void WaitUntilEnded() = 0;
};
