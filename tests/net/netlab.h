#pragma once
// Test networks: anonymous network namespaces joined by a veth pair, with a small
// echo responder of our own in the far one. Everything lives only as long as the
// objects (and at most as long as the test process), so nothing needs a unique name
// and nothing is left behind when a test fails or crashes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// A network namespace of its own, kept alive by an open descriptor.
class NetworkNamespace {
public:
    // A new namespace with its loopback up, or nullptr with the reason (not root, ...).
    static std::unique_ptr<NetworkNamespace> Create(std::string& whyNot);
    ~NetworkNamespace();

    int Descriptor() const { return fd_; }
    // Runs fn on a thread that has entered the namespace and waits for it.
    void Run(const std::function<void()>& fn) const;
    // Writes a /proc/sys/net value for this namespace; false on failure.
    bool WriteSysctl(const std::string& name, const std::string& value) const;

private:
    explicit NetworkNamespace(int fd) : fd_(fd) {}
    int fd_;
};

// The answers of the far host, by the address an echo request was sent to.
namespace LabAddress {
inline constexpr char Near[] = "198.18.0.1";         // the near end, where echoes start
inline constexpr char Slow[] = "198.18.0.2";         // answers after the set delay, among decoys
inline constexpr char Silent[] = "198.18.0.3";       // never answers
inline constexpr char Unreachable[] = "198.18.0.4";  // answers with "host unreachable"
inline constexpr char TtlExpired[] = "198.18.0.5";   // "time exceeded", sent from Unreachable
}  // namespace LabAddress

// Two namespaces, near and far, linked by a veth pair. The far one has the kernel's
// own echo answers switched off and runs our responder instead.
class EchoLab {
public:
    static std::unique_ptr<EchoLab> Create(int slowDelayMs, std::string& whyNot);
    ~EchoLab();

    const NetworkNamespace& Near() const { return *near_; }
    // CPU time the far host's responder has used: it runs in this process, but
    // stands for another machine.
    double ResponderCpuSeconds();

private:
    EchoLab() = default;
    void Respond(std::atomic<bool>& ready);

    std::unique_ptr<NetworkNamespace> near_;
    std::unique_ptr<NetworkNamespace> far_;
    int slowDelayMs_ = 0;
    std::atomic<bool> stop_{false};
    std::thread responder_;
};

std::uint32_t AddressValue(const char* dotted);  // network byte order
