// Runs the built tagwright program as a separate process, the way a user would.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tagwright::testing {

struct RunOptions {
    std::string workingDirectory;                // empty: the test's own
    std::optional<unsigned long> fileSizeLimit;  // RLIMIT_FSIZE for the child, in bytes
    std::string input;                           // standard input
};

struct RunResult {
    int exitStatus = -1;  // 0..255, or -1 when the program did not exit normally
    int signal = 0;       // the signal that ended it, if any
    std::string out;      // everything written to standard output
    std::string err;      // everything written to standard error
};

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options = {});

// Path of the tagwright executable under test.
std::string tagwrightPath();

}  // namespace tagwright::testing
