// mGBA: reads no save-type strings.
//
// In order: an image whose bytes at 0x108 are "pokemon red version" or "pokemon
// emerald version", each with its zero byte, or whose code is AXVE, and whose CRC-32
// (of the first 32 MiB) is not among the releases it knows (mgba-pokemon-crc.tsv),
// gets Flash 128 KiB; else its table (mgba.tsv; exact code); else a code starting with
// F gets EEPROM 8 KiB; else nothing is fixed and the game's first save access decides
// (RT).
#include <cstdlib>
#include <string>

#include "reader_tables.hpp"
#include "readers/reader_support.hpp"
#include "readers/readers.hpp"

namespace tagwright {

bool mgbaNeedsChecksum(const ImageFacts& header) {
    using namespace std::string_view_literals;
    return header.textAt(0x108, 20) == "pokemon red version\0"sv ||
           header.textAt(0x108, 24) == "pokemon emerald version\0"sv || header.gameCode() == "AXVE";
}

ReaderResult readMgba(const ImageFacts& facts) {
    const std::string_view code = facts.gameCode();
    if (mgbaNeedsChecksum(facts)) {
        bool known = false;
        for (const TableRow& row : tables::mgbaPokemonCrc()) {
            const std::string hex(row.cell[0]);
            known = known || std::strtoul(hex.c_str(), nullptr, 16) == facts.crc32FirstThirtyTwoMiB;
        }
        if (!known) {
            return resultOf("FLASH128K", DecidedBy::GameCode,
                            "it takes the image for a Pokemon game it does not know");
        }
    }
    if (const TableRow* row = findRow(tables::mgba(), code)) {
        return tableResult(row->cell[1], code);
    }
    if (!code.empty() && code[0] == 'F') {
        return resultOf("EEPROM8K", DecidedBy::GameCode, "a game code starting with F means EEPROM to it");
    }
    return resultOf("RT", DecidedBy::Default, "it reads no strings; the game decides at run time");
}

}  // namespace tagwright
