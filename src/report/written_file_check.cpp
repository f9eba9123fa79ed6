#include "report/written_file_check.hpp"

#include <algorithm>

#include "readers/edited_facts.hpp"
#include "readers/judgement.hpp"
#include "report/type_asked.hpp"

namespace tagwright {

namespace {

// Remedies a warning names at most.
constexpr std::size_t kRemedies = 2;

}  // namespace

std::string warningAfterSave(const std::string& name, RomImage& image, TagArea tagArea,
                             const SaveRequest& request) {
    if (!image.hasBuffer()) {
        return {};
    }
    const auto size = static_cast<std::size_t>(image.size());
    const auto buffer = image.buffer();
    // The file before the tag: the image with an embedded tag taken out (the run held
    // zeros before), its bytes scanned once. The file written and every remedy tried
    // are edits of it.
    const bool embedded = request.embedded && request.foundRoom && image.emptySpaceOffset() >= 0;
    SearchStart start;
    start.original.base = buffer.first(size);
    if (embedded) {
        start.original.patches.push_back(
            {static_cast<std::uint64_t>(image.emptySpaceOffset()), std::vector<std::uint8_t>(kSaveTagSize, 0)});
    }
    const ImageFacts before = factsOfWhole(start.original, name, true);
    start.facts = &before;
    start.header = image.header();
    start.header.finalizeFrom(CartridgeHeader{});
    start.changes = start.original.patches;

    // The file written: the working header over the image, the tag area after it when
    // it was written, the padding.
    const auto segments = image.outputSegments(tagArea);
    EditedBytes written;
    std::vector<std::uint8_t> small;
    if (size < CartridgeHeader::kSize) {
        for (const auto segment : segments) {
            small.insert(small.end(), segment.begin(), segment.end());
        }
        written.base = small;
    } else {
        written.base = start.original.base;
        written.patches.push_back({0, {segments[0].begin(), segments[0].end()}});
        written.appended.assign(buffer.begin() + static_cast<std::ptrdiff_t>(size),
                                buffer.begin() + static_cast<std::ptrdiff_t>(
                                                     CartridgeHeader::kSize + segments[1].size()));
    }
    written.fill = image.outputFill(tagArea, request.padded ? Padding::ToPowerOfTwo : Padding::None);
    const ImageFacts facts = factsOfEdited(before, start.original, written, name);
    const auto results = judgeImage(facts);
    if (!needsWarning(request, results)) {
        return {};
    }
    if (std::all_of(results.begin(), results.end(), [&request](const ReaderResult& r) {
            return !r.tagCanChange || givesTypeAsked(r, request.type) || refusesHeader(r);
        })) {
        // Only the header's text is in the way: no tag option changes that.
        return saveWarning(name, request, facts, results, {});
    }
    const TagCommand used = request.command();
    const auto remedies =
        workingCommands(start, name, request.type, kRemedies,
                        [&used](const TagCommand& c) { return c.options() == used.options(); });
    return saveWarning(name, request, facts, results, remedies);
}

}  // namespace tagwright
