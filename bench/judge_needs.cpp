// The code analysis alone, for bench/run.py: judges what save memory each file's code
// needs (judgeGameCode, as --info runs it), or writes a 32 MiB image whose code is
// large: `judge_needs --make-code FILE MIB` writes MIB MiB of Thumb functions, each
// calling the next and storing a byte to the SRAM, then padding.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "needs/game_needs.hpp"

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    put16(out, at, static_cast<std::uint16_t>(value));
    put16(out, at + 2, static_cast<std::uint16_t>(value >> 16));
}

int makeCode(const char* path, std::size_t codeMiB) {
    constexpr std::size_t kImage = std::size_t{32} << 20;
    std::vector<std::uint8_t> image(kImage, 0xFF);
    put32(image, 0, 0xEA00002E);  // b 0x080000C0
    put32(image, 0xC0, 0xE28F0001);  // add r0, pc, #1  (0x080000C9: Thumb, 0x080000C8)
    put32(image, 0xC4, 0xE12FFF10);  // bx r0
    // Functions of 32 bytes from 0xC8: push {r4, lr}; ldr r3, =0x0E000000 + n; movs r2, #1;
    // strb r2, [r3]; cmp r4, #0; beq +0; bl next; pop {r4}; pop {r0}; bx r0; literal.
    const std::size_t end = std::min(kImage - 64, codeMiB << 20);
    for (std::size_t at = 0xC8; at + 64 <= end; at += 32) {
        put16(image, at + 0, 0xB510);
        put16(image, at + 2, static_cast<std::uint16_t>(0x4B00 | ((at + 28 - ((at + 2 + 4) & ~std::size_t{3})) / 4)));
        put16(image, at + 4, 0x2201);
        put16(image, at + 6, 0x701A);
        put16(image, at + 8, 0x2C00);
        put16(image, at + 10, 0xD0FF);  // beq to the next instruction
        const std::uint32_t offset = static_cast<std::uint32_t>((at + 32) - (at + 12 + 4));
        put16(image, at + 12, static_cast<std::uint16_t>(0xF000 | (offset >> 12 & 0x7FF)));
        put16(image, at + 14, static_cast<std::uint16_t>(0xF800 | (offset >> 1 & 0x7FF)));
        put16(image, at + 16, 0xBC10);
        put16(image, at + 18, 0xBC01);
        put16(image, at + 20, 0x4700);
        put16(image, at + 22, 0x46C0);
        put16(image, at + 24, 0x46C0);
        put16(image, at + 26, 0x46C0);
        put32(image, at + 28, 0x0E000000 + static_cast<std::uint32_t>(at / 32 % 0x8000));
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--make-code") == 0) {
        return makeCode(argv[2], static_cast<std::size_t>(std::strtoul(argv[3], nullptr, 10)));
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary | std::ios::ate);
        std::vector<std::uint8_t> image(static_cast<std::size_t>(in.tellg()));
        in.seekg(0);
        in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
        const tagwright::GameNeeds needs = tagwright::judgeGameCode(image);
        std::printf("%s: %s\n", argv[i], tagwright::saveMemoryWord(needs.outcome));
    }
    return 0;
}
