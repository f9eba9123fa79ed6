// SRAM 32 KiB from IWRAM: the save routine is ARM code placed in .iwram, copied there
// by the start-up code and called with a long call.
#include "gba.h"

__attribute__((section(".iwram"), long_call, noinline, target("arm")))
void save_bytes(const u8* data, u32 length) {
    for (u32 i = 0; i < length; ++i) SRAM[0x100 + i] = data[i];
}

static const u8 state[4] = {9, 8, 7, 6};

int main(void) {
    save_bytes(state, 4);
    show(SRAM[0x102] == 7);
    for (;;) {}
}
