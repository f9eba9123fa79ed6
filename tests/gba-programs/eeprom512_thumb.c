// EEPROM 512 B: Thumb C sending the bit streams by DMA3 itself: a 9-bit read request,
// the 68-bit answer, a 73-bit write.
#include "gba.h"

#define EEPROM ((vu16*)0x0D000000)

static void dma3(const volatile void* source, volatile void* destination, u32 halfwords) {
    REG_DMA3SAD = (u32)source;
    REG_DMA3DAD = (u32)destination;
    REG_DMA3CNT = DMA_ENABLE | halfwords;
    while (REG_DMA3CNT & DMA_ENABLE) {}
}

static void eeprom_read(u32 block, u16* out) {
    u16 bits[9];
    bits[0] = 1;
    bits[1] = 1;
    for (int i = 0; i < 6; ++i) bits[2 + i] = (u16)(block >> (5 - i) & 1);
    bits[8] = 0;
    dma3(bits, EEPROM, 9);
    u16 answer[68];
    dma3(EEPROM, answer, 68);
    for (int i = 0; i < 4; ++i) {
        u16 word = 0;
        for (int b = 0; b < 16; ++b) word = (u16)(word << 1 | (answer[4 + i * 16 + b] & 1));
        out[i] = word;
    }
}

static void eeprom_write(u32 block, const u16* data) {
    u16 bits[73];
    bits[0] = 1;
    bits[1] = 0;
    for (int i = 0; i < 6; ++i) bits[2 + i] = (u16)(block >> (5 - i) & 1);
    for (int i = 0; i < 64; ++i) bits[8 + i] = (u16)(data[i / 16] >> (15 - i % 16) & 1);
    bits[72] = 0;
    dma3(bits, EEPROM, 73);
    while (!(EEPROM[0] & 1)) {}
}

int main(void) {
    static const u16 data[4] = {1, 2, 3, 4};
    u16 back[4];
    eeprom_write(3, data);
    eeprom_read(3, back);
    show(back[2] == 3);
    for (;;) {}
}
