#include "image/padding.hpp"

#include <bit>

namespace tagwright {

std::uint64_t paddedLength(std::uint64_t length) {
    return std::bit_ceil(length);
}

}  // namespace tagwright
