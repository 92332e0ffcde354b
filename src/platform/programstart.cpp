#include "platform/programstart.h"

#include <cctype>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::string_view kDefaultWindowsLauncher = "wine";

// How long we wait to learn whether the program was executed. Reaching exec
// takes milliseconds; the bound only keeps a wedged child from hanging the
// window.
constexpr std::chrono::milliseconds kStartReportTimeout{5000};

// Messages from the helper processes to us over the status pipe. The pipe
// closes on the program's successful exec, so an exec failure is the only
// thing that can follow the pid.
enum class ReportKind : int { ProgramPid = 1, ForkFailed = 2, ExecFailed = 3 };

struct Report {
    ReportKind kind;
    int value;
};

bool IsWindowsProgram(std::string_view path)
{
    constexpr std::string_view suffix = ".exe";
    if (path.size() < suffix.size())
        return false;
    const std::string_view tail = path.substr(path.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
    });
}

std::vector<std::string> SplitAtBlanks(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
        words.emplace_back(text.substr(start, end - start));
        pos = end;
    }
    return words;
}

std::string WindowsLauncher()
{
    const char* configured = std::getenv("WINE");
    if (configured != nullptr && *configured != '\0')
        return configured;
    return std::string(kDefaultWindowsLauncher);
}

void ReportFailure(const std::string& path, const std::string& reason)
{
    const std::string line = "quimbrel: cannot start " + path + ": " + reason + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::string ErrorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

void WriteReport(int fd, ReportKind kind, int value)
{
    const Report report{kind, value};
    // One small write is atomic on a pipe; if it fails there is nobody left
    // to tell.
    [[maybe_unused]] ssize_t written = write(fd, &report, sizeof report);
}

// Everything the child processes need, prepared before fork: after fork only
// async-signal-safe calls are allowed, as other threads may hold locks.
struct ExecPlan {
    std::vector<std::string> words;  // argv, words[0] is the program to run
    std::vector<char*> argv;
    bool searchPath = false;         // the launcher is looked up on PATH
    int maxFd = 0;                   // fallback bound for marking fds close-on-exec
    sigset_t emptyMask;
};

[[noreturn]] void RunProgram(const ExecPlan& plan, int reportFd)
{
    // The game must outlive us and stay out of our terminal's job control.
    setsid();

    // Nothing of ours may leak into the game: every descriptor above stderr
    // closes at exec, the status pipe included, which is what tells the
    // parent that exec succeeded.
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < plan.maxFd; ++fd)
            fcntl(fd, F_SETFD, FD_CLOEXEC);
    }

    // Blocked signals and an ignored SIGPIPE would be inherited through exec.
    sigprocmask(SIG_SETMASK, &plan.emptyMask, nullptr);
    signal(SIGPIPE, SIG_DFL);

    if (plan.searchPath)
        execvp(plan.argv[0], plan.argv.data());
    else
        execv(plan.argv[0], plan.argv.data());

    WriteReport(reportFd, ReportKind::ExecFailed, errno);
    _exit(127);
}

// The intermediate process: starts the program and exits at once, so the
// program is adopted by init and never becomes our zombie.
[[noreturn]] void RunIntermediate(const ExecPlan& plan, int reportFd)
{
    // Only async-signal-safe calls are allowed here, in the child of a
    // threaded program: _Fork runs no fork handlers.
    const pid_t program = _Fork();
    if (program < 0) {
        WriteReport(reportFd, ReportKind::ForkFailed, errno);
        _exit(1);
    }
    if (program == 0)
        RunProgram(plan, reportFd);
    WriteReport(reportFd, ReportKind::ProgramPid, program);
    _exit(0);
}

void ReapIntermediate(pid_t intermediate)
{
    int status = 0;
    while (waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
    }
}

// Reads the helpers' reports until the pipe closes or the time is up.
StartResult CollectReports(int readFd)
{
    StartResult result;
    const auto deadline = std::chrono::steady_clock::now() + kStartReportTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;  // still not executed: assume it is on its way
        pollfd waitFor{readFd, POLLIN, 0};
        const int ready = poll(&waitFor, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;

        Report report;
        const ssize_t got = read(readFd, &report, sizeof report);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != ssize_t(sizeof report))
            break;  // closed: the program was executed
        switch (report.kind) {
        case ReportKind::ProgramPid: result.pid = pid_t(report.value); break;
        case ReportKind::ForkFailed:
        case ReportKind::ExecFailed: result.error = report.value; break;
        }
    }
    if (result.pid < 0 && result.error == 0)
        result.error = ECHILD;  // the helper vanished without a word
    return result;
}

StartResult Fail(const std::string& path, int error, const std::string& reason)
{
    ReportFailure(path, reason);
    StartResult result;
    result.error = error;
    return result;
}

// "C:\..." or anything with a backslash: a path for the Windows launcher.
bool IsWindowsStylePath(const std::string& path)
{
    const bool drive = path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
    return drive || path.find('\\') != std::string::npos;
}

}  // namespace

StartResult StartProgram(const std::string& path, const std::string& parameters)
{
    ExecPlan plan;
    const bool windows = IsWindowsProgram(path);
    std::string launcher;
    if (windows) {
        // The launcher would start and only then complain; catch the common
        // case of a missing file here, with a clear reason. Paths in the
        // Windows form ("C:\Games\zarn2.exe", as installations record them)
        // only the launcher can resolve.
        struct stat info;
        if (!IsWindowsStylePath(path) && stat(path.c_str(), &info) != 0)
            return Fail(path, errno, ErrorText(errno));
        if (!IsWindowsStylePath(path) && S_ISDIR(info.st_mode))
            return Fail(path, EISDIR, ErrorText(EISDIR));
        launcher = WindowsLauncher();
        plan.words.push_back(launcher);
        plan.searchPath = true;
    }
    plan.words.push_back(path);
    for (std::string& word : SplitAtBlanks(parameters))
        plan.words.push_back(std::move(word));
    for (std::string& word : plan.words)
        plan.argv.push_back(word.data());
    plan.argv.push_back(nullptr);
    const long openMax = sysconf(_SC_OPEN_MAX);
    plan.maxFd = openMax > 0 && openMax < 1 << 20 ? int(openMax) : 1 << 20;
    sigemptyset(&plan.emptyMask);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return Fail(path, errno, ErrorText(errno));

    const pid_t intermediate = fork();
    if (intermediate < 0) {
        const int error = errno;
        close(pipeFds[0]);
        close(pipeFds[1]);
        return Fail(path, error, ErrorText(error));
    }
    if (intermediate == 0) {
        close(pipeFds[0]);
        RunIntermediate(plan, pipeFds[1]);
    }

    close(pipeFds[1]);
    ReapIntermediate(intermediate);
    StartResult result = CollectReports(pipeFds[0]);
    close(pipeFds[0]);

    if (!result.started()) {
        const std::string reason = windows ? launcher + ": " + ErrorText(result.error)
                                           : ErrorText(result.error);
        ReportFailure(path, reason);
        result.pid = -1;
    }
    return result;
}
