#include "app/long_options.hpp"

#include <algorithm>
#include <vector>

#include "app/help_screen.hpp"
#include "app/info_report.hpp"
#include "app/program_version.hpp"
#include "app/command_line.hpp"
#include "console/console_io.hpp"
#include "console/terminal_text.hpp"

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

// A report nobody received is a failure, said where it may still be seen.
int outputChecked(int status, int statusWhenLost, std::ostream& out, std::ostream& err) {
    if (out.flush()) {
        return status;
    }
    err << "tagwright: standard output could not be written" << std::endl;
    return statusWhenLost;
}

}  // namespace

std::optional<int> runLongOption(std::span<const std::string> arguments, std::ostream& out,
                                 std::ostream& err) {
    if (has(arguments, "--help")) {
        printHelp(out);
        return outputChecked(0, kExitFailure, out, err);
    }
    if (has(arguments, "--version")) {
        out << "tagwright " << kProgramVersion << std::endl;
        return outputChecked(0, kExitFailure, out, err);
    }
    if (has(arguments, "--info")) {
        std::vector<std::string> names;
        for (const std::string& argument : arguments) {
            if (argument.empty() || argument[0] != '-') {
                names.push_back(argument);
            } else if (argument != "--info") {
                err << "tagwright: --info takes file names only; ignored: " << terminalSafe(argument)
                    << std::endl;
            }
        }
        if (names.empty()) {
            out << "Filename needed!" << std::endl;
            err << kShortUsage << std::endl;
            return -1;
        }
        const int status = infoMode(names, out);
        return outputChecked(status, kInfoUnreadable, out, err);
    }
    return std::nullopt;
}

}  // namespace tagwright
