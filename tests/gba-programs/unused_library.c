// No save: a save library's routines (Flash 128 KiB and SRAM) and its string are
// linked in, but the program never calls them.
#include "gba.h"

__attribute__((used, section(".library.rodata"))) static const char library_id[] = "FLASH1M_V103";

__attribute__((used, noinline, section(".library.text"))) void library_flash_bank(u8 bank) {
    *(vu8*)0x0E005555 = 0xAA;
    *(vu8*)0x0E002AAA = 0x55;
    *(vu8*)0x0E005555 = 0xB0;
    SRAM[0] = bank;
}

__attribute__((used, noinline, section(".library.text"))) void library_sram_write(u32 offset, u8 value) {
    SRAM[offset] = value;
}

int main(void) {
    show(1);
    for (;;) {}
}
