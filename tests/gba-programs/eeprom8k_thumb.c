// EEPROM 8 KiB: Thumb C whose transfers go through a general DMA routine taking the
// source, destination and count as arguments, as libraries write it.
#include "gba.h"

__attribute__((noinline)) void dma3_copy(const volatile void* source, volatile void* destination, u32 count) {
    REG_DMA3SAD = (u32)source;
    REG_DMA3DAD = (u32)destination;
    REG_DMA3CNT = count;
    while (REG_DMA3CNT & DMA_ENABLE) {}
}

static u16 request[81];
static u16 answer[68];

int main(void) {
    for (int i = 0; i < 81; ++i) request[i] = (u16)(i & 1);
    dma3_copy(request, (vu16*)0x0D000000, DMA_ENABLE | 81);
    dma3_copy(request, (vu16*)0x0D000000, DMA_ENABLE | 17);
    dma3_copy((vu16*)0x0D000000, answer, DMA_ENABLE | 68);
    show(answer[5] != 2);
    for (;;) {}
}
