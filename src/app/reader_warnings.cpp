#include "app/reader_warnings.hpp"

#include <algorithm>

#include "image/file_layer.hpp"
#include "readers/judgement.hpp"
#include "report/type_asked.hpp"

namespace tagwright {

namespace {

// Remedies a warning names at most.
constexpr std::size_t kRemedies = 2;

}  // namespace

std::vector<std::uint8_t> untaggedImage(const RomImage& image, const SaveRequest& request) {
    const auto buffer = image.buffer().first(static_cast<std::size_t>(image.size()));
    std::vector<std::uint8_t> bytes(buffer.begin(), buffer.end());
    const auto header = image.header().toBytes();
    std::copy_n(header.begin(), std::min(header.size(), bytes.size()), bytes.begin());
    if (request.embedded && request.foundRoom && image.emptySpaceOffset() >= 0) {
        const auto at = static_cast<std::size_t>(image.emptySpaceOffset());
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    std::min(kSaveTagSize, bytes.size() - at), std::uint8_t{0});
    }
    return bytes;
}

void warnAboutReaders(const std::string& outputName, const RomImage& image, bool omitTagArea,
                      const SaveRequest& request, std::ostream& err) {
    // Emulators see the name the file system stored, which is what is judged.
    const std::string name = files::storedName(outputName);
    const ImageFacts written =
        factsOfOutput(image, name, omitTagArea,
                           request.padded ? Padding::ToPowerOfTwo : Padding::None);
    const auto results = judgeImage(written);
    if (!needsWarning(request, results)) {
        return;
    }
    if (std::all_of(results.begin(), results.end(), [&request](const ReaderResult& r) {
            return !r.warnable || givesTypeAsked(r, request.type) || refusesHeader(r);
        })) {
        err << saveWarning(name, request, written, results, {}) << std::endl;
        return;  // only the header's text is in the way: no tag option changes that
    }
    const TagCommand used = request.command();
    const auto remedies = workingCommands(untaggedImage(image, request), name, request.type,
                                          kRemedies,
                                          [&used](const TagCommand& c) { return c.options() == used.options(); });
    err << saveWarning(name, request, written, results, remedies) << std::endl;
}

}  // namespace tagwright
