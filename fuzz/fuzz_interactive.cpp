// Fuzzes the interactive mode: arbitrary standard input against two ROMs in a scratch
// folder. Every session must end, and every file it writes must be a valid output.
#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "app/main_menu.hpp"
#include "fuzz_checks.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;
using namespace tagwright::fuzz;
using tagwright::testing::readFile;
using tagwright::testing::writeFile;

namespace {

std::map<std::string, std::vector<std::uint8_t>> makeRoms() {
    std::vector<std::uint8_t> roomy(1000), full(300);
    for (std::size_t i = 0; i < roomy.size(); ++i) {
        roomy[i] = static_cast<std::uint8_t>(i * 31 % 251 + 1);
    }
    std::fill(roomy.begin() + 600, roomy.begin() + 700, 0);
    for (std::size_t i = 0; i < full.size(); ++i) {
        full[i] = static_cast<std::uint8_t>(i * 17 % 253 + 1);
    }
    return {{"a.gba", roomy}, {"b.gba", full}};
}

const std::map<std::string, std::vector<std::uint8_t>> kRoms = makeRoms();

const std::string kCreditsStart = "Thanks for using my utils!\n";

// A screen may load any file there is, a ROM or one written earlier in the session,
// so a written file's length is a ROM's length or a power of two (after padding),
// plus 12 bytes for each appended tag along the way.
bool isValidOutput(const std::vector<std::uint8_t>& file) {
    requireFinalizedHeader(file, "written file");
    std::vector<std::size_t> bases;
    for (const auto& [name, rom] : kRoms) {
        bases.push_back(rom.size());
    }
    for (std::size_t power = 256; power <= file.size(); power *= 2) {
        bases.push_back(power);
    }
    return std::any_of(bases.begin(), bases.end(), [&](std::size_t base) {
        return file.size() >= base && (file.size() - base) % 12 == 0;
    });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterScratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string typed =
        confined(std::string(reinterpret_cast<const char*>(data), size), false);
    clearFolderExcept({});
    for (const auto& [name, rom] : kRoms) {
        writeFile(name, rom);
    }

    std::istringstream in(typed);
    std::ostringstream out;
    tagwright::mainMenu(in, out);
    const std::string shown = out.str();
    require(
        shown.size() >= kCreditsStart.size() &&
            shown.find(kCreditsStart, shown.size() - 128 < shown.size() ? shown.size() - 128 : 0) !=
                std::string::npos,
        "the session must end with the credits");

    for (const auto& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        require(entry.is_regular_file(), "only files are written: " + name);
        const auto file = readFile(name);
        const auto rom = kRoms.find(name);
        if (rom != kRoms.end() && file == rom->second) {
            continue;
        }
        if (rom != kRoms.end()) {
            // A ROM changes only when its name was typed as an output name (possibly
            // right after a menu number: "6b.gba" is 6, then the word b.gba).
            require(typed.find(name) != std::string::npos, "input changed: " + name);
        }
        require(isValidOutput(file), "invalid output " + name);
    }
    return 0;
}
