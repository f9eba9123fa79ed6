// What the program does once the platform's start-up code has the arguments as
// UTF-8 byte strings: the mode chosen by the argument count, the exit status.
#pragma once

#include <iostream>
#include <string>
#include <vector>

namespace tagwright {

// `arguments` are those after the program's own path. The result is the process
// exit status, 0 to 255 on every platform ("Filename needed!" is 255).
int runTagwright(const std::vector<std::string>& arguments, std::istream& in = std::cin,
                 std::ostream& out = std::cout, std::ostream& err = std::cerr);

}  // namespace tagwright
