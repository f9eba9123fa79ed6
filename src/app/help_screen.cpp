#include "app/help_screen.hpp"

#include <array>
#include <span>

#include "console/console_io.hpp"

namespace tagwright {

namespace {

// Exact text, trailing spaces included.
constexpr std::array<const char*, 40> kHelpLines = {
    "HELP.",
    "You type in the number by each menu option, followed by ENTER",
    "to choose the corresponding option.",
    "When it asks for a filename, it will keep asking for one until",
    "you provide it with a file that exists!",
    "This application can also be used via the commandline; Here are",
    "the options: ",
    "",
    "-p : Turn padding to next power of two on.",
    "-t : Patch the GBAROM title. Used like this -tTITLE.",
    "-c : Patch the game code. Used like this  -cCODE.",
    "-m : Patch the maker code. Used like this -mXX.",
    "-r : Patch the version number. Used like this -r100.",
    "-s : Save patch the ROM.Used like this -s1 or -s2 based on the ",
    "6 different save types.",
    "-e : Try to empty space patch the ROM. Used like this -e1 or -e6",
    "-o : Specify an output file. Used like this -oGBAROM.GBA.",
    "If none specified the rom will save to 'rompatched.gba'.",
    "",
    "Save Type Reference: ",
    "64 kb EEPROM : 1",
    "128kb EEPROM : 2",
    "1024kb Flash : 3",
    "512kb Flash  : 4",
    "256kb SRAM   : 5",
    "512kb SRAM   : 6",
    "",
    "Usage Example: ",
    "tagwright mycoolrom.gba -p -tOhHellYeah -cARSE -mME -r255 -s6 -oPaTcHeDcOoL.gba",
    "",
    "would:",
    "* open mycoolrom.gba,",
    "* pad the file to next power of 2,",
    "* set the title to OhHellYeah,",
    "* set the game code to ARSE,",
    "* set the maker code to ME,",
    "* set the version no. to 255 (FF),",
    "* do a save patch to SRAM 512 kb,",
    "* output this modified file to PaTcHeDcOoL.gba.",
    "END OF HELP.",
};

// From "-p : ..." to the last line of the save type reference.
constexpr std::size_t kReferenceFirst = 8;
constexpr std::size_t kReferenceCount = 18;
static_assert(kReferenceFirst + kReferenceCount <= kHelpLines.size());

}  // namespace

std::span<const char* const> commandLineReference() {
    return std::span(kHelpLines).subspan(kReferenceFirst, kReferenceCount);
}

void helpScreen(std::ostream& out) {
    for (const char* line : kHelpLines) {
        writeLine(out, line);
    }
}

}  // namespace tagwright
