#include "support/run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace tagwright::testing {

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(what);
    }
}

// Feeds `input` to one pipe while draining two others, so no side can block the other.
void exchange(int toChild, const std::string& input, int fromOut, int fromErr, RunResult& result) {
    std::size_t written = 0;
    if (input.empty()) {
        close(toChild);
        toChild = -1;
    }
    char chunk[65536];
    while (fromOut >= 0 || fromErr >= 0) {
        pollfd fds[3] = {{fromOut, POLLIN, 0}, {fromErr, POLLIN, 0}, {toChild, POLLOUT, 0}};
        if (poll(fds, 3, -1) < 0) {
            check(errno == EINTR, "poll");
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? fromOut : fromErr;
            if (fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t n = read(fd, chunk, sizeof chunk);
                if (n > 0) {
                    (i == 0 ? result.out : result.err).append(chunk, static_cast<std::size_t>(n));
                } else {
                    close(fd);
                    fd = -1;
                }
            }
        }
        if (toChild >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = write(toChild, input.data() + written, input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            if (n <= 0 || written == input.size()) {
                close(toChild);
                toChild = -1;
            }
        }
    }
    if (toChild >= 0) {
        close(toChild);
    }
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options) {
    int in[2], out[2], err[2];
    check(pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0,
          "pipe");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    const pid_t pid = fork();
    check(pid >= 0, "fork");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        if (options.fileSizeLimit) {
            const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        signal(SIGPIPE, SIG_DFL);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test

    RunResult result;
    exchange(in[1], options.input, out[0], err[0], result);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        check(errno == EINTR, "waitpid");
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::string tagwrightPath() {
    return TAGWRIGHT_EXECUTABLE;
}

}  // namespace tagwright::testing
