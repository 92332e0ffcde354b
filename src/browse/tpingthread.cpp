#include "browse/tpingthread.h"

#include "browse/distancetext.h"

#include "net/echoreply.h"
#include "net/hostlookup.h"
#include "net/lookupstop.h"
#include "net/ping.h"

#include <sys/prctl.h>

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
    lookupStop_ = pinger_->LookupStopSwitch();
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
    lookupStop_->Pull();
}

void TPingThread::WaitUntilEnded()
{
    Wait();
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
        const std::int32_t replies = pinger_->Ping();
        const std::uint32_t roundTrip = pinger_->Reply().RoundTripTime;
        distanceText_ = DistanceTextFor(replies, roundTrip, pinger_->ErrorCode());
        item_->Post(distanceText_);

        // A stop request is looked at only here and below: the echo and the wait
        // are not cut short, so a stop takes at most one of them to be seen.
        if (replies > 0 && !StopRequested()) {
            const std::int64_t rest = SpacingMs - static_cast<std::int64_t>(roundTrip);
            if (rest > 0)
                Sleep(std::chrono::milliseconds(rest));
        }
        // After a time-out there is no wait: the echo itself took the second.
        const std::int32_t code = pinger_->ErrorCode();
        const bool goOn = code == static_cast<std::int32_t>(EchoStatus::Success)
                          || code == static_cast<std::int32_t>(EchoStatus::TimedOut);
        if (StopRequested() || !goOn)
            break;
    }
    pinger_.reset();
}
