#include "childprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

std::optional<ChildResult> RunChild(const std::vector<std::string>& argv,
                                    const std::map<std::string, std::string>& environment,
                                    std::chrono::milliseconds limit)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        for (const auto& [name, value] : environment) {
            if (value.empty())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
        ::dup2(out[1], STDOUT_FILENO);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDERR_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);

    ChildResult result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto drain = [&] {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                return;
            result.output.append(buffer, static_cast<std::size_t>(n));
        }
    };
    bool exited = false;
    int status = 0;
    while (!exited && std::chrono::steady_clock::now() < deadline) {
        pollfd readable{out[0], POLLIN, 0};
        ::poll(&readable, 1, 50);
        drain();
        exited = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    drain();
    ::close(out[0]);
    if (!exited) {
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return std::nullopt;
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
