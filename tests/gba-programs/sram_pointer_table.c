// SRAM 32 KiB: the save area's address comes from a constant table of pointers in the
// ROM (two halves of the area), chosen by a variable.
#include "gba.h"

static vu8* const halves[2] = {(vu8*)0x0E000000, (vu8*)0x0E004000};
static volatile int which;

int main(void) {
    vu8* save = halves[which];
    for (int i = 0; i < 16; ++i) save[i] = (u8)i;
    show(save[3] == 3);
    for (;;) {}
}
