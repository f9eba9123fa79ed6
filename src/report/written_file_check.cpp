#include "report/written_file_check.hpp"

#include <algorithm>

#include "readers/judgement.hpp"
#include "report/type_asked.hpp"

namespace tagwright {

namespace {

// Remedies a warning names at most.
constexpr std::size_t kRemedies = 2;
// Each remedy tried is one more pass over the image. Up to this size (most ROMs) a
// save tries them; above it the save keeps close to the time of a plain read and
// write, and the warning points to --info, which tries them on request.
constexpr std::int32_t kRemedySearchLimit = 16 << 20;

}  // namespace

std::string warningAfterSave(const std::string& name, RomImage& image, TagArea tagArea,
                             const SaveRequest& request) {
    const ImageFacts written =
        factsOfOutput(image, name, tagArea,
                      request.padded ? Padding::ToPowerOfTwo : Padding::None);
    const auto results = judgeImage(written);
    if (!needsWarning(request, results)) {
        return {};
    }
    if (std::all_of(results.begin(), results.end(), [&request](const ReaderResult& r) {
            return !r.tagCanChange || givesTypeAsked(r, request.type) || refusesHeader(r);
        })) {
        // Only the header's text is in the way: no tag option changes that.
        return saveWarning(name, request, written, results, {});
    }
    if (image.size() > kRemedySearchLimit) {
        return saveWarning(name, request, written, results, {}, false);
    }
    const TagCommand used = request.command();
    // The image as it stood before the tag: without an embedded one, put back after.
    const bool embedded = request.embedded && request.foundRoom && image.emptySpaceOffset() >= 0;
    if (embedded) {
        image.clearEmbeddedTag();
    }
    const auto remedies =
        workingCommands(image, name, request.type, kRemedies,
                        [&used](const TagCommand& c) { return c.options() == used.options(); });
    if (embedded) {
        image.embedSaveTag(request.type);
    }
    return saveWarning(name, request, written, results, remedies);
}

}  // namespace tagwright
