// Every echo object of a kind shares one socket: answers must still reach only the
// exchange they belong to, and the socket must go with its last user.

#include "echolabtest.h"

#include "net/echoanswer.h"
#include "net/echosocket.h"
#include "net/echotimestamps.h"
#include "net/icmp.h"
#include "support/timescale.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <memory>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

class SharedEchoSocket : public EchoLabTest {};

struct Result {
    int replies = -1;
    std::uint32_t error = 0;
    std::uint32_t roundTrip = 0;
};

Result PingOnce(TICMP& icmp)
{
    Result result;
    result.replies = icmp.Ping();
    result.error = icmp.LastError();
    result.roundTrip = icmp.Reply().RoundTripTime;
    return result;
}

// Whether any descriptor of this process is the socket with that inode.
bool ProcessHoldsSocket(ino_t inode)
{
    DIR* descriptors = opendir("/proc/self/fd");
    bool held = false;
    while (dirent* entry = readdir(descriptors)) {
        struct stat status{};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        if (entry->d_name[0] != '.' && stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode)
            && status.st_ino == inode)
            held = true;
    }
    closedir(descriptors);
    return held;
}

TEST_P(SharedEchoSocket, TwoObjectsPingingOneHostEachGetTheirOwnReplies)
{
    lab_->Near().Run([&] {
        TICMP first(GetParam()), second(GetParam());
        for (TICMP* icmp : {&first, &second}) {
            icmp->SetAddress(LabAddress::Slow);
            icmp->SetTimeout(1000);
        }
        for (int round = 0; round < 4; ++round) {
            // The second request leaves 20 ms after the first: handed the first
            // one's reply, it would read about 27 ms.
            Result early, late;
            std::thread firstPinging([&] { early = PingOnce(first); });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            late = PingOnce(second);
            firstPinging.join();
            for (const Result& result : {early, late}) {
                EXPECT_EQ(result.replies, 1) << "round " << round << ": error " << result.error;
                EXPECT_GE(result.roundTrip, std::uint32_t{kServerDelayMs}) << "round " << round;
                EXPECT_LE(result.roundTrip, std::uint32_t(kServerDelayMs + ScaledMs(40))) << "round " << round;
            }
        }
    });
}

// Loopback answers are in before the send returns, so threads that go together
// read and hand over one another's answers: none may be lost or wait for its time-out.
TEST_P(SharedEchoSocket, ManyObjectsPingingTogetherEachGetEveryReply)
{
    constexpr int kObjects = 24, kRounds = 40;
    lab_->Near().Run([&] {
        std::vector<std::unique_ptr<TICMP>> objects;
        for (int i = 0; i < kObjects; ++i) {
            objects.push_back(std::make_unique<TICMP>(GetParam()));
            objects.back()->SetAddress("127.0.0." + std::to_string(1 + i % 3));
            objects.back()->SetTimeout(ScaledMs(1000));
        }
        std::atomic<int> replies{0};
        std::latch together(kObjects);
        std::vector<std::thread> pinging;
        for (auto& icmp : objects) {
            pinging.emplace_back([&, object = icmp.get()] {
                together.arrive_and_wait();
                for (int round = 0; round < kRounds; ++round)
                    replies += object->Ping();
            });
        }
        for (std::thread& thread : pinging)
            thread.join();
        EXPECT_EQ(replies, kObjects * kRounds);
    });
}

TEST_P(SharedEchoSocket, ReplyAfterTheTimeOutReachesNoOne)
{
    lab_->Near().Run([&] {
        TICMP impatient(GetParam()), patient(GetParam());
        impatient.SetAddress(LabAddress::Slow);
        impatient.SetTimeout(15);
        patient.SetAddress(LabAddress::Slow);
        patient.SetTimeout(1000);
        EXPECT_EQ(impatient.Ping(), 0);
        EXPECT_EQ(impatient.LastError(), 11010u);
        // The dropped reply arrives about 32 ms into these echoes; theirs after 47.
        Result other, again;
        std::thread otherPinging([&] { other = PingOnce(patient); });
        impatient.SetTimeout(1000);
        again = PingOnce(impatient);
        otherPinging.join();
        for (const Result& result : {other, again}) {
            EXPECT_EQ(result.replies, 1) << "error " << result.error;
            EXPECT_GE(result.roundTrip, std::uint32_t{kServerDelayMs});
        }
    });
}

TEST_P(SharedEchoSocket, IcmpErrorReachesOnlyTheObjectWhoseRequestCausedIt)
{
    lab_->Near().Run([&] {
        TICMP refused(GetParam()), unanswered(GetParam()), answered(GetParam());
        refused.SetAddress(LabAddress::Unreachable);
        refused.SetTimeout(1000);
        unanswered.SetAddress(LabAddress::Silent);
        unanswered.SetTimeout(300);
        answered.SetAddress(LabAddress::Slow);
        answered.SetTimeout(1000);
        Result silent, slow;
        std::thread silentPinging([&] { silent = PingOnce(unanswered); });
        std::thread slowPinging([&] { slow = PingOnce(answered); });
        const Result error = PingOnce(refused);
        silentPinging.join();
        slowPinging.join();
        EXPECT_EQ(error.replies, 0);
        EXPECT_EQ(error.error, 11003u);
        EXPECT_EQ(refused.Reply().Address, AddressValue(LabAddress::Unreachable));
        EXPECT_EQ(silent.replies, 0);
        EXPECT_EQ(silent.error, 11010u) << "the error went to another request";
        EXPECT_EQ(slow.replies, 1) << "error " << slow.error;
    });
}

