// Fuzzes the header and tag operations on images of arbitrary bytes and length,
// checking each result against a straightforward model.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "fuzz_checks.hpp"
#include "image/rom_image.hpp"
#include "readers/judgement.hpp"

using namespace tagwright;
using namespace tagwright::fuzz;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The first p (as in "12 zero bytes end at p") of a usable run, the slow way.
std::optional<std::size_t> referenceRunEnd(std::span<const std::uint8_t> image) {
    for (std::size_t p = 11; p < image.size(); ++p) {
        const std::size_t s = p - 11;
        if (s >= 228 && s % 4 == 0 &&
            std::all_of(image.begin() + static_cast<std::ptrdiff_t>(s),
                        image.begin() + static_cast<std::ptrdiff_t>(p) + 1,
                        [](std::uint8_t b) { return b == 0; })) {
            return p;
        }
    }
    return std::nullopt;
}

Bytes outputOf(const RomImage& image, TagArea tagArea) {
    const auto segments = image.outputSegments(tagArea);
    Bytes out(segments[0].begin(), segments[0].end());
    out.insert(out.end(), segments[1].begin(), segments[1].end());
    return out;
}

// The readers' scan, whole and in pieces, against a plain search for every mark; the
// readers must only ever look at what the scan gives them (ASan watches the bytes).
void checkScan(const Bytes& bytes) {
    const std::size_t piece = 1 + bytes.size() % 37;
    // The readers engine: whole and in pieces, with and without the size told first,
    // the same facts; every listed place holds the texts it is marked with.
    const auto whole = factsOfBytes(bytes, "fuzz.gba");
    (void)judgeImage(whole);
    for (const bool sizeGiven : {false, true}) {
        ImageScanner pieces("fuzz.gba", sizeGiven ? std::optional<std::uint64_t>(bytes.size()) : std::nullopt);
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            pieces.feed(std::span(bytes).subspan(at, std::min(piece, bytes.size() - at)));
        }
        const auto again = pieces.finish();
        require(again.size == whole.size && again.crc32 == whole.crc32 &&
                    again.placeCount == whole.placeCount && again.places.size() == whole.places.size(),
                "readers: pieces and whole differ");
        for (std::size_t i = 0; i < whole.places.size(); ++i) {
            const StringPlace& a = again.places[i];
            const StringPlace& b = whole.places[i];
            require(a.offset == b.offset && a.marks == b.marks && a.libraryString == b.libraryString &&
                        a.zerosInFile == b.zerosInFile && a.roomAfter == b.roomAfter &&
                        a.zerosOneMiBBuffer == b.zerosOneMiBBuffer &&
                        a.zerosSixtyFourKiBBuffer == b.zerosSixtyFourKiBBuffer && a.lead == b.lead,
                    "readers: a place differs in pieces");
        }
    }
    const char* const kMarkTexts[] = {"EEPR", "EEPROM", "EEPROM_", "EEPROM_V", "SRAM", "SRAM_",
                                      "SRAM_V", "SRAM_F_V", "FLAS", "FLASH", "FLASH_", "FLASH_V",
                                      "FLASH512_", "FLASH512_V", "FLASH1M_", "FLASH1M_V", "SIIR",
                                      "Shantae"};
    std::uint64_t places = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        bool any = false;
        for (const char* text : kMarkTexts) {
            const std::size_t length = std::strlen(text);
            any = any || (at + length <= bytes.size() && std::memcmp(bytes.data() + at, text, length) == 0);
        }
        places += any ? 1 : 0;
    }
    require(whole.placeCount == places, "readers: the places counted");
    for (const StringPlace& place : whole.places) {
        for (std::size_t m = 0; m < kMarkCount; ++m) {
            const std::string_view text = kMarkTexts[m];
            const bool there = place.offset + text.size() <= bytes.size() &&
                               std::memcmp(bytes.data() + place.offset, text.data(), text.size()) == 0;
            require(there == place.has(static_cast<Mark>(m)), "readers: a place's marks");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const int operations = provider.ConsumeIntegralInRange(0, 12);
    std::vector<std::pair<int, std::string>> steps;
    for (int i = 0; i < operations; ++i) {
        const int kind = provider.ConsumeIntegralInRange(0, 7);
        steps.emplace_back(kind, provider.ConsumeRandomLengthString(20));
    }
    const Bytes bytes = provider.ConsumeRemainingBytes<std::uint8_t>();
    const auto n = bytes.size();

    const std::size_t aligned = (n + 3) / 4 * 4;  // where an appended tag starts
    checkScan(bytes);

    RomImage image(static_cast<std::int32_t>(n));
    require(image.hasBuffer(), "buffer");
    image.loadBytes(bytes);
    Bytes expectedHeader(
        bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(n, 192)));
    const auto defaults = CartridgeHeader().toBytes();
    expectedHeader.insert(expectedHeader.end(),
                          defaults.begin() + static_cast<std::ptrdiff_t>(expectedHeader.size()),
                          defaults.end());
    const auto loaded = image.header().toBytes();
    require(Bytes(loaded.begin(), loaded.end()) == expectedHeader, "header after load");
    require(std::all_of(image.buffer().begin() + static_cast<std::ptrdiff_t>(n),
                        image.buffer().end(), [](std::uint8_t b) { return b == 0; }),
            "fresh tag area is zero");

    bool searched = false;
    for (const auto& [kind, text] : steps) {
        const Bytes before(image.buffer().begin(), image.buffer().end());
        const auto headerBefore = image.header().toBytes();
        const int number = text.empty() ? 0 : static_cast<signed char>(text[0]) % 9;
        switch (kind) {
            case 0: {
                image.setTitle(text);
                const std::string kept = text.substr(0, std::min(text.find('\0'), std::size_t{12}));
                Bytes title(kept.begin(), kept.end());
                title.resize(12, 0);
                require(std::equal(title.begin(), title.end(), image.header().title.begin()),
                        "title");
                break;
            }
            case 1:
                image.setGameCode(text);
                require(std::memcmp(image.header().gameCode.data(), text.data(),
                                    std::min<std::size_t>(text.size(), 4)) == 0,
                        "game code");
                break;
            case 2:
                image.setMakerCode(text);
                break;
            case 3:
                image.setVersion(number * 1000003);
                require(image.header().version == static_cast<std::uint8_t>(number * 1000003),
                        "version");
                break;
            case 4: {
                image.appendSaveTag(static_cast<SaveType>(number));
                // A tag that would start under the 192-byte header, which every save
                // writes over the file's start, is not written at all.
                const auto tag = aligned >= 192 ? saveTagOf(static_cast<SaveType>(number)) : std::nullopt;
                const Bytes area(image.buffer().begin() + static_cast<std::ptrdiff_t>(aligned),
                                 image.buffer().end());
                require(tag ? std::equal(tag->begin(), tag->end(), area.begin())
                            : area == Bytes(before.begin() + static_cast<std::ptrdiff_t>(aligned),
                                            before.end()),
                        "tag area");
                require(std::all_of(image.buffer().begin() + static_cast<std::ptrdiff_t>(n),
                                    image.buffer().begin() + static_cast<std::ptrdiff_t>(aligned),
                                    [](std::uint8_t b) { return b == 0; }),
                        "zero gap before the tag");
                break;
            }
            case 5: {
                std::ostringstream out;
                const bool found = image.findEmptySpace(out);
                const auto end = referenceRunEnd(std::span(before).first(n));
                require(found == end.has_value(), "search result");
                const std::string shown = out.str();
                const std::size_t dots = end ? *end : n;
                require(
                    shown.size() > dots &&
                        std::count(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(dots),
                                   '.') == static_cast<std::ptrdiff_t>(dots) &&
                        shown[dots] == '\n',
                    "dots");
                if (found) {
                    require(image.emptySpaceOffset() == static_cast<std::int32_t>(*end - 11),
                            "offset");
                    searched = true;
                }
                require(Bytes(image.buffer().begin(), image.buffer().end()) == before,
                        "search changes nothing");
                break;
            }
            case 6:
                image.embedSaveTag(static_cast<SaveType>(number));
                if (searched && saveTagOf(static_cast<SaveType>(number))) {
                    const auto tag = *saveTagOf(static_cast<SaveType>(number));
                    require(std::equal(tag.begin(), tag.end(),
                                       image.buffer().begin() + image.emptySpaceOffset()),
                            "embedded tag");
                } else {
                    require(Bytes(image.buffer().begin(), image.buffer().end()) == before,
                            "embed without a search");
                }
                break;
            default: {
                image.finalizeHeader();
                const auto once = image.header().toBytes();
                requireFinalizedHeader(Bytes(once.begin(), once.end()), "finalised header");
                image.finalizeHeader();
                require(image.header().toBytes() == once, "finalising twice");
                // Entry branch, title, codes, unit code, reserved bytes and version stay.
                for (std::size_t i = 0; i < 0xBD; ++i) {
                    const bool repaired = (i >= 4 && i < 0xA0) || i == 0xB2 || i == 0xB4;
                    require(repaired || once[i] == headerBefore[i], "finalising keeps the fields");
                }
                break;
            }
        }
        for (const TagArea tagArea : {TagArea::Omitted, TagArea::Included}) {
            const Bytes out = outputOf(image, tagArea);
            const std::size_t length = tagArea == TagArea::Omitted ? n : aligned + 12;
            require(out.size() == std::max<std::size_t>(length, 192),
                    "output length");
            const auto header = image.header().toBytes();
            require(std::equal(header.begin(), header.end(), out.begin()),
                    "header over the output");
            require(std::equal(out.begin() + 192, out.end(), image.buffer().begin() + 192),
                    "body of the output");
        }
    }
    return 0;
}
