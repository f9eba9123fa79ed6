#include "image/hex_number.hpp"

#include <cstdio>

namespace tagwright {

std::string hex(std::uint64_t value, int digits) {
    char text[24];
    (void)std::snprintf(text, sizeof text, "0x%0*llX", digits,
                        static_cast<unsigned long long>(value));
    return text;
}

}  // namespace tagwright
