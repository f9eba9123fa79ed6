// How wide the byte scans' vectors are. Every scan over a whole ROM is written once,
// with the compilers' vector extension, for a width of 16, 32 or 64 bytes:
//
//   16   everywhere: the vector every x86-64 and ARM64 processor and WebAssembly's SIMD
//        have (where a target has none, the compiler does it lane by lane)
//   32   x86-64 processors with AVX2
//   64   x86-64 processors with AVX-512BW
//
// The wider forms are built only where the compiler can target them per function and
// the processor can be asked what it has (GCC or Clang, x86-64, Linux). The widest the
// processor has is used, unless limitVectorWidth() said less: the tests run each form
// the machine has.
#pragma once

#include <cstddef>

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define TAGWRIGHT_WIDE_VECTORS 1
#define TAGWRIGHT_TARGET_AVX2 __attribute__((target("avx2")))
#define TAGWRIGHT_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))
#endif

namespace tagwright {

// The width the scans use now: 16, 32 or 64.
std::size_t vectorWidth();
// Uses at most `bytes` (16, 32 or 64) from now on; returns the width that will be used.
std::size_t limitVectorWidth(std::size_t bytes);

}  // namespace tagwright
