#pragma once

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Another process in a Wine server's folder, as the server works there,
// holding its lock on the file as the server does for as long as it runs
// (unless `takeLock` is false), until this object goes.
class LockHolder {
public:
    explicit LockHolder(const std::filesystem::path& lockFile, bool takeLock = true)
    {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::alarm(60); // never outlives a stuck test
            ::close(release[1]);
            ::close(ready[0]);
            const int fd = ::open(lockFile.c_str(), O_CREAT | O_WRONLY, 0600);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_len = 1;
            const bool locked = fd >= 0 && (!takeLock || ::fcntl(fd, F_SETLK, &lock) == 0);
            const char ok = locked && ::chdir(lockFile.parent_path().c_str()) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            char ignored;
            (void)!::read(release[0], &ignored, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        pollfd wait{ready[0], POLLIN, 0};
        char ok = 'n';
        if (::poll(&wait, 1, 20000) == 1)
            (void)!::read(ready[0], &ok, 1);
        ::close(ready[0]);
        locked_ = ok == 'y';
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    ~LockHolder()
    {
        ::close(release_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    // Whether it stands in the folder, with the lock if it was to take it.
    bool Locked() const { return locked_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

// The name of the Wine server folder of a prefix folder.
inline std::string ServerFolder(const std::filesystem::path& prefix)
{
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0)
        throw std::runtime_error("stat");
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return name;
}

