// The closing screen of both modes, also shown by the main menu's "About." item.
#pragma once

#include <iostream>

namespace tagwright {

void creditsScreen(std::ostream& out = std::cout);

}  // namespace tagwright
