// What the test programs share: the registers and memories they touch.
#pragma once
typedef unsigned char u8;
typedef unsigned short u16;
typedef unsigned int u32;
typedef volatile u8 vu8;
typedef volatile u16 vu16;
typedef volatile u32 vu32;

#define SRAM ((vu8*)0x0E000000)
#define VRAM ((vu16*)0x06000000)
#define REG_DISPCNT (*(vu16*)0x04000000)
#define REG_KEYINPUT (*(vu16*)0x04000130)
#define REG_DMA3SAD (*(vu32*)0x040000D4)
#define REG_DMA3DAD (*(vu32*)0x040000D8)
#define REG_DMA3CNT (*(vu32*)0x040000DC)
#define DMA_ENABLE 0x80000000u

// Shows a colour: green when a check passed, red when not.
static inline void show(int ok) {
    REG_DISPCNT = 0x0403;
    for (int i = 0; i < 240 * 160; ++i) VRAM[i] = ok ? 0x03E0 : 0x001F;
}
