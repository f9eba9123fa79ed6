#include "app/long_options.hpp"

#include <algorithm>
#include <vector>

#include "app/help_screen.hpp"
#include "app/info_report.hpp"
#include "app/program_version.hpp"
#include "app/command_arguments.hpp"
#include "app/command_line.hpp"
#include "console/console_io.hpp"
#include "console/terminal_text.hpp"

namespace tagwright {

namespace {

bool has(std::span<const std::string> arguments, const char* option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
}

constexpr const char* kHelpBefore[] = {
    "Usage: tagwright ROM [options]",
    "       tagwright --in-place [options] ROM...",
    "Without arguments, tagwright opens its menus; their Help page says the same.",
    "",
};

constexpr const char* kHelpAfter[] = {
    "",
    "--in-place : Patch every ROM named, each written over itself (never rompatched.gba);",
    "             one line per ROM on standard error. Not with -o.",
    "--replace  : With -sN or -eN: first overwrite other types' library save strings",
    "             (EEPROM_Vnnn, SRAM_Vnnn, FLASH_Vnnn, ...) by the new tag's text.",
    "--fix      : Write the save type the game's code needs, as every emulator that",
    "             reads strings gives it; left as it is when it needs none or it is",
    "             not known (exit status 1). With --in-place: every ROM named.",
    "--         : Ends the options: every later argument names a ROM, even one that",
    "             starts with - or /.",
    "--help    : This text.",
    "--version : The program's version.",
    "--info ROM... : What save memory the game needs, and what the console and each",
    "                emulator make of each ROM.",
    "--info --json ROM... : The same, one JSON object per ROM and line.",
    "",
    "Exit status:",
    "  0    everything asked was done",
    "  1    something asked was not done: a ROM not read, an output not written or",
    "       padded, -e found no room, a save type outside 1-6, a string --replace",
    "       had no room to overwrite, --fix could not tell what a game needs",
    "  2    an argument was not understood: an unknown option, a missing value, an",
    "       argument passed over (each explained on standard error)",
    "  255  no argument named a file (\"Filename needed!\")",
    "With --in-place, the worst status of all the ROMs.",
    "",
    "The whole manual: man tagwright",
};

void printHelp(std::ostream& out) {
    for (const char* line : kHelpBefore) {
        writeLine(out, line);
    }
    for (const char* line : commandLineReference()) {
        writeLine(out, line);
    }
    for (const char* line : kHelpAfter) {
        writeLine(out, line);
    }
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
    const auto options = optionPart(arguments);
    if (has(options, "--help")) {
        printHelp(out);
        return outputChecked(0, kExitFailure, out, err);
    }
    if (has(options, "--version")) {
        out << "tagwright " << kProgramVersion << std::endl;
        return outputChecked(0, kExitFailure, out, err);
    }
    if (has(options, "--info")) {
        std::vector<std::string> names;
        for (const std::string& argument : options) {
            if (argument.empty() || argument[0] != '-') {
                names.push_back(argument);
            } else if (argument != "--info" && argument != "--json") {
                err << "tagwright: --info takes file names only; ignored: " << terminalSafe(argument)
                    << std::endl;
            }
        }
        if (options.size() < arguments.size()) {
            names.insert(names.end(),
                         arguments.begin() + static_cast<std::ptrdiff_t>(options.size()) + 1,
                         arguments.end());
        }
        if (names.empty()) {
            out << "Filename needed!" << std::endl;
            err << kShortUsage << std::endl;
            return -1;
        }
        const InfoFormat format = has(options, "--json") ? InfoFormat::Json : InfoFormat::Text;
        const int status = infoMode(names, format, out);
        return outputChecked(status, kInfoUnreadable, out, err);
    }
    return std::nullopt;
}

}  // namespace tagwright
