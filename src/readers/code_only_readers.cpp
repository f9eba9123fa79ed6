// Readers that read no strings: only the game code (and a CRC-32) decides.
//
//   EZ-Flash Omega / Omega DE  refuses files over 32 MiB; its table (ezflash-omega.tsv;
//                   exact code, first row) is its whole choice; a code not listed gets a
//                   64 KiB SRAM-like save (SRAM64K*).
//   VBA-GX (Wii)    in order: the CRC-32 of the whole file (vbagx-crc.tsv); the code
//                   (vbagx.tsv); then letters of the code: first A or B, second P or A,
//                   third E, R, S, D or X, or the prefixes AX4 and A3U: Flash 128 KiB;
//                   first F, K or U: EEPROM; R or V: SRAM; else run time with a 64 KiB
//                   Flash chip (RT64).
//                   The checksum can only match a listed image if the file is one, and
//                   every listed image is a cartridge the console boots: its header holds
//                   the logo and a right complement check. For any other header the
//                   checksum is not computed (only a CRC collision could match).
#include <algorithm>
#include <cstdlib>
#include <string>

#include "image/cartridge_header.hpp"
#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

ReaderResult readEzFlashOmega(const ImageFacts& facts) {
    if (facts.size > kMaxRomSize) {
        return resultOf("ERROR", DecidedBy::Size, sizeReason("over 32 MiB"));
    }
    if (const TableRow* row = findRow(tables::ezflashOmega(), facts.gameCode())) {
        return tableResult(row->cell[1], facts.gameCode());
    }
    return resultOf("SRAM64K*", DecidedBy::Default, "it reads no strings; unlisted games get 64 KiB");
}

bool vbaGxNeedsChecksum(const ImageFacts& header) {
    if (header.head.size() < CartridgeHeader::kSize ||
        !std::equal(CartridgeHeader::kLogo.begin(), CartridgeHeader::kLogo.end(), header.head.begin() + 4)) {
        return false;
    }
    unsigned sum = 0;
    for (std::size_t i = CartridgeHeader::kChecksumFirst; i <= CartridgeHeader::kChecksumLast; ++i) {
        sum += header.head[i];
    }
    return header.head[CartridgeHeader::kChecksumLast + 1] == static_cast<std::uint8_t>(0xE7 - sum);
}

ReaderResult readVbaGx(const ImageFacts& facts) {
    for (const TableRow& row : tables::vbagxCrc()) {
        const std::string hex(row.cell[0]);
        if (facts.crc32 && std::strtoul(hex.c_str(), nullptr, 16) == *facts.crc32) {
            return resultOf(row.cell[1], DecidedBy::Table, "its list of images decides by checksum");
        }
    }
    const std::string_view code = facts.gameCode();
    if (const TableRow* row = findRow(tables::vbagx(), code)) {
        return tableResult(row->cell[1], code);
    }
    auto at = [&](std::size_t i) { return i < code.size() ? code[i] : '\0'; };
    auto oneOf = [](char c, std::string_view set) { return c != '\0' && set.find(c) != std::string_view::npos; };
    const std::string_view prefix = code.substr(0, 3);
    const std::string reason = "its rule for game codes decides for code " + std::string(code);
    if ((oneOf(at(0), "AB") && oneOf(at(1), "PA") && oneOf(at(2), "ERSDX")) || prefix == "AX4" ||
        prefix == "A3U") {
        return resultOf("FLASH128K", DecidedBy::GameCode, reason);
    }
    if (oneOf(at(0), "FKU")) {
        return resultOf("EEPROM", DecidedBy::GameCode, reason);
    }
    if (oneOf(at(0), "RV")) {
        return resultOf("SRAM", DecidedBy::GameCode, reason);
    }
    return resultOf("RT64", DecidedBy::Default, "it reads no strings; the game decides at run time");
}

}  // namespace tagwright
