// The interactive front end: the intro banner, then the main menu until "Quit
// Application." (or the end of the input), then the credits screen.
#pragma once

#include <iostream>

namespace tagwright {

void mainMenu(std::istream& in = std::cin, std::ostream& out = std::cout);

// The framed title banner shown at start and by "About.".
void introBanner(std::ostream& out = std::cout);

}  // namespace tagwright
