#include "readers/crc32.hpp"

#include <array>
#include <cstddef>

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__)
#define TAGWRIGHT_CRC32_FOLDING 1
#include <immintrin.h>

#include "image/vector_width.hpp"
#endif

namespace tagwright {

namespace {

// Slicing by 16: table[k][b] is the CRC of byte b followed by k zero bytes, so sixteen
// bytes are folded in with sixteen independent look-ups.
constexpr std::size_t kSlices = 16;
using Tables = std::array<std::array<std::uint32_t, 256>, kSlices>;

constexpr Tables makeTables() {
    Tables tables{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        tables[0][b] = c;
    }
    for (std::size_t k = 1; k < kSlices; ++k) {
        for (std::uint32_t b = 0; b < 256; ++b) {
            const std::uint32_t previous = tables[k - 1][b];
            tables[k][b] = (previous >> 8) ^ tables[0][previous & 0xFFu];
        }
    }
    return tables;
}

constexpr Tables kTables = makeTables();

std::uint32_t word(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

#ifdef TAGWRIGHT_CRC32_FOLDING
// Folds `length` bytes (a multiple of 16, at least 64) into the CRC register `c` with
// carry-less multiplication: four 128-bit lanes are each multiplied by x^(512+64) and
// x^512 mod P and added to the next 64 bytes; then the lanes are folded into one, the
// rest 16 bytes at a time, and the 128-bit remainder reduced to 32 bits (Barrett).
// The constants are powers of x modulo the bit-reflected polynomial 0x1DB710641.
#define TAGWRIGHT_FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))

TAGWRIGHT_FOLDING_TARGET inline __m128i load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x times the two constants in k (its low half for x's low half, its high for the
// high), plus `next`.
TAGWRIGHT_FOLDING_TARGET inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), next),
                         _mm_clmulepi64_si128(x, k, 0x11));
}

// Four 128-bit lanes of consecutive data folded into one, then `length` more bytes (a
// multiple of 16) 16 at a time, and the 128-bit remainder reduced to 32 bits.
TAGWRIGHT_FOLDING_TARGET std::uint32_t foldLanes(__m128i x1, __m128i x2, __m128i x3, __m128i x4,
                                                 const std::uint8_t* at, std::size_t length) {
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    while (length >= 16) {
        x1 = fold(x1, k3k4, load(at));
        at += 16;
        length -= 16;
    }
    // 128 bits to 64, then 64 to 32 by Barrett reduction.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), x2);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    x2 = _mm_and_si128(x1, low32);
    x2 = _mm_and_si128(_mm_clmulepi64_si128(x2, poly, 0x10), low32);
    x2 = _mm_clmulepi64_si128(x2, poly, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

TAGWRIGHT_FOLDING_TARGET std::uint32_t foldBlocks(const std::uint8_t* at, std::size_t length,
                                                  std::uint32_t c) {
    __m128i x1 = _mm_xor_si128(load(at), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x2 = load(at + 16);
    __m128i x3 = load(at + 32);
    __m128i x4 = load(at + 48);
    at += 64;
    length -= 64;
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    while (length >= 64) {
        x1 = fold(x1, k1k2, load(at));
        x2 = fold(x2, k1k2, load(at + 16));
        x3 = fold(x3, k1k2, load(at + 32));
        x4 = fold(x4, k1k2, load(at + 48));
        at += 64;
        length -= 64;
    }
    return foldLanes(x1, x2, x3, x4, at, length);
}

// The same with VPCLMULQDQ on 512-bit registers, where the processor has it: four
// registers of four lanes each fold 256 bytes a step (by x^(2048+32) and x^(2048-32)
// mod P), are folded into one (by 512 bits), and its four lanes go on as above.
// `length` is a multiple of 16, at least 256.
#define TAGWRIGHT_WIDE_FOLDING_TARGET __attribute__((target("vpclmulqdq,avx512f,pclmul,sse4.1")))

TAGWRIGHT_WIDE_FOLDING_TARGET inline __m512i load512(const std::uint8_t* p) { return _mm512_loadu_si512(p); }

TAGWRIGHT_WIDE_FOLDING_TARGET inline __m512i fold512(__m512i x, __m512i k, __m512i next) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00), _mm512_clmulepi64_epi128(x, k, 0x11),
                                     next, 0x96);  // a ^ b ^ c
}

