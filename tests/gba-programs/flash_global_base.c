// Flash 64 KiB: the chip's address is kept in an initialised variable (copied to IWRAM
// by the start-up code), and every command goes through it: ID, erase, program.
#include "gba.h"

vu8* flash_base = (vu8*)0x0E000000;

__attribute__((noinline)) static void command(u8 c) {
    flash_base[0x5555] = 0xAA;
    flash_base[0x2AAA] = 0x55;
    flash_base[0x5555] = c;
}

int main(void) {
    command(0x90);
    const u8 maker = flash_base[0];
    command(0xF0);
    command(0x80);
    command(0x10);
    command(0xA0);
    flash_base[0x10] = maker;
    show(1);
    for (;;) {}
}
