#include "browse/tpingthread.h"

#include "browse/distancetext.h"

#include "net/echoreply.h"
#include "net/hostlookup.h"
#include "platform/cancelsignal.h"
#include "net/ping.h"

#include <sys/prctl.h>

#include <chrono>
#include <new>

std::size_t TPingThread::StackBytesFor(const std::string& address)
{
    return ParseDottedAddress(address) ? StackBytes : NameLookupStackBytes;
}

TPingThread::TPingThread(std::shared_ptr<DistanceMailbox> Item, const std::string& address,
                         EchoSocketKind socketKind)
    : WorkerThread(StackBytesFor(address)), item_(std::move(Item)), pinger_(std::make_unique<TPing>(nullptr, socketKind))
{
    pinger_->SetAddress(address);
    pinger_->SetTimeout(EchoTimeoutMs);
    lookupCancel_ = pinger_->LookupCancelSignal();
    Start();
}

TPingThread::~TPingThread()
{
    RequestStop();
    WaitUntilEnded();
}

void TPingThread::RequestStop()
{
    WorkerThread::RequestStop();
    lookupCancel_->Raise();
}

void TPingThread::WaitUntilEnded()
{
    Wait();
    // Freed where it was allocated: a pooled thread that freed it would keep its
    // blocks in the C library's cache of its own freed blocks, which only that
    // thread's allocations of the same sizes take back, and every new list left
    // some 7 KiB per row there (80 MiB over twelve lists of ten thousand rows).
    pinger_.reset();
    // The row may go once its owner has waited: nothing of ours may reach it later.
    item_->Close();
}

void TPingThread::Execute()
{
    // The wait between echoes may run up to 15 ms long, as waits do on the game's
    // platform, whose timer ticks 64 times a second. The system then wakes rows
    // that are due close together at once rather than one after another.
    prctl(PR_SET_TIMERSLACK, WaitSlackNs);
    for (;;) {
        const auto echoStarted = std::chrono::steady_clock::now();
        const std::int32_t replies = pinger_->Ping();
        const std::uint32_t roundTrip = pinger_->Reply().RoundTripTime;
        const std::int32_t code = pinger_->ErrorCode();
        distanceText_ = DistanceTextFor(replies, roundTrip, code);
        // An echo that could not be sent measured nothing: it is no result.
        if (replies != 0)
            history_.AddRoundTrip(roundTrip);
        else if (code == static_cast<std::int32_t>(EchoStatus::TimedOut))
            history_.AddLost();
        item_->Post(distanceText_, history_);

        const bool measured = code == static_cast<std::int32_t>(EchoStatus::Success)
                              || code == static_cast<std::int32_t>(EchoStatus::TimedOut);
        // A refusal that may pass: the row stays empty and is tried again a
        // second after this attempt, as an answered echo would be.
        const bool retry = replies == 0 && !measured && pinger_->ErrorMayPass();

        // A stop request is looked at only here and below: an echo is not cut
        // short, a wait ends at the request.
        if (!StopRequested()) {
            std::int64_t rest = 0;
            if (replies > 0) {
                rest = SpacingMs - static_cast<std::int64_t>(roundTrip);
            } else if (retry) {
                const auto spent = std::chrono::steady_clock::now() - echoStarted;
                rest = SpacingMs - std::chrono::duration_cast<std::chrono::milliseconds>(spent).count();
            }
            // After a time-out there is no wait: the echo itself took the second.
            if (rest > 0)
                Sleep(std::chrono::milliseconds(rest));
        }
        if (StopRequested() || !(measured || retry))
            break;
    }
    // Done with the pinger: it sends nothing more. The owner destroys it after
    // the wait, on the thread that made it (WaitUntilEnded).
}

void TPingThread::ExecuteFailed(std::exception_ptr error) noexcept
{
    // Ends as a failed echo would: the row empty, the thread done.
    try {
        pinger_.reset();
        distanceText_.clear();
    } catch (...) {
    }
    try {
        std::string why = "Distances cannot be measured for every server: ";
        try {
            std::rethrow_exception(error);
        } catch (const std::bad_alloc&) {
            why += "the system gives no more memory.";
        } catch (const std::exception& other) {
            why += other.what();
            why += ".";
        } catch (...) {
            why += "a measurement failed.";
        }
        item_->ReportFailure(std::move(why));
    } catch (...) {
    }
    try {
        item_->Post({}, history_);
    } catch (...) {
    }
}
