#pragma once

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sched.h>
#include <string>
#include <sys/mount.h>

// A mount that only this process sees (in a mount namespace of its own,
// taken on first use), undone when the object goes. Tests running as root
// use it to make "cannot write" real: a read-only file, a full disk.
class PrivateMount {
public:
    // A file system of `bytes` bytes on the folder `target`.
    static PrivateMount SmallFileSystem(const std::filesystem::path& target, std::size_t bytes)
    {
        PrivateMount mount(target);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (mount.EnterOwnNamespace() && ::mount("tmpfs", target.c_str(), "tmpfs", 0, options.c_str()) != 0)
            mount.Failed("cannot mount a small file system");
        return mount;
    }

    // The file or folder `target`, read-only in place.
    static PrivateMount ReadOnly(const std::filesystem::path& target)
    {
        PrivateMount mount(target);
        if (mount.EnterOwnNamespace()) {
            if (::mount(target.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0)
                mount.Failed("cannot bind-mount");
            else if (::mount(nullptr, target.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
                mount.Failed("cannot make a bind mount read-only");
        }
        return mount;
    }

    PrivateMount(PrivateMount&& other) noexcept : target_(std::move(other.target_)), whyNot_(std::move(other.whyNot_))
    {
        other.target_.clear();
    }
    PrivateMount(const PrivateMount&) = delete;
    PrivateMount& operator=(const PrivateMount&) = delete;
    ~PrivateMount() { Undo(); }

    void Undo()
    {
        if (!target_.empty() && whyNot_.empty())
            ::umount2(target_.c_str(), MNT_DETACH);
        target_.clear();
    }

    bool Made() const { return whyNot_.empty(); }
    const std::string& WhyNot() const { return whyNot_; }

private:
    explicit PrivateMount(std::filesystem::path target) : target_(std::move(target)) {}

    bool EnterOwnNamespace()
    {
        static const int error = [] {
            if (::unshare(CLONE_NEWNS) != 0)
                return errno;
            // Nothing mounted here may reach the rest of the system.
            return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 ? 0 : errno;
        }();
        if (error != 0)
            whyNot_ = std::string("no mount namespace of our own: ") + std::strerror(error);
        return error == 0;
    }

    void Failed(const char* what) { whyNot_ = std::string(what) + ": " + std::strerror(errno); }

    std::filesystem::path target_;
    std::string whyNot_;
};
