#include <csignal>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/main_menu.hpp"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // Past a file-size limit a write should fail and be reported (and the partial
    // temporary file removed), not kill the program half-way.
    (void)std::signal(SIGXFSZ, SIG_IGN);
#endif
    try {
        if (argc > 1) {
            const std::vector<std::string> arguments(argv + 1, argv + argc);
            return tagwright::commandLineMode(arguments);
        }
        tagwright::mainMenu(std::cin, std::cout);
    } catch (const std::bad_alloc&) {
        // Only the copy of the arguments can get here; the modes catch their own.
        std::cerr << tagwright::kOutOfMemory << std::endl;
        return tagwright::kExitFailure;
    }
    return 0;
}
