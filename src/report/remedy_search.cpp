#include "report/remedy_search.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <ostream>

#include "image/library_strings.hpp"
#include "image/padding.hpp"
#include "readers/judgement.hpp"
#include "report/type_asked.hpp"

namespace tagwright {

namespace {

// The search for one type: the commands found so far and when to stop.
class Search {
  public:
    Search(const std::string& outputName, SaveType asked, std::size_t limit,
           const std::function<bool(const TagCommand&)>& skip)
        : outputName_(outputName), asked_(asked), limit_(limit), skip_(skip) {}

    bool done() const { return found_.size() >= limit_; }
    bool tableDecided() const { return tableDecided_; }
    bool nothingFound() const { return found_.empty(); }
    std::vector<TagCommand> found() && { return std::move(found_); }

    // Tries -sN, -sN -p and -eN on `image` (header finalised, no tag embedded) with
    // these --replace and game code settings, until done. The image keeps its bytes,
    // apart from the tag area, which then holds a tag.
    void tryThree(RomImage& image, bool replace, const std::string& gameCode) {
        const TagCommand appended{asked_, false, false, replace, gameCode};
        TagCommand padded = appended;
        padded.pad = true;
        TagCommand embedded = appended;
        embedded.embed = true;

        image.appendSaveTag(asked_);
        judge(appended, image, TagArea::Included);
        if (done()) {
            return;
        }
        judge(padded, image, TagArea::Included);
        if (done() || skipped(embedded)) {
            return;
        }
        // A run already holding a tag (an earlier -e of the same run) stays: the search
        // goes on to the next run, as a second -e would.
        std::ostream discard(nullptr);
        if (!runIsFree(image) && !image.findEmptySpace(discard)) {
            return;
        }
        image.embedSaveTag(asked_);
        judge(embedded, image, TagArea::Omitted);
        image.clearEmbeddedTag();
    }

  private:
    static bool runIsFree(const RomImage& image) {
        const auto at = image.emptySpaceOffset();
        if (at < 0) {
            return false;
        }
        const auto run = image.buffer().subspan(static_cast<std::size_t>(at), kSaveTagSize);
        return std::all_of(run.begin(), run.end(), [](std::uint8_t b) { return b == 0; });
    }

    bool skipped(const TagCommand& command) const { return skip_ && skip_(command); }

    void judge(const TagCommand& command, const RomImage& image, TagArea tagArea) {
        if (skipped(command)) {
            return;  // what was just used: judged already
        }
        const auto results = judgeImage(factsOfOutput(
            image, outputName_, tagArea, command.pad ? Padding::ToPowerOfTwo : Padding::None));
        bool works = true;
        TagCommand tried = command;
        for (const ReaderResult& r : results) {
            if (r.tagCanChange && r.outcome == SaveKind::Refused && r.decidedBy == DecidedBy::Header) {
                tried.needsTextHeader = true;
            } else if (r.tagCanChange && !givesTypeAsked(r, asked_)) {
                works = false;
                tableDecided_ = tableDecided_ || r.decidedBy == DecidedBy::Table ||
                                r.decidedBy == DecidedBy::GameCode;
            }
        }
        if (works) {
            found_.push_back(tried);
        }
    }

    const std::string& outputName_;
    SaveType asked_;
    std::size_t limit_;
    const std::function<bool(const TagCommand&)>& skip_;
    std::vector<TagCommand> found_;
    bool tableDecided_ = false;
};

// A copy of `image` (its bytes with the working header over the first 192) for the
// candidates that change more than the tag: --replace and another game code.
std::unique_ptr<RomImage> copyOf(const RomImage& image) {
    const auto size = static_cast<std::size_t>(image.size());
    std::vector<std::uint8_t> bytes(image.buffer().begin(), image.buffer().begin() +
                                                                static_cast<std::ptrdiff_t>(size));
    const auto header = image.header().toBytes();
    std::copy_n(header.begin(), std::min(header.size(), bytes.size()), bytes.begin());
    std::ostream discard(nullptr);
    auto copy = std::make_unique<RomImage>(image.size(), discard);
    if (!copy->hasBuffer()) {
        throw std::bad_alloc();
    }
    copy->loadBytes(bytes);
    return copy;
}

}  // namespace

ImageFacts factsOfOutput(const RomImage& image, const std::string& name, TagArea tagArea,
                         Padding padding) {
    // The scanner told the size in advance reads the pieces where they lie, without
    // copying them.
    const auto segments = image.outputSegments(tagArea);
    const std::uint64_t fill = image.outputFill(tagArea, padding);
    ImageScanner scanner(name, segments[0].size() + segments[1].size() + fill);
    // In slices that stay in the processor's cache while the checksum and the string
    // search both go over them.
    constexpr std::size_t kSlice = std::size_t{256} << 10;
    for (const auto segment : segments) {
        for (std::size_t at = 0; at < segment.size(); at += kSlice) {
            scanner.feed(segment.subspan(at, std::min(kSlice, segment.size() - at)));
        }
    }
    if (fill > 0) {
        scanner.feedFill(fill);
    }
    return scanner.finish();
}

std::string TagCommand::options() const {
    std::string text = (embed ? "-e" : "-s") + std::to_string(static_cast<int>(type));
    if (pad) {
        text += " -p";
    }
    if (replace) {
        text += " --replace";
    }
    if (!gameCode.empty()) {
        text += " -c" + gameCode;
    }
    return text;
}

std::string TagCommand::optionsAndNeeds() const {
    return options() +
           (needsTextHeader ? " (once the title, game code and maker code are UTF-8 text: -t, -c, -m)"
                            : "");
}

bool allTagChangeableGive(std::span<const ReaderResult> results, SaveType asked) {
    return std::all_of(results.begin(), results.end(), [&](const ReaderResult& r) {
        return !r.tagCanChange || givesTypeAsked(r, asked);
    });
}

std::vector<TagCommand> workingCommands(RomImage& image, const std::string& outputName,
                                        SaveType asked, std::size_t limit,
                                        const std::function<bool(const TagCommand&)>& skip) {
    if (limit == 0 || !image.hasBuffer()) {
        return {};
    }
    std::vector<TagCommand> found;
    try {
        image.finalizeHeader();
        const auto bytes = image.buffer().first(static_cast<std::size_t>(image.size()));
        // SRAM_V113 is read by more readers than SRAM_F_V103 and asks for the same class.
        std::vector<SaveType> types = {asked};
        if (asked == SaveType::Sram256k) {
            types.push_back(SaveType::Sram512k);
        }
        for (const SaveType type : types) {
            Search search(outputName, type, limit - found.size(), skip);
            search.tryThree(image, false, {});
            const bool anyToReplace = !libraryStringChanges(bytes, type).empty();
            if (anyToReplace && !search.done()) {
                const auto copy = copyOf(image);
                (void)copy->replaceLibraryStrings(type);
                search.tryThree(*copy, true, {});
            }
            // A neutral game code only when nothing else helped and a code was in the way.
            for (const bool replace : {false, true}) {
                if (search.nothingFound() && search.tableDecided() && !search.done() &&
                    (!replace || anyToReplace)) {
                    const auto copy = copyOf(image);
                    if (replace) {
                        (void)copy->replaceLibraryStrings(type);
                    }
                    copy->setGameCode(kNeutralGameCode);
                    copy->finalizeHeader();
                    search.tryThree(*copy, replace, kNeutralGameCode);
                }
            }
            for (TagCommand& command : std::move(search).found()) {
                found.push_back(std::move(command));
            }
            if (found.size() >= limit) {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return {};
    }
    return found;
}

}  // namespace tagwright
