// What the arguments of a command-line run say before anything is loaded: which are
// options and which name ROMs, the two long options that change how a run works, and
// the explanations of everything that cannot be taken as written. With --fix, the run
// chooses the tag itself: -s and -e are passed over, and --replace is part of what it
// chooses.
//
//   option     an argument before "--" that starts with "-" or "/", except on POSIX
//              systems one that starts with "/" and names an existing file (an
//              absolute path)
//   --         the first one ends the options: every argument after it is a name
//   name       every other argument, the empty one included
//   ROM        one run: the first name; --in-place: every name, each once
//   passed over  every other name: a value written apart from its letter ("-o
//              out.gba") or a second ROM without --in-place
//
// Explanations go to standard error, one line each, "tagwright: " first. They are
// about the arguments alone; what an option then meets in a ROM (no room for -e) is
// reported by the run.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace tagwright {

inline constexpr const char* kInPlaceOption = "--in-place";
inline constexpr const char* kReplaceOption = "--replace";
inline constexpr const char* kFixOption = "--fix";
inline constexpr const char* kEndOfOptions = "--";

// The arguments that can hold options: those before the first "--".
std::span<const std::string> optionPart(std::span<const std::string> arguments);

struct CommandArguments {
    std::vector<bool> isOption;      // one per argument
    std::vector<std::string> roms;   // in the order given
    bool inPlace = false;
    bool replace = false;
    bool fix = false;                // --fix: the save type the game needs, written as it reads
    std::vector<std::string> explanations;  // lines for standard error, prefix included
    bool misunderstood = false;      // an argument not understood in full: status 2
    bool notATypeAsked = false;      // an -s or -e with other than 1-6 after it: status 1
    bool outputWithInPlace = false;  // -o with --in-place: nothing is done
};

CommandArguments readCommandArguments(std::span<const std::string> arguments);

// Whether `name` names something that exists and is not a folder.
bool namesExistingFile(const std::string& name);

}  // namespace tagwright
