// Small ARM programs for the tests of what a game needs, each with its assembly and
// what it uses when it runs. Each is 512 bytes: "b 0x080000C0" at 0, a zero header,
// its code from 0xC0.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tagwright::testing {

inline std::vector<std::uint8_t> armProgram(std::initializer_list<std::uint32_t> code) {
    std::vector<std::uint8_t> rom(0x200, 0);
    const auto put = [&rom](std::size_t at, std::uint32_t word) {
        for (int i = 0; i < 4; ++i) rom[at + i] = static_cast<std::uint8_t>(word >> (8 * i));
    };
    put(0, 0xEA00002E);
    std::size_t at = 0xC0;
    for (const std::uint32_t word : code) {
        put(at, word);
        at += 4;
    }
    return rom;
}

// SRAM, 32 KiB: stores a byte at 0x0E000000 and reads it back.
//   mov r0,#0x0E000000; mov r1,#0x42; strb r1,[r0]; ldrb r2,[r0]; b .
inline std::vector<std::uint8_t> sramProgram() {
    return armProgram({0xE3A0040E, 0xE3A01042, 0xE5C01000, 0xE5D02000, 0xEAFFFFFE});
}

// EEPROM, 8 KiB: a 17-bit read request by DMA3 to 0x0D000000, then the 68-bit answer.
//   ldr r2,=0x040000D4; mov r3,#0x02000000; mov r4,#0x0D000000; mov r5,#0x80000011;
//   stmia r2,{r3-r5}; ldr r5,=0x80000044; stmia r2,{r4}; str r3,[r2,#4];
//   str r5,[r2,#8]; b .
inline std::vector<std::uint8_t> eeprom8kProgram() {
    return armProgram({0xE59F2020, 0xE3A03402, 0xE3A0440D, 0xE3A05146, 0xE8820038, 0xE59F5010,
                       0xE8820010, 0xE5823004, 0xE5825008, 0xEAFFFFFE, 0x040000D4, 0x80000044});
}

// SRAM, after Start and then A are pressed (no use before frame 210 of a trial run).
//   ldr r0,=0x04000130 / 1: ldrh r1,[r0]; tst r1,#8; bne 1b / 2: ldrh r1,[r0];
//   tst r1,#1; bne 2b / mov r2,#0x0E000000; mov r1,#0x42; strb r1,[r2] / b .
inline std::vector<std::uint8_t> afterStartAndAProgram() {
    return armProgram({0xE59F0024, 0xE1D010B0, 0xE3110008, 0x1AFFFFFC, 0xE1D010B0, 0xE3110001,
                       0x1AFFFFFC, 0xE3A0240E, 0xE3A01042, 0xE5C21000, 0xEAFFFFFE, 0x04000130});
}

// SRAM, reached only through an address built from KEYINPUT (the Select bit: 4 when not
// pressed), which no reading of the code alone resolves.
//   ldr r0,=0x04000130; ldrh r1,[r0]; and r1,r1,#4; ldr r2,=save-4; add r2,r2,r1;
//   bx r2; b loop / save: mov r0,#0x0E000000; mov r1,#0x42; strb r1,[r0];
//   strb r1,[r0,#1] / loop: b loop
inline std::vector<std::uint8_t> computedJumpProgram() {
    return armProgram({0xE59F0028, 0xE1D010B0, 0xE2011004, 0xE59F2020, 0xE0822001, 0xE12FFF12,
                       0xEA000003, 0xE3A0040E, 0xE3A01042, 0xE5C01000, 0xE5C01001, 0xEAFFFFFE,
                       0x04000130, 0x080000D8});
}

// Two memories at once, which no judgement may settle: a byte store to 0x0E000000 and
// a 9-bit DMA3 transfer to 0x0D000000.
//   mov r0,#0x0E000000; mov r1,#0x55; strb r1,[r0]; ldr r2,=0x040000D4;
//   mov r3,#0x02000000; mov r4,#0x0D000000; mov r5,#0x80000009; stmia r2,{r3-r5}; b .
inline std::vector<std::uint8_t> twoMemoriesProgram() {
    return armProgram({0xE3A0040E, 0xE3A01055, 0xE5C01000, 0xE59F2010, 0xE3A03402, 0xE3A0440D,
                       0xE3A05126, 0xE8820038, 0xEAFFFFFE, 0x040000D4});
}

}  // namespace tagwright::testing
