// EEPROM 512 B: the transfer routines take the bit count and OR it with the DMA
// enable bit: a 9-bit read request, the 68-bit answer, a 73-bit write.
#include "gba.h"

static u16 buffer[81];

__attribute__((noinline)) static void send(u32 bits) {
    REG_DMA3SAD = (u32)buffer;
    REG_DMA3DAD = 0x0D000000;
    REG_DMA3CNT = DMA_ENABLE | bits;
    while (REG_DMA3CNT & DMA_ENABLE) {}
}

__attribute__((noinline)) static void receive(void) {
    REG_DMA3SAD = 0x0D000000;
    REG_DMA3DAD = (u32)buffer;
    REG_DMA3CNT = DMA_ENABLE | 68;
    while (REG_DMA3CNT & DMA_ENABLE) {}
}

int main(void) {
    buffer[0] = 1;
    buffer[1] = 1;
    send(2 + 6 + 1);
    receive();
    buffer[1] = 0;
    send(2 + 6 + 64 + 1);
    show(buffer[4] != 2);
    for (;;) {}
}
