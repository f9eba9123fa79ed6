// SRAM 32 KiB written only by the interrupt handler, which the program installs at
// 0x03007FFC (an ARM function, as the BIOS calls it).
#include "gba.h"

#define REG_IE (*(vu16*)0x04000200)
#define REG_IF (*(vu16*)0x04000202)
#define REG_IME (*(vu16*)0x04000208)
#define REG_DISPSTAT (*(vu16*)0x04000004)
#define IRQ_VECTOR (*(void (* volatile*)(void))0x03007FFC)

static volatile u32 frames;

__attribute__((target("arm"), noinline)) void on_interrupt(void) {
    ++frames;
    SRAM[frames & 0xFF] = (u8)frames;
    REG_IF = 1;
}

int main(void) {
    IRQ_VECTOR = on_interrupt;
    REG_DISPSTAT = 8;
    REG_IE = 1;
    REG_IME = 1;
    for (;;) {
        show(frames > 10);
    }
}
