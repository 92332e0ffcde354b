#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// The running processes of this user, as /proc shows them. Processes of
// other users are left out: their folders and files are not ours to look at.
std::vector<pid_t> OwnProcesses();

// Where the link `name` of process `pid` points ("cwd", "exe", "fd/3"), or
// nothing when the process is gone or does not let us look.
std::optional<std::string> ProcessLink(pid_t pid, const std::string& name);

// The targets of the process's open file descriptors ("pipe:[1234]",
// "/dev/null", ...); empty when it cannot be read.
std::vector<std::string> ProcessOpenFiles(pid_t pid);

// The process's command line, one string per argument.
std::vector<std::string> ProcessArguments(pid_t pid);
