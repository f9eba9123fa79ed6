#include "fuzz_checks.hpp"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "image/cartridge_header.hpp"

namespace tagwright::fuzz {

namespace fs = std::filesystem;

void require(bool condition, const std::string& what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what.c_str());
        std::abort();
    }
}

void requireFinalizedHeader(const std::vector<std::uint8_t>& file, const std::string& what) {
    require(file.size() >= CartridgeHeader::kSize, what + ": shorter than a header");
    require(
        std::equal(CartridgeHeader::kLogo.begin(), CartridgeHeader::kLogo.end(), file.begin() + 4),
        what + ": logo");
    require(file[0xB2] == 0x96 && file[0xB4] == 0x80, what + ": fixed bytes");
    require(file[0xBE] == 0 && file[0xBF] == 0, what + ": reserved bytes");
    unsigned sum = 0;
    for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
        sum += file[i];
    }
    require(((sum + 0x19 + file[0xBD]) & 0xFF) == 0, what + ": complement check");
}

std::uint64_t expectedOutputLength(std::uint64_t inputSize, bool appended, bool padded) {
    // An appended tag starts at the next multiple of 4.
    const std::uint64_t tagged = (inputSize + 3) / 4 * 4 + 12;
    const std::uint64_t written = std::max<std::uint64_t>(appended ? tagged : inputSize, 192);
    return padded ? std::bit_ceil(written) : written;
}

namespace {

// The folder made by enterScratchFolder(), removed again when the fuzzer exits.
fs::path& scratchFolder() {
    static fs::path folder;
    return folder;
}

void removeScratchFolder() {
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(scratchFolder(), ignored);
}

}  // namespace

fs::path enterScratchFolder() {
    std::random_device random;
    for (;;) {
        const fs::path folder =
            fs::temp_directory_path() / ("tagwright-fuzz-" + std::to_string(random()));
        if (fs::create_directory(folder)) {
            fs::current_path(folder);
            scratchFolder() = folder;
            std::atexit(removeScratchFolder);
            return folder;
        }
    }
}

void clearFolderExcept(const std::vector<std::string>& keep) {
    for (const auto& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if (std::find(keep.begin(), keep.end(), name) == keep.end()) {
            fs::remove_all(entry.path());
        }
    }
}

std::string confined(std::string text, bool keepLeadingSlash) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\0' || (text[i] == '/' && (i > 0 || !keepLeadingSlash))) {
            text[i] = '_';
        }
    }
    return text;
}

}  // namespace tagwright::fuzz
