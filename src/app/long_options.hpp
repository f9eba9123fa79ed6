// The GNU-style long options, the one extension of the single-letter grammar. An
// argument that is exactly one of them, wherever it stands, decides the whole run:
// nothing is loaded or written and no credits are shown.
//
//   --help      usage, the option and save-type reference of the help page, exit 0
//   --version   "tagwright 0.8", exit 0
//   --info      a report on every other argument, each a file name (info_report.hpp)
//   --json      with --info: the report as JSON Lines; alone it is no long option and
//               keeps its single-letter meaning, as every other argument does
//
// When standard output cannot be written (a full disk, a closed descriptor, a reader
// that left), a line on standard error says so and the exit status is 1 for --help and
// --version and 2 for --info, which then reads no further file.
//
// --help wins over --version, --version over --info. Every other argument, "-h",
// "/help" and "--foo" included, keeps its single-letter meaning; with --info, every
// argument that does not start with "-" names a file, "/" included.
#pragma once

#include <iostream>
#include <optional>
#include <span>
#include <string>

namespace tagwright {

// The line that goes to standard error when no argument named a file.
inline constexpr const char* kShortUsage =
    "Usage: tagwright ROM [options]  (tagwright --help for more)";

// Runs the long option found among `arguments`, if any, and returns its exit status.
std::optional<int> runLongOption(std::span<const std::string> arguments, std::ostream& out,
                                 std::ostream& err);

}  // namespace tagwright
