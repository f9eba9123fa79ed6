// tagwright --info ROM...: what the console and each emulator will make of a file.
// Reads each file once, in blocks, and writes nothing. Per file:
//
//   game.gba  4194304 bytes (power of two)
//     header   "MYGAME" BMGE 01 v0   logo ok  0xB2 ok  complement 0x5A ok
//     strings  SRAM_V113 at 0x3FF2A0 (aligned)
//     VBA-M           SRAM 32 KiB
//     ...             one line per reader (save_readers.hpp), with the reason in
//                     parentheses when it is not simply the file's one type
//     verdict  ok: every emulator that reads strings gives SRAM 32 KiB
//
// Exit status: 0 when every file has a header the console starts and all five
// string readers give it one and the same save type; 1 when a file falls short;
// 2 when a file cannot be read (its one-line message under its name).
#pragma once

#include <cstdint>
#include <iostream>
#include <span>
#include <string>

#include "image/cartridge_header.hpp"
#include "image/save_readers.hpp"

namespace tagwright {

inline constexpr int kInfoAllGood = 0;
inline constexpr int kInfoFallsShort = 1;
inline constexpr int kInfoUnreadable = 2;

// The parts of a header the console checks before it starts a cartridge.
struct HeaderCheck {
    bool complete = false;  // the file holds all 192 bytes
    bool logoOk = false;
    std::uint8_t fixedValue = 0;
    std::uint8_t storedCheck = 0;
    std::uint8_t computedCheck = 0;

    bool fixedOk() const { return fixedValue == 0x96; }
    bool checkOk() const { return storedCheck == computedCheck; }
    bool starts() const { return complete && logoOk && fixedOk() && checkOk(); }
};

HeaderCheck checkHeader(const CartridgeHeader& header, std::uint64_t fileSize);

// Prints the report of one file already read; returns its status (0 or 1).
int printReport(const std::string& name, const CartridgeHeader& header, const SaveStringScan& scan,
                std::ostream& out);

// Reads and reports every named file. `names` must not be empty.
int infoMode(std::span<const std::string> names, std::ostream& out);

}  // namespace tagwright
