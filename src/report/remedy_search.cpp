#include "report/remedy_search.hpp"

#include <algorithm>
#include <cstdint>
#include <new>
#include <ostream>

#include "image/library_strings.hpp"
#include "image/padding.hpp"
#include "image/rom_image.hpp"
#include "readers/image_facts.hpp"
#include "readers/judgement.hpp"
#include "report/type_asked.hpp"

namespace tagwright {

namespace {

// The search for one type: the commands found so far and when to stop.
class Search {
  public:
    Search(std::span<const std::uint8_t> image, const std::string& outputName, SaveType asked,
           std::size_t limit, const std::function<bool(const TagCommand&)>& skip)
        : image_(image), outputName_(outputName), asked_(asked), limit_(limit), skip_(skip) {}

    bool done() const { return found_.size() >= limit_; }
    bool tableDecided() const { return tableDecided_; }
    bool nothingFound() const { return found_.empty(); }
    std::vector<TagCommand> found() && { return std::move(found_); }

    // Tries -sN, -sN -p and -eN with these --replace and game code settings, until done.
    void tryThree(bool replace, const std::string& gameCode) {
        std::ostream discard(nullptr);
        RomImage tagged(static_cast<std::int32_t>(image_.size()), discard);
        if (!tagged.hasBuffer()) {
            throw std::bad_alloc();
        }
        tagged.loadBytes(image_);
        if (replace) {
            (void)tagged.replaceLibraryStrings(asked_);
        }
        if (!gameCode.empty()) {
            tagged.setGameCode(gameCode);
        }
        tagged.finalizeHeader();
        const TagCommand appended{asked_, false, false, replace, gameCode};
        TagCommand padded = appended;
        padded.pad = true;
        TagCommand embedded = appended;
        embedded.embed = true;

        tagged.appendSaveTag(asked_);
        judge(appended, factsOf(tagged, false, false));
        if (done()) {
            return;
        }
        judge(padded, factsOf(tagged, false, true));
        if (done() || !tagged.findEmptySpace(discard)) {
            return;
        }
        tagged.embedSaveTag(asked_);
        judge(embedded, factsOf(tagged, true, false));
    }

  private:
    ImageFacts factsOf(const RomImage& image, bool omitTagArea, bool pad) const {
        return factsOfOutput(image, outputName_, omitTagArea,
                             pad ? Padding::ToPowerOfTwo : Padding::None);
    }

    void judge(const TagCommand& command, const ImageFacts& facts) {
        const auto results = judgeImage(facts);
        bool works = true;
        TagCommand tried = command;
        for (const ReaderResult& r : results) {
            if (r.warnable && r.outcome == SaveKind::Refused && r.decidedBy == DecidedBy::Header) {
                tried.needsTextHeader = true;
            } else if (r.warnable && !givesTypeAsked(r, asked_)) {
                works = false;
                tableDecided_ = tableDecided_ || r.decidedBy == DecidedBy::Table ||
                                r.decidedBy == DecidedBy::GameCode;
            }
        }
        if (works && !(skip_ && skip_(tried))) {
            found_.push_back(tried);
        }
    }

    std::span<const std::uint8_t> image_;
    const std::string& outputName_;
    SaveType asked_;
    std::size_t limit_;
    const std::function<bool(const TagCommand&)>& skip_;
    std::vector<TagCommand> found_;
    bool tableDecided_ = false;
};

}  // namespace

ImageFacts factsOfOutput(const RomImage& image, const std::string& name, bool omitTagArea,
                         Padding padding) {
    ImageScanner scanner(name);
    std::uint64_t length = 0;
    for (const auto segment : image.outputSegments(omitTagArea)) {
        scanner.feed(segment);
        length += segment.size();
    }
    if (padding == Padding::ToPowerOfTwo) {
        scanner.feedFill(paddedLength(length) - length);
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

bool allWarnableGive(std::span<const ReaderResult> results, SaveType asked) {
    return std::all_of(results.begin(), results.end(), [&](const ReaderResult& r) {
        return !r.warnable || givesTypeAsked(r, asked);
    });
}

std::vector<TagCommand> workingCommands(std::span<const std::uint8_t> image,
                                        const std::string& outputName, SaveType asked,
                                        std::size_t limit,
                                        const std::function<bool(const TagCommand&)>& skip) {
    if (limit == 0 || image.size() > static_cast<std::size_t>(INT32_MAX)) {
        return {};
    }
    std::vector<TagCommand> found;
    try {
        // SRAM_V113 is read by more readers than SRAM_F_V103 and asks for the same class.
        std::vector<SaveType> types = {asked};
        if (asked == SaveType::Sram256k) {
            types.push_back(SaveType::Sram512k);
        }
        for (const SaveType type : types) {
            Search search(image, outputName, type, limit - found.size(), skip);
            const bool anyToReplace = !libraryStringChanges(image, type).empty();
            for (const bool replace : {false, true}) {
                if ((!replace || anyToReplace) && !search.done()) {
                    search.tryThree(replace, {});
                }
            }
            // A neutral game code only when nothing else helped and a code was in the way.
            if (search.nothingFound() && search.tableDecided()) {
                for (const bool replace : {false, true}) {
                    if ((!replace || anyToReplace) && !search.done()) {
                        search.tryThree(replace, kNeutralGameCode);
                    }
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