TAGWRIGHT_WIDE_FOLDING_TARGET std::uint32_t foldBlocksWide(const std::uint8_t* at, std::size_t length,
                                                           std::uint32_t c) {
    const __m512i first = _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<int>(c));
    __m512i x0 = _mm512_xor_si512(load512(at), first);
    __m512i x1 = load512(at + 64);
    __m512i x2 = load512(at + 128);
    __m512i x3 = load512(at + 192);
    at += 256;
    length -= 256;
    const __m512i by2048 = _mm512_set_epi64(0x01322d1430, 0x011542778a, 0x01322d1430, 0x011542778a,
                                            0x01322d1430, 0x011542778a, 0x01322d1430, 0x011542778a);
    while (length >= 256) {
        x0 = fold512(x0, by2048, load512(at));
        x1 = fold512(x1, by2048, load512(at + 64));
        x2 = fold512(x2, by2048, load512(at + 128));
        x3 = fold512(x3, by2048, load512(at + 192));
        at += 256;
        length -= 256;
    }
    const __m512i by512 = _mm512_set_epi64(0x01c6e41596, 0x0154442bd4, 0x01c6e41596, 0x0154442bd4,
                                           0x01c6e41596, 0x0154442bd4, 0x01c6e41596, 0x0154442bd4);
    x0 = fold512(x0, by512, x1);
    x0 = fold512(x0, by512, x2);
    x0 = fold512(x0, by512, x3);
    while (length >= 64) {
        x0 = fold512(x0, by512, load512(at));
        at += 64;
        length -= 64;
    }
    alignas(64) std::uint8_t lanes[64];
    _mm512_store_si512(lanes, x0);
    // The rest is SSE code: leaving the upper halves of the registers in use would slow
    // every SSE instruction after it (in the whole program) until the next clearing. The
    // lanes go through memory, so that none is kept in a register the clearing misses.
    asm volatile("" : : "m"(lanes) : "memory");
    _mm256_zeroupper();
    TAGWRIGHT_CLEAR_AVX512_REGISTERS();
    return foldLanes(load(lanes), load(lanes + 16), load(lanes + 32), load(lanes + 48), at, length);
}

bool processorFolds() {
    static const bool folds = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return folds;
}

bool processorFoldsWide() {
    static const bool folds = processorFolds() && __builtin_cpu_supports("avx512f") &&
                              __builtin_cpu_supports("vpclmulqdq");
    return folds;
}

bool foldingAllowed = true;
bool wideFoldingAllowed = true;
#endif

}  // namespace

bool setCrc32Folding(bool allowed) {
#ifdef TAGWRIGHT_CRC32_FOLDING
    foldingAllowed = allowed;
    return allowed && processorFolds();
#else
    (void)allowed;
    return false;
#endif
}

bool setCrc32WideFolding(bool allowed) {
#ifdef TAGWRIGHT_CRC32_FOLDING
    wideFoldingAllowed = allowed;
    return allowed && foldingAllowed && processorFoldsWide();
#else
    (void)allowed;
    return false;
#endif
}

