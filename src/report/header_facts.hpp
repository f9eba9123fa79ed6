// What the console checks in a file's 192-byte header before it starts a cartridge,
// and the header's text fields as a report shows them:
//
//   complete         the file holds all 192 bytes
//   logo             bytes 0x04..0x9F are the prescribed logo
//   fixed value      byte 0xB2 is 0x96
//   complement       byte 0xBD equals the check computed over 0xA0..0xBC
//
// The console starts the file only when all four hold.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tagwright {

struct HeaderFacts {
    bool complete = false;
    bool logoOk = false;
    std::uint8_t fixedValue = 0;
    std::uint8_t storedCheck = 0;
    std::uint8_t computedCheck = 0;
    std::string title;     // the title's bytes up to its first zero
    std::string gameCode;  // the 4 bytes at 0xAC, as they are
    std::string makerCode; // the 2 bytes at 0xB0, as they are
    std::uint8_t version = 0;

    bool fixedOk() const { return fixedValue == 0x96; }
    bool checkOk() const { return storedCheck == computedCheck; }
    bool starts() const { return complete && logoOk && fixedOk() && checkOk(); }
};

// The facts of the header held in `head` (the file's first bytes, at most 192 of them
// used) of a file of `fileSize` bytes. Missing bytes count as zero.
HeaderFacts headerFactsOf(std::span<const std::uint8_t> head, std::uint64_t fileSize);

}  // namespace tagwright
