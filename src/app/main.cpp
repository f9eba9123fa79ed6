// The entry point where arguments arrive as byte strings (POSIX systems).
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/entry.hpp"

int main(int argc, char** argv) {
    std::vector<std::string> arguments;
    try {
        arguments.assign(argv + 1, argv + argc);
    } catch (const std::bad_alloc&) {
        std::cerr << tagwright::kOutOfMemory << std::endl;
        return tagwright::kExitFailure;
    }
    return tagwright::runTagwright(arguments);
}
