// The entry point on Windows: arguments arrive as UTF-16 and become UTF-8, the
// encoding every name has inside the program. At a console, typed text is read as
// UTF-16 too and handed on as UTF-8, and UTF-8 output is shown as such; redirected
// input and output stay bytes.
//
// A console window that Windows opened for tagwright alone (a ROM dropped onto the
// exe, a double click) would close with the program and take its messages with it,
// so then the program waits for Enter before it ends. Started from a console, a
// script or with redirected input, it never waits. TAGWRIGHT_ASSUME_OWN_CONSOLE=1
// in the environment makes it take the window as its own whatever it is, so that
// the tests, which have no window, run the waiting too.
#include <windows.h>

#include <array>
#include <iostream>
#include <new>
#include <streambuf>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/entry.hpp"

namespace {

std::string narrow(const wchar_t* text, int length) {
    if (length == 0) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    }
    return utf8;
}

// Standard input at a console, read with ReadConsoleW and given out as UTF-8.
class ConsoleInput : public std::streambuf {
  public:
    explicit ConsoleInput(HANDLE console) : console_(console) {}

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        std::array<wchar_t, 1024> wide{};
        DWORD read = 0;
        if (ReadConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &read, nullptr) ==
                0 ||
            read == 0) {
            return traits_type::eof();
        }
        // Ctrl-Z at the start of a line ends the input, as it does for byte reads.
        if (wide[0] == 0x1A) {
            return traits_type::eof();
        }
        buffer_ = narrow(wide.data(), static_cast<int>(read));
        setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
        return buffer_.empty() ? traits_type::eof() : traits_type::to_int_type(*gptr());
    }

  private:
    HANDLE console_;
    std::string buffer_;
};

// True when no other process shares the console and standard input is that console.
bool consoleIsOurs(HANDLE input) {
    if (GetEnvironmentVariableW(L"TAGWRIGHT_ASSUME_OWN_CONSOLE", nullptr, 0) > 0) {
        return true;
    }
    DWORD mode = 0;
    std::array<DWORD, 2> processes{};
    return GetConsoleMode(input, &mode) != 0 &&
           GetConsoleProcessList(processes.data(), static_cast<DWORD>(processes.size())) == 1;
}

void waitForEnter() {
    std::cerr << "Press Enter to close this window." << std::endl;
    std::cin.clear();
    std::string line;
    std::getline(std::cin, line);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    try {
        for (int i = 1; i < argc; ++i) {
            arguments.push_back(narrow(argv[i], static_cast<int>(wcslen(argv[i]))));
        }
    } catch (const std::bad_alloc&) {
        std::cerr << tagwright::kOutOfMemory << std::endl;
        return tagwright::kExitFailure;
    }
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    ConsoleInput console(input);
    std::streambuf* const original = std::cin.rdbuf();
    if (GetConsoleMode(input, &mode) != 0) {
        std::cin.rdbuf(&console);
    }
    SetConsoleOutputCP(CP_UTF8);
    const int status = tagwright::runTagwright(arguments);
    if (consoleIsOurs(input)) {
        waitForEnter();
    }
    std::cin.rdbuf(original);
    return status;
}
