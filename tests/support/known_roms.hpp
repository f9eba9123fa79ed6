// ROMs whose save memory is known from their sources: the test programs built from
// tests/gba-programs (truth.tsv, written by hand from each source) and the shared real
// test ROMs (what each one's source does). Header only: the unit and end-to-end tests
// both judge them.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tagwright::testing {

struct KnownRom {
    std::filesystem::path path;
    std::string memory;  // "sram", "flash", "eeprom" or "none"
    std::string bytes;   // the size in bytes, empty for none
};

// The programs truth.tsv in `dir` lists (their ROMs in dir/roms); none when it cannot be read.
inline std::vector<KnownRom> testPrograms(const std::filesystem::path& dir) {
    std::vector<KnownRom> roms;
    std::ifstream truth(dir / "truth.tsv");
    std::string line;
    std::getline(truth, line);  // the heading
    while (std::getline(truth, line)) {
        std::istringstream row(line);
        std::string program, memory, bytes;
        std::getline(row, program, '\t');
        std::getline(row, memory, '\t');
        std::getline(row, bytes, '\t');
        roms.push_back({dir / "roms" / (program + ".gba"), memory, bytes});
    }
    return roms;
}

// The shared real ROMs in `dir` (its gba-tests folder), each with what its source uses.
inline std::vector<KnownRom> sharedRealRoms(const std::filesystem::path& dir) {
    const std::filesystem::path folder = dir / "gba-tests";
    return {{folder / "save-sram.gba", "sram", "32768"},
            {folder / "unsafe-unsafe.gba", "sram", "32768"},
            {folder / "save-flash64.gba", "flash", "65536"},
            {folder / "save-flash128.gba", "flash", "131072"},
            {folder / "save-none.gba", "none", ""}};
}

}  // namespace tagwright::testing
