// Reading the number of the -r option.
//
// The text is read like an unsigned 32-bit C number: leading white space, an
// optional "+" or "-", then "0x"/"0X" for hexadecimal, a leading "0" for octal,
// decimal otherwise; digits are taken up to the first character that is not one.
// No digit gives 0; a value beyond 32 bits gives 4294967295; "-" negates the value
// modulo 2^32. Examples: "255" 255, "0x1F" 31, "010" 8, "09" 0, "abc" 0, "-1" 4294967295.
#pragma once

#include <cstdint>
#include <string_view>

namespace tagwright {

std::uint32_t parseVersionNumber(std::string_view text);

}  // namespace tagwright
