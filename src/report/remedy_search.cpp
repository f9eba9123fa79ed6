#include "report/remedy_search.hpp"

#include <algorithm>
#include <cstdint>

#include "image/empty_space.hpp"
#include "image/library_strings.hpp"
#include "image/padding.hpp"
#include "image/rom_image.hpp"
#include "readers/judgement.hpp"
#include "report/type_asked.hpp"

namespace tagwright {

namespace {

// The bytes of the file `changes` make of start.original.base, from `offset` to
// `offset + length` or the file's end.
std::vector<std::uint8_t> bytesAt(const EditedBytes& file, std::uint64_t offset, std::size_t length) {
    const std::uint64_t end = std::min<std::uint64_t>(file.size(), offset + length);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end - offset));
    file.copy(offset, bytes);
    return bytes;
}

std::vector<std::uint8_t> wholeOf(const EditedBytes& file) {
    return bytesAt(file, 0, static_cast<std::size_t>(file.size()));
}

// The changes --replace makes for `type` in the file `changes` make of the start.
std::vector<LibraryStringChange> replacementsIn(const SearchStart& start,
                                                const std::vector<BytePatch>& changes,
                                                SaveType type) {
    const EditedBytes file{start.original.base, changes, {}, 0};
    if (start.facts->libraryStrings.size() >= ImageFacts::kMaxPlaces) {
        return libraryStringChanges(wholeOf(file), type);  // the list may be cut: look at every byte
    }
    constexpr std::size_t kLongestPlace = 32;  // a library string and the zeros of its place
    std::vector<LibraryStringChange> found;
    for (const std::uint64_t offset : start.facts->libraryStrings) {
        if (auto change = libraryStringChangeAt(bytesAt(file, offset, kLongestPlace),
                                                static_cast<std::size_t>(offset), type)) {
            found.push_back(std::move(*change));
        }
    }
    return found;
}

// `changes` with the replacements that fit written over them.
std::vector<BytePatch> withReplacements(std::vector<BytePatch> changes,
                                        const std::vector<LibraryStringChange>& replacements) {
    for (const LibraryStringChange& change : replacements) {
        if (change.fits) {
            BytePatch patch{change.offset, std::vector<std::uint8_t>(change.room, 0)};
            std::copy(change.newText.begin(), change.newText.end(), patch.bytes.begin());
            changes.push_back(std::move(patch));
        }
    }
    return changes;
}

std::vector<std::uint8_t> tagBytes(SaveType type) {
    const SaveTag tag = saveTagOf(type).value_or(SaveTag{});
    return {tag.begin(), tag.end()};
}

// The search for one type: the commands found so far and when to stop.
class Search {
  public:
    Search(const SearchStart& start, const std::string& outputName, SaveType asked,
           std::size_t limit, const std::function<bool(const TagCommand&)>& skip)
        : start_(start), outputName_(outputName), asked_(asked), limit_(limit), skip_(skip) {}

    bool done() const { return found_.size() >= limit_; }
    bool tableDecided() const { return tableDecided_; }
    bool nothingFound() const { return found_.empty(); }
    std::vector<TagCommand> found() && { return std::move(found_); }

    // Tries -sN, -sN -p and -eN on the file `changes` and `header` make of the start,
    // with these --replace and game code settings, until done.
    void tryThree(const std::vector<BytePatch>& changes, const CartridgeHeader& header,
                  bool replace, const std::string& gameCode) {
        TagCommand command{asked_, false, false, replace, gameCode};
        for (const bool pad : {false, true}) {
            command.pad = pad;
            judge(command, changes, header);
            if (done()) {
                return;
            }
        }
        command.pad = false;
        command.embed = true;
        judge(command, changes, header);
    }

