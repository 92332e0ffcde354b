#pragma once

#include "browse/distancedelivery.h"
#include "browse/distancemeter.h"
#include "net/echosocketkind.h"
#include "platform/workerthread.h"

#include <cstdint>
#include <memory>
#include <string>

class CancelSignal;
class TPing;

// Measures one server row's distance, about once a second, for as long as the
// row exists: one echo at a time, its round-trip time in milliseconds, "too far"
// while the server does not answer, and an empty text when the echo cannot be
// sent: the thread then ends, unless the reason may pass (a firewall rule, the
// network down), when it tries again a second later. Should the measuring
// itself fail (out of memory), the row is left empty as well and the thread
// ends; the program goes on.
//
// Created and destroyed on the window thread. Its texts reach the row through
// the row's mailbox, so the thread never waits for the window thread.
class TPingThread final : public WorkerThread, public DistanceMeter {
public:
    static constexpr std::int32_t EchoTimeoutMs = 1000;
    static constexpr std::int64_t SpacingMs = 1000;
    // How much later than asked a wait between echoes may end.
    static constexpr unsigned long WaitSlackNs = 15'000'000;
    // Each thread only pings: measured (bench_ping_thread_stack) at about 11 KiB,
    // with a name looked up in the hosts file; the rest is room. At this size a
    // thousand stacks fit the C library's cache of freed thread stacks, so a new
    // list's threads reuse the old list's instead of mapping fresh memory.
    static constexpr std::size_t StackBytes = 32 * 1024;
    // A host name is looked up on the thread itself, and a name-server exchange
    // needs more than the hosts file does: such rows, rare in a list of
    // addresses, keep a roomier stack.
    static constexpr std::size_t NameLookupStackBytes = 512 * 1024;
    static std::size_t StackBytesFor(const std::string& address);

    // Starts measuring address for the row behind Item. Raises TICMPException,
    // before any thread runs, when no echo socket can be opened, and
    // std::system_error when the system gives no more threads. The socket kind
    // is left to the system unless a benchmark insists on one.
    TPingThread(std::shared_ptr<DistanceMailbox> Item, const std::string& address,
                EchoSocketKind socketKind = EchoSocketKind::Automatic);
    // Stops and waits, if the owner has not done so.
    ~TPingThread() override;

    void RequestStop() override;
    void WaitUntilEnded() override;

    // The text of the last pass; read it only after the thread has ended.
    const std::string& DistanceText() const { return distanceText_; }

protected:
    // The measuring loop (the thread body).
    void Execute() override;
    void ExecuteFailed(std::exception_ptr error) noexcept override;

private:
    std::shared_ptr<DistanceMailbox> item_;
    std::unique_ptr<TPing> pinger_;
    // Outlives the pinger, which the owner destroys after the wait: a stop
    // raises it to abandon a name lookup under way.
    std::shared_ptr<CancelSignal> lookupCancel_;
    std::string distanceText_;
    DistanceHistory history_;  // handed over with every text
};
