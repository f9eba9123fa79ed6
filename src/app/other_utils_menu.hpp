// The header editing and padding screen: title, game code, maker code, version and
// padding, saved (without any save tag) as often as wanted.
#pragma once

#include <iostream>

namespace tagwright {

void otherUtilsMenu(std::istream& in = std::cin, std::ostream& out = std::cout,
                    std::ostream& err = std::cerr);

}  // namespace tagwright
