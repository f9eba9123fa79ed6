// Reads each file named once, in blocks, through the readers' one-pass scan, and
// judges it for every reader: the engine's share of a report, without its text.
// Prints one line per file: the name and the 25 outcome words.
#include <cstdio>
#include <vector>

#include "readers/judgement.hpp"

int main(int argc, char** argv) {
    std::vector<std::uint8_t> block(1 << 18);
    for (int i = 1; i < argc; ++i) {
        std::FILE* file = std::fopen(argv[i], "rb");
        if (file == nullptr) {
            std::perror(argv[i]);
            return 2;
        }
        std::fseek(file, 0, SEEK_END);
        const long size = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        tagwright::ImageScanner scanner(argv[i], static_cast<std::uint64_t>(size));
        std::size_t got = 0;
        while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
            scanner.feed({block.data(), got});
        }
        std::fclose(file);
        std::printf("%s", argv[i]);
        for (const auto& result : tagwright::judgeImage(scanner.finish())) {
            std::printf(" %s", result.outcomeWord.c_str());
        }
        std::printf("\n");
    }
    return 0;
}
