// CRC-32 as zip and zlib compute it: reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF. Fed in pieces; value() may be read at any point.
//
// Two ways to the same value: tables, sixteen bytes at a time (everywhere), and, on
// x86-64 processors with carry-less multiplication, 64-byte blocks folded with PCLMULQDQ
// (several times faster: a 32 MiB image is checked in a few milliseconds). The faster
// way is taken when the processor has it, unless `setCrc32Folding(false)` said not to
// (the tests run both).
#pragma once

#include <cstdint>
#include <span>

namespace tagwright {

// Whether the folding way may be used (where the processor has it); returns whether it
// will be used.
bool setCrc32Folding(bool allowed);

class Crc32 {
  public:
    void update(std::span<const std::uint8_t> bytes);
    // `count` bytes of value 0xFF.
    void updateFill(std::uint64_t count);
    std::uint32_t value() const { return ~state_; }

  private:
    std::uint32_t state_ = 0xFFFFFFFFu;
};

}  // namespace tagwright
