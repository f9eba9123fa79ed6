#include "app/entry.hpp"

#include <csignal>
#include <new>

#include "app/command_line.hpp"
#include "app/main_menu.hpp"

namespace tagwright {

int runTagwright(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                 std::ostream& err) {
#ifdef SIGXFSZ
    // Past a file-size limit a write should fail and be reported (and the new file
    // removed), not kill the program half-way.
    (void)std::signal(SIGXFSZ, SIG_IGN);
#endif
    int status = kExitSuccess;
    try {
        if (arguments.empty()) {
            mainMenu(in, out, err);
        } else {
            status = commandLineMode(arguments, out, err);
        }
    } catch (const std::bad_alloc&) {
        err << kOutOfMemory << std::endl;
        status = kExitFailure;
    }
    // -1 shows as 255 where only the low 8 bits are kept; make it so everywhere.
    return static_cast<int>(static_cast<unsigned>(status) & 0xFFu);
}

}  // namespace tagwright