TEST_P(SharedEchoSocket, OneSocketForAllObjectsClosedWithTheLast)
{
    lab_->Near().Run([&] {
        EXPECT_FALSE(EchoSocket::IsOpen(GetParam()));
        auto first = std::make_unique<TICMP>(GetParam());
        auto second = std::make_unique<TICMP>(GetParam());
        ino_t inode = 0;
        {
            const std::shared_ptr<EchoSocket> socket = EchoSocket::Shared(GetParam());
            ASSERT_TRUE(socket);
            struct stat status{};
            ASSERT_EQ(fstat(socket->Descriptor(), &status), 0);
            inode = status.st_ino;
        }
        EXPECT_TRUE(ProcessHoldsSocket(inode));
        first.reset();
        second->SetAddress(LabAddress::Slow);
        second->SetTimeout(1000);
        EXPECT_EQ(second->Ping(), 1) << "the socket went with the first object";
        EXPECT_TRUE(EchoSocket::IsOpen(GetParam()));
        second.reset();
        EXPECT_FALSE(EchoSocket::IsOpen(GetParam()));
        EXPECT_FALSE(ProcessHoldsSocket(inode)) << "the socket outlived its last user";

        // A new user opens a new socket.
        TICMP third(GetParam());
        third.SetAddress(LabAddress::Slow);
        third.SetTimeout(1000);
        EXPECT_EQ(third.Ping(), 1);
    });
}

TEST_P(SharedEchoSocket, NamespacesHaveSocketsOfTheirOwn)
{
    std::shared_ptr<EchoSocket> near;
    lab_->Near().Run([&] { near = EchoSocket::Shared(GetParam()); });
    ASSERT_TRUE(near);
    std::string whyNot;
    auto elsewhere = NetworkNamespace::Create(whyNot);
    ASSERT_TRUE(elsewhere) << whyNot;
    elsewhere->WriteSysctl("ipv4/ping_group_range", "0 2147483647");
    std::shared_ptr<EchoSocket> other;
    elsewhere->Run([&] { other = EchoSocket::Shared(GetParam()); });
    ASSERT_TRUE(other);
    EXPECT_NE(near.get(), other.get());
}

// Requests go out side by side from many threads: each transmit report is told
// apart by the copy of the request it carries, whatever link it left by.
TEST_P(SharedEchoSocket, TransmitReportsNameTheRequestTheyAreAbout)
{
    lab_->Near().Run([&] {
        const int fd = GetParam() == EchoSocketKind::Raw ? socket(AF_INET, SOCK_RAW, IPPROTO_ICMP)
                                                          : socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(EnableKernelTimestamps(fd));
        std::uint16_t sequence = 700;
        for (const char* host : {LabAddress::Slow, "127.0.0.1"}) {
            std::vector<std::uint8_t> request(8 + 100, 0x5a);
            request[0] = 8;  // echo request
            request[1] = 0;
            request[4] = 0x12;
            request[5] = 0x34;
            request[6] = static_cast<std::uint8_t>(++sequence >> 8);
            request[7] = static_cast<std::uint8_t>(sequence);
            request[2] = request[3] = 0;
            const std::uint16_t checksum = htons(InternetChecksum(request.data(), request.size()));
            std::memcpy(&request[2], &checksum, 2);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            inet_pton(AF_INET, host, &to.sin_addr);
            ASSERT_GT(sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);

            std::optional<AwaitedEcho> reported;
            const auto limit = std::chrono::steady_clock::now() + Scaled(std::chrono::seconds(5));
            while (!reported && std::chrono::steady_clock::now() < limit) {
                pollfd watched{fd, 0, 0};
                poll(&watched, 1, 100);
                std::uint8_t copy[2048];
                alignas(cmsghdr) char control[512];
                iovec io{copy, sizeof copy};
                msghdr message{};
                message.msg_iov = &io;
                message.msg_iovlen = 1;
                message.msg_control = control;
                message.msg_controllen = sizeof control;
                const ssize_t length = recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
                if (length > 0 && MessageTimestamp(message))
                    reported = SentEchoKey({copy, static_cast<std::size_t>(length)});
            }
            ASSERT_TRUE(reported) << "no transmit report naming a request for " << host;
            EXPECT_EQ(reported->destination, to.sin_addr.s_addr) << host;
            EXPECT_EQ(reported->sequence, sequence) << host;
            if (GetParam() == EchoSocketKind::Raw) {
                EXPECT_EQ(reported->identifier, 0x1234) << host;  // datagram sockets put in their own
            }
        }
        close(fd);
    });
}

INSTANTIATE_TEST_SUITE_P(BothSocketKinds, SharedEchoSocket,
                         testing::Values(EchoSocketKind::Raw, EchoSocketKind::Datagram),
                         SocketKindTestName);

}  // namespace