  private:
    void judge(const TagCommand& command, const std::vector<BytePatch>& changes,
               const CartridgeHeader& header) {
        if (skip_ && skip_(command)) {
            return;  // what was just used: judged already
        }
        std::vector<std::uint8_t> bytes;
        const auto file = savedFile(start_, changes, header, command, bytes);
        if (!file) {
            return;  // -e without room writes no tag
        }
        const auto results =
            judgeImage(factsOfEdited(*start_.facts, start_.original, *file, outputName_));
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

    const SearchStart& start_;
    const std::string& outputName_;
    SaveType asked_;
    std::size_t limit_;
    const std::function<bool(const TagCommand&)>& skip_;
    std::vector<TagCommand> found_;
    bool tableDecided_ = false;
};

}  // namespace

std::optional<EditedBytes> savedFile(const SearchStart& start, const std::vector<BytePatch>& changes,
                                     const CartridgeHeader& header, const TagCommand& command,
                                     std::vector<std::uint8_t>& bytes) {
    const std::span<const std::uint8_t> base = start.original.base;
    const auto headerBytes = header.toBytes();
    const std::size_t size = base.size();
    const std::size_t tagAt = RomImage::tagAreaOffset(static_cast<std::int32_t>(size));
    EditedBytes file;
    if (size < CartridgeHeader::kSize) {
        // The header alone, then what of the tag area lies past it; never room inside.
        if (command.embed) {
            return std::nullopt;
        }
        bytes.assign(headerBytes.begin(), headerBytes.end());
        const auto tag = tagBytes(command.type);
        for (std::size_t at = CartridgeHeader::kSize; at < tagAt + tag.size(); ++at) {
            bytes.push_back(at >= tagAt ? tag[at - tagAt] : 0);
        }
        file.base = bytes;
    } else {
        file.base = base;
        file.patches.push_back({0, {headerBytes.begin(), headerBytes.end()}});
        file.patches.insert(file.patches.end(), changes.begin(), changes.end());
        if (command.embed) {
            const EditedBytes before{base, changes, {}, 0};
            const auto run = changes.empty() ? findEmptyRun(base) : findEmptyRun(wholeOf(before));
            if (!run) {
                return std::nullopt;
            }
            file.patches.push_back({*run, tagBytes(command.type)});
        } else {
            file.appended.assign(tagAt - size, 0);
            const auto tag = tagBytes(command.type);
            file.appended.insert(file.appended.end(), tag.begin(), tag.end());
        }
    }
    if (command.pad) {
        const std::uint64_t length = file.base.size() + file.appended.size();
        file.fill = paddedLength(length) - length;
    }
    return file;
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

std::vector<TagCommand> workingCommands(const SearchStart& start, const std::string& outputName,
                                        SaveType asked, std::size_t limit,
                                        const std::function<bool(const TagCommand&)>& skip) {
    if (limit == 0 || start.facts == nullptr) {
        return {};
    }
    std::vector<TagCommand> found;
    // SRAM_V113 is read by more readers than SRAM_F_V103 and asks for the same class.
    std::vector<SaveType> types = {asked};
    if (asked == SaveType::Sram256k) {
        types.push_back(SaveType::Sram512k);
    }
    for (const SaveType type : types) {
        Search search(start, outputName, type, limit - found.size(), skip);
        search.tryThree(start.changes, start.header, false, {});
        const auto replacements = replacementsIn(start, start.changes, type);
        const bool anyToReplace = !replacements.empty();
        const auto replaced = withReplacements(start.changes, replacements);
        if (anyToReplace && !search.done()) {
            search.tryThree(replaced, start.header, true, {});
        }
        // A neutral game code only when nothing else helped and a code was in the way.
        for (const bool replace : {false, true}) {
            if (search.nothingFound() && search.tableDecided() && !search.done() &&
                (!replace || anyToReplace)) {
                CartridgeHeader header = start.header;
                header.setGameCode(kNeutralGameCode);
                header.finalizeFrom(CartridgeHeader{});
                search.tryThree(replace ? replaced : start.changes, header, replace, kNeutralGameCode);
            }
        }
        for (TagCommand& command : std::move(search).found()) {
            found.push_back(std::move(command));
        }
        if (found.size() >= limit) {
            break;
        }
    }
    return found;
}

}  // namespace tagwright
