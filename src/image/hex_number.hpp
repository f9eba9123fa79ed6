// Numbers in hex as every message and report of the program writes them: "0x", then
// upper-case digits, at least `digits` of them (0x1F2C0; 0x0F with two).
#pragma once

#include <cstdint>
#include <string>

namespace tagwright {

std::string hex(std::uint64_t value, int digits = 1);

}  // namespace tagwright
