#include "image/vector_width.hpp"

#include <algorithm>

namespace tagwright {

namespace {

std::size_t processorWidth() {
#ifdef TAGWRIGHT_WIDE_VECTORS
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
        return 64;
    }
    if (__builtin_cpu_supports("avx2")) {
        return 32;
    }
#endif
    return 16;
}

std::size_t& widthInUse() {
    static std::size_t width = processorWidth();
    return width;
}

}  // namespace

std::size_t vectorWidth() { return widthInUse(); }

std::size_t limitVectorWidth(std::size_t bytes) {
    const std::size_t asked = bytes >= 64 ? 64 : bytes >= 32 ? 32 : 16;
    widthInUse() = std::min(processorWidth(), asked);
    return widthInUse();
}

}  // namespace tagwright
