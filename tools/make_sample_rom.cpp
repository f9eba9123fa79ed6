// Writes a small homebrew cartridge image of the project's own making, so the demo
// (and anyone trying the tool) has a ROM to patch without downloading one.
//
// Layout: a valid header (title "TAGWRIGHT", game code "TWSR"), then at 0xC0 the
// ARM instruction "b ." (the program spins forever), then 150,000 bytes of pattern
// data with a 256-byte stretch of zeros in the middle, where -e can embed a tag.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "image/cartridge_header.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        (void)std::fprintf(stderr, "usage: %s OUTPUT.gba\n", argv[0]);
        return 2;
    }
    constexpr std::size_t kSize = 150000;
    std::vector<std::uint8_t> rom(kSize);
    std::uint32_t state = 0x7A67u;
    for (auto& byte : rom) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>((state >> 16) | 1u);
    }
    for (std::size_t i = 70000; i < 70256; ++i) {
        rom[i] = 0;
    }
    const std::uint8_t spin[] = {0xFE, 0xFF, 0xFF, 0xEA};  // b . (little-endian 0xEAFFFFFE)
    std::copy(std::begin(spin), std::end(spin), rom.begin() + 0xC0);

    tagwright::CartridgeHeader header;
    header.setTitle("TAGWRIGHT");
    header.setGameCode("TWSR");
    header.finalizeFrom(tagwright::CartridgeHeader());
    const auto bytes = header.toBytes();
    std::copy(bytes.begin(), bytes.end(), rom.begin());

    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(rom.data(), 1, rom.size(), file) == rom.size();
    if (std::fclose(file) != 0 || !ok) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
