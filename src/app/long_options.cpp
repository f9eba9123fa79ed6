#include "app/long_options.hpp"

#include <algorithm>
#include <vector>

#include "app/help_screen.hpp"
#include "app/info_report.hpp"
#include "app/program_version.hpp"
#include "console/console_io.hpp"

namespace tagwright {

namespace {

bool has(std::span<const std::string> arguments, const char* option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
}

void printHelp(std::ostream& out) {
    writeLine(out, "Usage: tagwright ROM [options]");
    writeLine(out, "Without arguments, tagwright opens its menus; their Help page says the same.");
    writeLine(out);
    for (const char* line : commandLineReference()) {
        writeLine(out, line);
    }
    writeLine(out);
    writeLine(out, "--help    : This text.");
    writeLine(out, "--version : The program's version.");
    writeLine(out, "--info ROM... : What the console and each emulator make of each ROM.");
    writeLine(out);
    writeLine(out, "The whole manual: man tagwright");
}

}  // namespace

std::optional<int> runLongOption(std::span<const std::string> arguments, std::ostream& out,
                                 std::ostream& err) {
    if (has(arguments, "--help")) {
        printHelp(out);
        return 0;
    }
    if (has(arguments, "--version")) {
        out << "tagwright " << kProgramVersion << std::endl;
        return 0;
    }
    if (has(arguments, "--info")) {
        std::vector<std::string> names;
        for (const std::string& argument : arguments) {
            if (argument.empty() || argument[0] != '-') {
                names.push_back(argument);
            } else if (argument != "--info") {
                err << "tagwright: --info takes file names only; ignored: " << argument
                    << std::endl;
            }
        }
        if (names.empty()) {
            out << "Filename needed!" << std::endl;
            err << kShortUsage << std::endl;
            return -1;
        }
        return infoMode(names, out);
    }
    return std::nullopt;
}

}  // namespace tagwright
