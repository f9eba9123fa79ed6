// The entry point on Windows: arguments arrive as UTF-16 and become UTF-8, the
// encoding every name has inside the program. At a console, typed text is read as
// UTF-16 too and handed on as UTF-8, and UTF-8 output is shown as such; redirected
// input and output stay bytes.
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
    std::cin.rdbuf(original);
    return status;
}
