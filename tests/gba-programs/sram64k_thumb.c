// SRAM 64 KiB: bytes written in both halves, 0x0E000000 and 0x0E00C000 (Thumb C).
#include "gba.h"

int main(void) {
    for (int i = 0; i < 8; ++i) {
        SRAM[i] = (u8)i;
        SRAM[0xC000 + i] = (u8)(i + 1);
    }
    show(SRAM[0xC003] == 4 && SRAM[3] == 3);
    for (;;) {}
}
