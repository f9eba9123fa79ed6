// How wide the byte scans' vectors are. Every scan over a whole ROM is written once,
// with the compilers' vector extension, for a width of 16, 32 or 64 bytes:
//
//   16   everywhere: the vector every x86-64 and ARM64 processor and WebAssembly's SIMD
//        have (where a target has none, the compiler does it lane by lane)
//   32   x86-64 processors with AVX2
//   64   x86-64 processors with AVX-512BW
//
// The wider forms are built only where the compiler can target them per function and
// the processor can be asked what it has (GCC or Clang, x86-64, Linux); a unit makes
// its forms with image/each_vector_width.inc. The widest the
// processor has is used, unless limitVectorWidth() said less: the tests run each form
// the machine has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define TAGWRIGHT_WIDE_VECTORS 1
#define TAGWRIGHT_TARGET_AVX2 __attribute__((target("avx2")))
#define TAGWRIGHT_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))
// Clears the sixteen registers only AVX-512 has, for the end of a function that may
// use them. The compiler clears the others as such a function returns, but not these:
// with a value left in one, every SSE instruction after it (anywhere in the program)
// runs several times slower on some processors.
#define TAGWRIGHT_CLEAR_AVX512_REGISTERS()                                                               \
    asm volatile(                                                                                          \
        "vpxord %%zmm16, %%zmm16, %%zmm16\n\tvpxord %%zmm17, %%zmm17, %%zmm17\n\t"                     \
        "vpxord %%zmm18, %%zmm18, %%zmm18\n\tvpxord %%zmm19, %%zmm19, %%zmm19\n\t"                     \
        "vpxord %%zmm20, %%zmm20, %%zmm20\n\tvpxord %%zmm21, %%zmm21, %%zmm21\n\t"                     \
        "vpxord %%zmm22, %%zmm22, %%zmm22\n\tvpxord %%zmm23, %%zmm23, %%zmm23\n\t"                     \
        "vpxord %%zmm24, %%zmm24, %%zmm24\n\tvpxord %%zmm25, %%zmm25, %%zmm25\n\t"                     \
        "vpxord %%zmm26, %%zmm26, %%zmm26\n\tvpxord %%zmm27, %%zmm27, %%zmm27\n\t"                     \
        "vpxord %%zmm28, %%zmm28, %%zmm28\n\tvpxord %%zmm29, %%zmm29, %%zmm29\n\t"                     \
        "vpxord %%zmm30, %%zmm30, %%zmm30\n\tvpxord %%zmm31, %%zmm31, %%zmm31"                           \
        :                                                                                                  \
        :                                                                                                  \
        : "xmm16", "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22", "xmm23", "xmm24", "xmm25",       \
          "xmm26", "xmm27", "xmm28", "xmm29", "xmm30", "xmm31")
#endif

// Calls name16, name32 or name64 (made by image/each_vector_width.inc) with the
// arguments given, by the width in use.
#ifdef TAGWRIGHT_WIDE_VECTORS
#define TAGWRIGHT_BY_VECTOR_WIDTH(name, ...)                                                         \
    (::tagwright::vectorWidth() == 64   ? name##64(__VA_ARGS__)                                    \
     : ::tagwright::vectorWidth() == 32 ? name##32(__VA_ARGS__)                                    \
                                        : name##16(__VA_ARGS__))
#else
#define TAGWRIGHT_BY_VECTOR_WIDTH(name, ...) name##16(__VA_ARGS__)
#endif

namespace tagwright {

// The width the scans use now: 16, 32 or 64.
std::size_t vectorWidth();
// Uses at most `bytes` (16, 32 or 64) from now on; returns the width that will be used.
std::size_t limitVectorWidth(std::size_t bytes);

// Whether any of the `size` bytes (a multiple of 8) at `lanes` is not zero: whether a
// vector of comparisons, copied there, found anything.
inline bool anyByteSet(const void* lanes, std::size_t size) {
    std::uint64_t any = 0;
    for (std::size_t at = 0; at < size; at += 8) {
        std::uint64_t lane;
        std::memcpy(&lane, static_cast<const std::uint8_t*>(lanes) + at, sizeof lane);
        any |= lane;
    }
    return any != 0;
}

}  // namespace tagwright
