#include "support/run_program.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <stdexcept>

namespace tagwright::testing {

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(what);
    }
}

void closeFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// Feeds `input` to one pipe while draining two others, so no side can block the other.
// Returns false when the deadline passed first.
bool exchange(int toChild, const std::string& input, int fromOut, int fromErr, RunResult& result,
              std::chrono::steady_clock::time_point deadline) {
    std::size_t written = 0;
    if (input.empty()) {
        closeFd(toChild);
    }
    char chunk[65536];
    while (fromOut >= 0 || fromErr >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            closeFd(toChild);
            closeFd(fromOut);
            closeFd(fromErr);
            return false;
        }
        pollfd fds[3] = {{fromOut, POLLIN, 0}, {fromErr, POLLIN, 0}, {toChild, POLLOUT, 0}};
        if (poll(fds, 3, static_cast<int>(left.count())) < 0) {
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
                    closeFd(fd);
                }
            }
        }
        if (toChild >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = write(toChild, input.data() + written, input.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
            if (n <= 0 || written == input.size()) {
                closeFd(toChild);
            }
        }
    }
    closeFd(toChild);
    return true;
}

// A copy of a program in a fresh folder that every user can enter, for running it
// as another user wherever the original lives (a checkout under a 0700 home, say).
// The folder goes with the object.
class ReachableCopy {
  public:
    explicit ReachableCopy(const std::string& program) {
        char folder[] = "/tmp/tagwright-exe-XXXXXX";
        check(mkdtemp(folder) != nullptr, "mkdtemp");
        folder_ = folder;
        path_ = folder_ + "/" + program.substr(program.find_last_of('/') + 1);
        const bool copied = std::filesystem::copy_file(program, path_);
        check(copied && chmod(folder, 0755) == 0 && chmod(path_.c_str(), 0755) == 0,
              "copy of the program");
    }
    ~ReachableCopy() {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    ReachableCopy(const ReachableCopy&) = delete;
    ReachableCopy& operator=(const ReachableCopy&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string folder_;
    std::string path_;
};

}  // namespace

RunResult runProgram(const std::string& original, const std::vector<std::string>& arguments,
                     const RunOptions& options) {
    std::optional<ReachableCopy> copy;
    if (options.runAsUser) {
        copy.emplace(original);
    }
    const std::string& program = copy ? copy->path() : original;
    int in[2], out[2], err[2];
    check(pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0,
          "pipe");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    if (options.breakStdout) {
        close(out[0]);  // nobody will ever read what the child writes
        out[0] = -1;
    }

    const pid_t pid = fork();
    check(pid >= 0, "fork");
    if (pid == 0) {
        options.closeStdin ? close(0) : dup2(in[0], 0);
        if (!options.stdoutAppendsTo.empty()) {
            const int file =
                open(options.stdoutAppendsTo.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
            if (file < 0 || dup2(file, 1) < 0) {
                _exit(124);
            }
        } else {
            options.closeStdout ? close(1) : dup2(out[1], 1);
        }
        dup2(err[1], 2);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            _exit(126);
        }
        if (options.fileSizeLimit) {
            const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.runAsUser &&
            (setgid(*options.runAsUser) != 0 || setuid(*options.runAsUser) != 0)) {
            _exit(125);
        }
        signal(SIGPIPE, options.ignoreSigpipe ? SIG_IGN : SIG_DFL);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test

    RunResult result;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    if (!exchange(in[1], options.input, out[0], err[0], result, deadline)) {
        result.timedOut = true;
        kill(pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        check(errno == EINTR, "waitpid");
    }
    result.rawOut = result.out;
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::string tagwrightPath() {
    // Another build of the program, when a test run is pointed at one.
    const char* other = std::getenv("TAGWRIGHT_UNDER_TEST");
    return other != nullptr && *other != '\0' ? other : TAGWRIGHT_EXECUTABLE;
}

std::optional<unsigned> unprivilegedUserIfRoot() {
    constexpr unsigned kNobody = 65534;
    if (geteuid() == 0) {
        return kNobody;
    }
    return std::nullopt;
}

}  // namespace tagwright::testing
