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
    bool closeStdin = false;                     // start with standard input closed
    bool closeStdout = false;                    // start with standard output closed
    bool breakStdout = false;                    // standard output a pipe nobody reads
    std::string stdoutAppendsTo;                 // standard output this file, opened to append
    bool ignoreSigpipe = false;                  // start with SIGPIPE ignored
    std::optional<unsigned> runAsUser;           // drop to this uid (when root)
    int timeoutSeconds = 60;                     // then the child is killed
};

struct RunResult {
    int exitStatus = -1;  // 0..255, or -1 when the program did not exit normally
    int signal = 0;       // the signal that ended it, if any
    bool timedOut = false;
    std::string out;     // everything written to standard output, with "\n" line ends
    std::string err;     // everything written to standard error, with "\n" line ends
    std::string rawOut;  // standard output as written (on Windows "\r\n" line ends)
};

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options = {});

// Path of the tagwright executable under test: the build's own, or the one named by
// TAGWRIGHT_UNDER_TEST (the suite runs a second build of the program that way).
std::string tagwrightPath();

// The unprivileged uid to run as when the tests run as root (root reads and writes
// regardless of permissions), or nothing when they do not.
std::optional<unsigned> unprivilegedUserIfRoot();

}  // namespace tagwright::testing
