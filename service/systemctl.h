#pragma once
// Runs the systemctl program: $QUELLARIMOND_SYSTEMCTL when set (tests use a fake one), else
// "systemctl" found on PATH.

#include <string>
#include <vector>

namespace quel {

struct CommandResult {
    bool started = false;  // false: the program could not be run (errno-style code in error)
    int error = 0;
    int exitStatus = -1;   // exit status, or -1 when it ended by a signal
    std::string output;    // standard output when it was captured
    bool Succeeded() const { return started && exitStatus == 0; }
    // "exit status N", "killed by a signal" or the reason it could not be run.
    std::string Describe() const;
};

// Runs systemctl with the arguments and waits for it; standard output is captured when asked,
// else it goes where ours goes.
CommandResult RunSystemctl(const std::vector<std::string>& arguments, bool captureOutput = false);

} // namespace quel
