// The interactive front end: the intro banner, then the main menu until "Quit
// Application." (or the end of the input), then the credits screen.
#pragma once

#include <iostream>

namespace tagwright {

// Diagnostics beyond the screens (memory ran out) go to `err`.
void mainMenu(std::istream& in = std::cin, std::ostream& out = std::cout,
              std::ostream& err = std::cerr);

// The framed title banner shown at start and by "About.".
void introBanner(std::ostream& out = std::cout);

}  // namespace tagwright
