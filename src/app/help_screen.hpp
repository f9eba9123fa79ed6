// The fixed help page of the interactive mode.
#pragma once

#include <iostream>

namespace tagwright {

void helpScreen(std::ostream& out = std::cout);

}  // namespace tagwright
