// Runs the built program on Windows: CreateProcessW with pipes for the three
// standard streams, fed and drained by threads so that no side blocks the other.
#include <windows.h>

#include <stdexcept>
#include <thread>

#include "support/run_program.hpp"

namespace tagwright::testing {

namespace {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
    return utf8;
}

// One argument as the C runtime's command-line parser will split it back.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring text = L"\"";
    for (auto it = argument.begin();; ++it) {
        std::size_t backslashes = 0;
        while (it != argument.end() && *it == L'\\') {
            ++it;
            ++backslashes;
        }
        if (it == argument.end()) {
            text.append(backslashes * 2, L'\\');
            break;
        }
        if (*it == L'"') {
            text.append(backslashes * 2 + 1, L'\\');
        } else {
            text.append(backslashes, L'\\');
        }
        text.push_back(*it);
    }
    text.push_back(L'"');
    return text;
}

void check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(what);
    }
}

// A pipe whose child end is inherited and whose parent end is not.
void makePipe(HANDLE& read, HANDLE& write, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    check(CreatePipe(&read, &write, &inherit, 0) != 0, "CreatePipe");
    check(SetHandleInformation(childReads ? write : read, HANDLE_FLAG_INHERIT, 0) != 0,
          "SetHandleInformation");
}

void drain(HANDLE from, std::string& into) {
    char chunk[65536];
    DWORD n = 0;
    while (ReadFile(from, chunk, sizeof chunk, &n, nullptr) != 0 && n > 0) {
        into.append(chunk, n);
    }
}

std::string withoutCarriageReturns(const std::string& text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            plain.push_back(text[i]);
        }
    }
    return plain;
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options) {
    if (options.fileSizeLimit || options.runAsUser || options.closeStdin || options.closeStdout ||
        options.breakStdout || options.ignoreSigpipe || !options.stdoutAppendsTo.empty()) {
        throw std::logic_error("a POSIX-only run option was used on Windows");
    }
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    makePipe(inRead, inWrite, true);
    makePipe(outRead, outWrite, false);
    makePipe(errRead, errWrite, false);

    std::wstring commandLine = quoted(widen(program));
    for (const auto& argument : arguments) {
        commandLine += L" " + quoted(widen(argument));
    }
    const std::wstring folder = widen(options.workingDirectory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const bool started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process) != 0;
    CloseHandle(inRead);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (!started) {
        CloseHandle(inWrite);
        CloseHandle(outRead);
        CloseHandle(errRead);
        throw std::runtime_error("CreateProcessW");
    }

    RunResult result;
    std::thread feeder([&] {
        DWORD n = 0;
        std::size_t sent = 0;
        while (sent < options.input.size() &&
               WriteFile(inWrite, options.input.data() + sent,
                         static_cast<DWORD>(options.input.size() - sent), &n, nullptr) != 0) {
            sent += n;
        }
        CloseHandle(inWrite);
    });
    std::thread outReader([&] { drain(outRead, result.rawOut); });
    std::thread errReader([&] { drain(errRead, result.err); });

    const DWORD waited =
        WaitForSingleObject(process.hProcess, static_cast<DWORD>(options.timeoutSeconds) * 1000);
    if (waited != WAIT_OBJECT_0) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    feeder.join();
    outReader.join();
    errReader.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    // A status beyond 0..255 is no exit status a POSIX shell could see: report it as none.
    result.exitStatus = code <= 255 ? static_cast<int>(code) : -1;
    result.out = withoutCarriageReturns(result.rawOut);
    result.err = withoutCarriageReturns(result.err);
    return result;
}

std::string tagwrightPath() {
    // The program is built beside the tests: ..\src\tagwright.exe from this executable.
    std::wstring self(MAX_PATH, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    self.resize(n);
    self = self.substr(0, self.find_last_of(L"\\/"));
    return narrow(self.substr(0, self.find_last_of(L"\\/")) + L"\\src\\tagwright.exe");
}

std::optional<unsigned> unprivilegedUserIfRoot() {
    return std::nullopt;
}

}  // namespace tagwright::testing
