// The nearest valid spelling of an argument the command line does not know, for the
// explanation on standard error:
//
//   -S6, /P         the same with the letter in lower case: -s6, /p
//   -h, -?, /?, /h  --help
//   --hlep, --inplace, -info   the long option at most two edits away (letters in
//                   either case), a single dash counting as one edit
//
// Nothing when no spelling is near.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tagwright {

// The long options, in the words of the command line.
inline constexpr std::string_view kLongOptions[] = {"--help",    "--version", "--info",
                                                    "--in-place", "--replace", "--fix"};

std::optional<std::string> nearestSpelling(std::string_view argument);

}  // namespace tagwright
