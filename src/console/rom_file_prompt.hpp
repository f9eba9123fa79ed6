// The prompt for the input ROM's file name, shared by every screen that loads a ROM.
#pragma once

#include <iostream>
#include <optional>
#include <string>

namespace tagwright {

// Asks until a file of the entered name opens for reading (a folder does not count)
// and returns the name exactly as typed. Returns nothing once the input has ended or
// the output can no longer be written.
std::optional<std::string> promptRomFileName(std::istream& in = std::cin,
                                             std::ostream& out = std::cout);

}  // namespace tagwright
