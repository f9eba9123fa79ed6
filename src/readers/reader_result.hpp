// What one reader (emulator, loader, firmware) makes of an image, as plain values.
//
// Outcome words (`outcomeWord`), and how each is stated in `outcome` and `bytes`:
//   EEPROM     Eeprom, none      the reader fixes no size; it follows the game
//   EEPROM512  Eeprom, 512       EEPROM8K   Eeprom, 8192
//   SRAM       Sram, 32768       SRAM64K    Sram, 65536 (a 64 KiB SRAM-like save area)
//   FLASH64K   Flash, 65536      FLASH128K  Flash, 131072
//   NONE       None, none        no save memory; SIIRTC (DeSmuME met the RTC string
//                                first and serves the save file as plain bytes) too
//   RT         Runtime, none     the game's first save access decides
//   RT64 RT64A Runtime, 65536    run time with a 64 KiB Flash chip (A: Atmel ID)
//   RT128      Runtime, 131072   run time with a 128 KiB Flash chip
//   RT64-NOSRAM RT128-NOSRAM     Eeprom, none, decided by a table: the SRAM/Flash area
//                                is switched off, so only EEPROM can save
//   ERROR      Refused, none     the reader will not load the file
//   a trailing "*"               the reader found nothing it accepts: its fallback
//                                (decided by Default)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tagwright {

// The outcome classes of a report for scripts.
enum class SaveKind : std::uint8_t { Eeprom, Sram, Flash, None, Runtime, Refused };
// What settled a reader's outcome.
enum class DecidedBy : std::uint8_t { String, Default, Table, GameCode, Name, Size, Header };

struct ReaderResult {
    std::string_view id;    // "vbam", "open-agb-firm", ...
    std::string_view name;  // "VBA-M", "open_agb_firm", ...
    bool readsStrings = true;
    bool tagCanChange = true;  // reads strings and a tag can change it (not DeSmuME's slot)
    SaveKind outcome = SaveKind::None;
    std::optional<std::uint32_t> bytes;
    DecidedBy decidedBy = DecidedBy::String;
    bool fallback = false;
    std::string reason;    // plain words for a player; empty when the strings simply decide
    std::string outcomeWord;  // the outcome word above: "FLASH128K", "SRAM*", "RT64", ...
};

// A result from its outcome word; `decidedBy` is replaced by Default for a word with "*".
ReaderResult resultOf(std::string_view outcomeWord, DecidedBy decidedBy, std::string reason = {});

const char* saveKindWord(SaveKind kind);     // "eeprom", "sram", ... "refused"
const char* decidedByWord(DecidedBy by);     // "string", "default", ... "header"

}  // namespace tagwright
