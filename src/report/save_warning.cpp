#include "report/save_warning.hpp"

#include <algorithm>

#include "console/terminal_text.hpp"
#include "image/hex_number.hpp"
#include "readers/string_reading.hpp"
#include "report/name_remedy.hpp"
#include "report/outcome_groups.hpp"
#include "report/type_asked.hpp"

namespace tagwright {

namespace {

constexpr std::size_t kNamedTexts = 3;

// The type a reader that takes the text for a save string gives, or nothing.
std::optional<SaveType> typeReadFrom(const std::string& text) {
    const auto type = typeSomeReaderTakes(text);
    return type ? std::optional<SaveType>(library::typeOfKind(*type)) : std::nullopt;
}

}  // namespace

bool refusesHeader(const ReaderResult& result) {
    return result.outcome == SaveKind::Refused && result.decidedBy == DecidedBy::Header;
}

TagCommand SaveRequest::command() const {
    return TagCommand{type, embedded, padded, replaced, {}};
}

bool needsWarning(const SaveRequest& request, std::span<const ReaderResult> written) {
    return !allTagChangeableGive(written, request.type);
}

std::string saveWarning(const std::string& outputName, const SaveRequest& request,
                        const ImageFacts& written, std::span<const ReaderResult> results,
                        const std::vector<TagCommand>& remedies) {
    if (!needsWarning(request, results)) {
        return {};
    }
    std::vector<bool> include(results.size());
    bool nameRefused = false;
    bool headerOnly = true;
    for (std::size_t i = 0; i < results.size(); ++i) {
        include[i] = results[i].tagCanChange && !givesTypeAsked(results[i], request.type);
        nameRefused = nameRefused || (include[i] && results[i].decidedBy == DecidedBy::Name);
        headerOnly = headerOnly && (!include[i] || refusesHeader(results[i]));
    }
    std::string line = "warning: " + terminalSafe(outputName) + ": ";
    // A string is named only when a reader that differs gives what it stands for.
    const auto explains = [&](SaveType type) {
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (include[i] && givesTypeAsked(results[i], type) &&
                results[i].outcome != SaveKind::Runtime) {
                return true;
            }
        }
        return false;
    };
    if (request.replaced) {
        std::size_t named = 0;
        for (const StringPlace& place : written.places) {
            const auto type = typeReadFrom(place.text);
            if (type && !sameTypeAsked(*type, request.type) && !typeOfLibraryText(place.text) &&
                explains(*type) && named++ < kNamedTexts) {
                line += "plain text " + place.text + " at " + hex(place.offset) +
                        " is read as a save string; ";
            }
        }
    } else {
        for (const StringPlace& place : written.places) {
            const auto type = typeOfLibraryText(place.text);
            if (type && !sameTypeAsked(*type, request.type) && explains(*type)) {
                line += "it already holds " + place.text + " at " + hex(place.offset) + "; ";
                break;
            }
        }
    }
    line += std::string(typeAskedText(request.type)) + " asked, but some readers differ: ";
    bool first = true;
    for (const OutcomeGroup& group : groupByOutcome(results, include)) {
        line += first ? "" : "; ";
        first = false;
        line += group.outcome + ": " + membersText(results, group);
    }
    std::string avoid;
    if (headerOnly) {
        avoid = std::string("a title, game code and maker code of UTF-8 text (-t, -c, -m) avoid") +
                " this";
    } else {
        bool needsTextHeader = false;
        for (const TagCommand& remedy : remedies) {
            avoid += avoid.empty() ? "" : " or ";
            avoid += remedy.options();
            needsTextHeader = needsTextHeader || remedy.needsTextHeader;
        }
        if (nameRefused) {
            avoid += avoid.empty() ? "" : ", or ";
            const std::string renamed = nameReadersOpen(outputName);
            avoid += outputName.ends_with(renamed) ? "a name ending in .gba"
                                                   : "renaming it " + terminalSafe(renamed);
        }
        avoid = avoid.empty() ? "no tagwright command avoids this" : avoid + " avoids this";
        if (needsTextHeader) {
            avoid += " once the title, game code and maker code are UTF-8 text (-t, -c, -m)";
        }
    }
    line += "; " + avoid;
    return line;
}

}  // namespace tagwright
