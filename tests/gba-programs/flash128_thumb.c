// Flash 128 KiB: Thumb C with the command sequence in a macro and a routine that
// switches banks, called for the upper 64 KiB.
#include "gba.h"

#define COMMAND(c) do { *(vu8*)0x0E005555 = 0xAA; *(vu8*)0x0E002AAA = 0x55; *(vu8*)0x0E005555 = (c); } while (0)

__attribute__((noinline)) static void flash_bank(u8 bank) {
    COMMAND(0xB0);
    SRAM[0] = bank;
}

__attribute__((noinline)) static void flash_write(u32 offset, const u8* data, u32 length) {
    flash_bank((u8)(offset >> 16));
    for (u32 i = 0; i < length; ++i) {
        COMMAND(0xA0);
        SRAM[(offset & 0xFFFF) + i] = data[i];
        while (SRAM[(offset & 0xFFFF) + i] != data[i]) {}
    }
}

static const u8 message[8] = "BANKONE";

int main(void) {
    COMMAND(0x90);
    const u8 maker = SRAM[0];
    COMMAND(0xF0);
    flash_write(0x10000, message, 8);
    show(maker != 0);
    for (;;) {}
}
