// No save: draws, reads the keys, copies with DMA3 between ROM and VRAM.
#include "gba.h"

static const u16 palette[4] = {0x7FFF, 0x001F, 0x03E0, 0x7C00};

int main(void) {
    REG_DMA3SAD = (u32)palette;
    REG_DMA3DAD = 0x05000000;
    REG_DMA3CNT = DMA_ENABLE | 4;
    for (;;) {
        show((REG_KEYINPUT & 1) != 0);
    }
}
