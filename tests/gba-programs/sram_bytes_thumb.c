// SRAM 32 KiB: a byte loop writes a record, another reads it back (Thumb C).
#include "gba.h"

static const u8 record[16] = "TAGWRIGHT SAVE!";

int main(void) {
    for (int i = 0; i < 16; ++i) SRAM[i] = record[i];
    int ok = 1;
    for (int i = 0; i < 16; ++i) ok &= SRAM[i] == record[i];
    show(ok);
    for (;;) {}
}
