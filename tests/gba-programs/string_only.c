// No save: the EEPROM library's string is in the ROM, no code uses any save memory.
#include "gba.h"

__attribute__((used, section(".library.rodata"))) static const char library_id[] = "EEPROM_V124";

int main(void) {
    show(1);
    for (;;) {}
}
