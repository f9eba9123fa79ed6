#include "web/patch_request.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include "image/archive_magic.hpp"
#include "image/padding.hpp"
#include "image/rom_image.hpp"
#include "needs/game_needs.hpp"
#include "report/type_needed.hpp"
#include "report/written_file_check.hpp"

namespace tagwright::web {

namespace {

// Discards what the engine prints while it works (the search's progress dots).
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

PatchResult refused(std::string problem) {
    PatchResult result;
    result.problem = std::move(problem);
    return result;
}

}  // namespace

PatchResult patchImage(std::span<const std::uint8_t> image, const PatchRequest& request) {
    if (image.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return refused("The file is too large to patch.");
    }
    if (const auto archive =
            archiveKindOf(image.first(std::min(image.size(), kArchiveMagicLength)))) {
        return refused("This file is " + archiveRefusal(*archive) + ".");
    }
    NullBuffer discard;
    std::ostream quiet(&discard);
    RomImage rom(static_cast<std::int32_t>(image.size()), quiet);
    if (!rom.hasBuffer()) {
        return refused("There is not enough memory to patch this file.");
    }
    rom.loadBytes(image);
    if (request.title && !request.title->empty()) {
        rom.setTitle(*request.title);
    }
    if (request.gameCode) {
        rom.setGameCode(*request.gameCode);
    }
    if (request.makerCode) {
        rom.setMakerCode(*request.makerCode);
    }
    if (request.version) {
        rom.setVersion(*request.version);
    }
    rom.finalizeHeader();

    if (!rom.appendedTagFits()) {
        return refused(
            "This file is shorter than the 192-byte cartridge header, which would "
            "cover the save tag: it is not a ROM.");
    }
    PatchResult result;
    result.padded = request.pad;
    if (request.replaceStrings) {
        result.replaced = rom.replaceLibraryStrings(request.type);
    }
    bool embed = request.placement != Placement::Append;
    if (embed && !rom.findEmptySpace(quiet)) {
        if (request.placement == Placement::Embed) {
            return refused(
                "There is no room inside this file for the save tag (it needs 12 zero bytes "
                "at a multiple of 4 after the header). Choose \"append\" or \"automatic\".");
        }
        embed = false;
        result.padded = true;
    }
    if (embed) {
        rom.embedSaveTag(request.type);
        result.embeddedAt = static_cast<std::uint64_t>(rom.emptySpaceOffset());
    } else {
        rom.appendSaveTag(request.type);
    }

    const TagArea tagArea = embed ? TagArea::Omitted : TagArea::Included;
    const auto segments = rom.outputSegments(tagArea);
    const std::uint64_t length = segments[0].size() + segments[1].size();
    const std::uint64_t total =
        length + rom.outputFill(tagArea, result.padded ? Padding::ToPowerOfTwo : Padding::None);
    if (total > std::numeric_limits<std::size_t>::max()) {
        return refused("The patched file would be too large.");
    }
    try {
        result.bytes.reserve(static_cast<std::size_t>(total));
    } catch (const std::bad_alloc&) {
        return refused("There is not enough memory to patch this file.");
    }
    for (const auto& segment : segments) {
        result.bytes.insert(result.bytes.end(), segment.begin(), segment.end());
    }
    result.bytes.resize(static_cast<std::size_t>(total), kPaddingByte);
    result.fill = total - length;
    result.written = true;

    SaveRequest said;
    said.type = request.type;
    said.embedded = embed;
    said.padded = result.padded;
    said.replaced = request.replaceStrings;
    result.warning = warningAfterSave(request.outputName, rom, tagArea, said);
    result.codeDisagrees = !codeDisagreement(request.outputName, request.type, judgeGameCode(result.bytes)).empty();
    return result;
}

}  // namespace tagwright::web
