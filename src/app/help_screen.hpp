// The fixed help page of the interactive mode.
#pragma once

#include <iostream>
#include <span>

namespace tagwright {

void helpScreen(std::ostream& out = std::cout);

// The part of the help page that lists the command-line options and the save types,
// line by line; --help prints it too.
std::span<const char* const> commandLineReference();

}  // namespace tagwright
