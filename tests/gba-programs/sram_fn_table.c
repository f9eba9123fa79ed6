// SRAM 32 KiB: the save routine is reached only through a table of function pointers
// (a state machine's), and chosen only when a key combination is held; the title
// screen reads the save back at every frame.
#include "gba.h"

__attribute__((noinline)) static void title(void) { show(SRAM[0] == 'T'); }
__attribute__((noinline)) static void play(void) { show(0); }
__attribute__((noinline)) static void save_game(void) {
    for (int i = 0; i < 64; ++i) SRAM[i] = (u8)("TAGWRIGHT"[i % 9]);
}

static void (*const states[])(void) = {title, play, save_game};
static volatile int state;

int main(void) {
    for (;;) {
        states[state]();
        state = REG_KEYINPUT == 0x0123 ? 2 : (state + 1) % 2;
    }
}
