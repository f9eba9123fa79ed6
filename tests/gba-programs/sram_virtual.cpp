// SRAM 32 KiB from C++: the save is written through a virtual function of one of two
// storage classes, chosen at run time; the objects are initialised data (their
// virtual tables' addresses copied to IWRAM by the start-up code).
#include "gba.h"

struct Storage {
    virtual void write(int at, u8 value) = 0;
    virtual u8 read(int at) = 0;
};

struct SramStorage : Storage {
    void write(int at, u8 value) override { SRAM[at] = value; }
    u8 read(int at) override { return SRAM[at]; }
};

struct NoStorage : Storage {
    void write(int, u8) override {}
    u8 read(int) override { return 0; }
};

static SramStorage sram;
static NoStorage nothing;
static volatile int chosen;

extern "C" int main(void) {
    Storage* storage = chosen ? static_cast<Storage*>(&nothing) : static_cast<Storage*>(&sram);
    for (int i = 0; i < 16; ++i) storage->write(i, (u8)i);
    show(storage->read(3) == 3);
    for (;;) {}
}
