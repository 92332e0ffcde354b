#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

// What a finished program printed, or nothing when it could not be started
// or had to be stopped at its time limit.
struct ChildResult {
    int exitCode = -1;
    std::string output;  // standard output; standard error is discarded
};

// Runs `argv` with `environment` set on top of ours (an empty value removes
// a variable), waiting at most `limit`. Programs that linger in the
// background (a Wine server) may keep running; nothing waits for them.
std::optional<ChildResult> RunChild(const std::vector<std::string>& argv,
                                    const std::map<std::string, std::string>& environment,
                                    std::chrono::milliseconds limit);