void Crc32::update(std::span<const std::uint8_t> bytes) {
    const std::uint8_t* at = bytes.data();
    std::size_t left = bytes.size();
    std::uint32_t c = state_;
#ifdef TAGWRIGHT_CRC32_FOLDING
    if (left >= 256 && foldingAllowed && processorFolds()) {
        const std::size_t blocks = left & ~std::size_t{15};
        c = wideFoldingAllowed && processorFoldsWide() ? foldBlocksWide(at, blocks, c) : foldBlocks(at, blocks, c);
        at += blocks;
        left -= blocks;
    }
#endif
    while (left >= kSlices) {
        const std::uint32_t a = word(at) ^ c;
        const std::uint32_t b = word(at + 4);
        const std::uint32_t d = word(at + 8);
        const std::uint32_t e = word(at + 12);
        c = kTables[15][a & 0xFF] ^ kTables[14][(a >> 8) & 0xFF] ^ kTables[13][(a >> 16) & 0xFF] ^
            kTables[12][a >> 24] ^ kTables[11][b & 0xFF] ^ kTables[10][(b >> 8) & 0xFF] ^
            kTables[9][(b >> 16) & 0xFF] ^ kTables[8][b >> 24] ^ kTables[7][d & 0xFF] ^
            kTables[6][(d >> 8) & 0xFF] ^ kTables[5][(d >> 16) & 0xFF] ^ kTables[4][d >> 24] ^
            kTables[3][e & 0xFF] ^ kTables[2][(e >> 8) & 0xFF] ^ kTables[1][(e >> 16) & 0xFF] ^
            kTables[0][e >> 24];
        at += kSlices;
        left -= kSlices;
    }
    for (; left > 0; --left, ++at) {
        c = (c >> 8) ^ kTables[0][(c ^ *at) & 0xFFu];
    }
    state_ = c;
}

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// a * b modulo P, both bit-reflected (the top bit is x^0).
std::uint32_t multiplied(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
        if ((a & m) != 0) {
            product ^= b;
        }
        b = (b & 1u) != 0 ? (b >> 1) ^ kPolynomial : b >> 1;
    }
    return product;
}

// x^(8 * count) modulo P: squares of x^8 for the bits of count.
std::uint32_t shiftOfBytes(std::uint64_t count) {
    std::uint32_t power = 1u << 31;  // x^0
    std::uint32_t square = 1u << 23;  // x^8
    for (; count != 0; count >>= 1) {
        if ((count & 1u) != 0) {
            power = multiplied(power, square);
        }
        square = multiplied(square, square);
    }
    return power;
}

// The register fed `count` 0xFF bytes from zero, from the halves of count.
std::uint32_t rawFill(std::uint64_t count) {
    std::uint32_t raw = 0;
    std::uint64_t done = 0;
    const std::uint32_t one = kTables[0][0xFF];
    for (int bit = 63; bit >= 0; --bit) {
        if (done != 0) {
            raw = multiplied(raw, shiftOfBytes(done)) ^ raw;  // the run so far, twice
            done *= 2;
        }
        if ((count >> bit & 1u) != 0) {
            raw = multiplied(raw, shiftOfBytes(1)) ^ one;
            done += 1;
        }
    }
    return raw;
}

}  // namespace

Crc32 Crc32::resumedFrom(std::uint32_t value) {
    Crc32 crc;
    crc.state_ = ~value;
    return crc;
}

std::uint32_t Crc32::withChange(std::uint32_t value, std::uint64_t length, std::uint64_t offset,
                                std::span<const std::uint8_t> before,
                                std::span<const std::uint8_t> after) {
    std::uint32_t raw = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        raw = (raw >> 8) ^ kTables[0][(raw ^ before[i] ^ after[i]) & 0xFFu];
    }
    return value ^ multiplied(raw, shiftOfBytes(length - offset - before.size()));
}

void Crc32::updateFill(std::uint64_t count) {
    constexpr std::uint64_t kLongRun = std::uint64_t{1} << 16;
    if (count >= kLongRun) {
        state_ = multiplied(state_, shiftOfBytes(count)) ^ rawFill(count);
        return;
    }
    std::array<std::uint8_t, 4096> fill;
    fill.fill(0xFF);
    while (count > 0) {
        const std::size_t take = count < fill.size() ? static_cast<std::size_t>(count) : fill.size();
        update({fill.data(), take});
        count -= take;
    }
}

}  // namespace tagwright
