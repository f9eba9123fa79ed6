// CRC-32 as zip and zlib compute it: reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF. Fed in pieces; value() may be read at any point.
//
// Two ways to the same value: tables, sixteen bytes at a time (everywhere), and, on
// x86-64 processors with carry-less multiplication, 64-byte blocks folded with PCLMULQDQ
// (several times faster: a 32 MiB image is checked in a few milliseconds), 256-byte
// blocks with VPCLMULQDQ where the processor has it. The fastest way the processor has
// is taken, unless `setCrc32Folding(false)` or `setCrc32WideFolding(false)` said not to
// (the tests run each the machine has).
//
// The register is affine in the bytes fed: feeding m from register r gives
// r * x^(8|m|) + raw(m) modulo P, raw(m) being the register fed m from zero. So the
// CRC of a file with a few bytes changed follows from its CRC and the changed bytes
// alone (withChange()), and a long run of fill costs a few multiplications, not a pass.
#pragma once

#include <cstdint>
#include <span>

namespace tagwright {

// Whether the folding way may be used (where the processor has it); returns whether it
// will be used. The same for its 512-bit form (VPCLMULQDQ), within the folding way.
bool setCrc32Folding(bool allowed);
bool setCrc32WideFolding(bool allowed);

class Crc32 {
  public:
    Crc32() = default;
    // Goes on from a CRC already computed (the value() of the bytes before).
    static Crc32 resumedFrom(std::uint32_t value);

    void update(std::span<const std::uint8_t> bytes);
    // `count` bytes of value 0xFF.
    void updateFill(std::uint64_t count);
    std::uint32_t value() const { return ~state_; }

    // The CRC of a sequence of `length` bytes whose CRC was `value`, once the bytes
    // `before` at `offset` are replaced by `after` (of the same length).
    static std::uint32_t withChange(std::uint32_t value, std::uint64_t length,
                                    std::uint64_t offset, std::span<const std::uint8_t> before,
                                    std::span<const std::uint8_t> after);

  private:
    std::uint32_t state_ = 0xFFFFFFFFu;
};

}  // namespace tagwright
