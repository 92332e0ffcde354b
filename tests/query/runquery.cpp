#include "runquery.h"

#include <QJsonDocument>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

QStringList QueryRun::Lines() const
{
    QString text = QString::fromUtf8(out);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QJsonObject QueryRun::Json() const
{
    return QJsonDocument::fromJson(out).object();
}

namespace {

using Clock = std::chrono::steady_clock;

// Reads both pipes until they close or the deadline passes; false on the deadline.
bool ReadUntilClosed(int outFd, int errFd, QByteArray& out, QByteArray& err, Clock::time_point deadline)
{
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    QByteArray* sinks[2] = {&out, &err};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        if (::poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR)
            return false;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, got);
            } else if (got == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return true;
}

} // namespace

// A plain fork and exec rather than QProcess, so that thread checkers, which
// follow fork but not Qt's own way of starting processes, can run these tests.
QueryRun RunQuery(const QStringList& arguments, const QStringList& environment, int networkNamespace,
                  bool withoutRawSockets)
{
    std::vector<std::string> argumentTexts{QUIMBREL_QUERY_PATH};
    for (const QString& argument : arguments)
        argumentTexts.push_back(argument.toStdString());
    // A settings file or game installation of the user's must never count here.
    std::vector<std::string> assignments{"QUIMBREL_INI=/nonexistent/Quimbrel.ini", "WINEPREFIX=/nonexistent/wine"};
    for (const QString& assignment : environment)
        assignments.push_back(assignment.toStdString());
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('=') + 1);
        bool replaced = false;
        for (const std::string& assignment : assignments)
            replaced = replaced || assignment.compare(0, name.size(), name) == 0;
        if (!replaced)
            variables.push_back(variable);
    }
    // The caller's own assignments win over the default above.
    for (std::size_t i = 0; i < assignments.size(); ++i) {
        const std::string name = assignments[i].substr(0, assignments[i].find('=') + 1);
        bool overridden = false;
        for (std::size_t later = i + 1; later < assignments.size(); ++later)
            overridden = overridden || assignments[later].compare(0, name.size(), name) == 0;
        if (!overridden)
            variables.push_back(assignments[i]);
    }
    // Everything the child needs is made before the fork: after it, only calls
    // that are safe in a copy of a threaded program.
    std::vector<char*> argv, envp;
    for (std::string& text : argumentTexts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    for (std::string& text : variables)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    int outPipe[2], errPipe[2];
    QueryRun run;
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return run;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return run;
    }

    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        // The tool must never run in the wrong network.
        if (networkNamespace >= 0 && ::setns(networkNamespace, CLONE_NEWNET) != 0)
            ::_exit(127);
        // Out of the bounding set, the right is not regained by running the program.
        if (withoutRawSockets && ::prctl(PR_CAPBSET_DROP, CAP_NET_RAW, 0, 0, 0) != 0)
            ::_exit(127);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (child < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return run;
    }

    const bool ended = ReadUntilClosed(outPipe[0], errPipe[0], run.out, run.err, start + std::chrono::seconds(30));
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (!ended)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (ended && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    else
        run = QueryRun{};
    return run;
}
