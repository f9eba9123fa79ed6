// CRC-32 as zip and zlib compute it: reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF. Fed in pieces; value() may be read at any point.
#pragma once

#include <cstdint>
#include <span>

namespace tagwright {

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
