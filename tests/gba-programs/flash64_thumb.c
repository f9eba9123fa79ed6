// Flash 64 KiB: a driver in Thumb C whose commands go through one routine taking the
// command as its argument; ID read, sector erase, byte programming, no banks.
#include "gba.h"

#define FLASH_5555 (*(vu8*)0x0E005555)
#define FLASH_2AAA (*(vu8*)0x0E002AAA)

__attribute__((noinline)) static void flash_command(u8 command) {
    FLASH_5555 = 0xAA;
    FLASH_2AAA = 0x55;
    FLASH_5555 = command;
}

__attribute__((noinline)) static u16 flash_id(void) {
    flash_command(0x90);
    u16 id = (u16)(SRAM[0] | SRAM[1] << 8);
    flash_command(0xF0);
    return id;
}

__attribute__((noinline)) static void flash_erase_sector(u32 sector) {
    flash_command(0x80);
    FLASH_5555 = 0xAA;
    FLASH_2AAA = 0x55;
    SRAM[sector << 12] = 0x30;
    while (SRAM[sector << 12] != 0xFF) {}
}

__attribute__((noinline)) static void flash_program(u32 offset, u8 value) {
    flash_command(0xA0);
    SRAM[offset] = value;
    while (SRAM[offset] != value) {}
}

int main(void) {
    const u16 id = flash_id();
    flash_erase_sector(0);
    for (u32 i = 0; i < 16; ++i) flash_program(i, (u8)(i * 3));
    show(id != 0 && SRAM[4] == 12);
    for (;;) {}
}
