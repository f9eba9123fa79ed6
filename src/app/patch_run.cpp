#include "app/patch_run.hpp"

#include "app/command_arguments.hpp"
#include "app/command_line.hpp"
#include "app/probe_image.hpp"
#include "app/reader_warnings.hpp"
#include "app/version_number.hpp"
#include "console/terminal_text.hpp"
#include "image/rom_image.hpp"

namespace tagwright {

namespace {

void applyOption(const std::string& argument, RomImage& image, const PatchRequest& request,
                 PatchOutcome& outcome, std::ostream& out) {
    if (argument == kInPlaceOption || argument == kReplaceOption) {
        return;
    }
    const char letter = argument.size() >= 2 ? argument[1] : '\0';
    const std::string value = argument.size() > 2 ? argument.substr(2) : std::string();
    switch (letter) {
        case 'c':
            image.setGameCode(value);
            return;
        case 'm':
            image.setMakerCode(value);
            return;
        case 't':
            if (!value.empty()) {
                image.setTitle(value);
            }
            return;
        case 'r':
            if (value.empty()) {
                out << "Need value for " << terminalSafe(argument) << '\n' << std::flush;
            } else {
                image.setVersion(static_cast<std::int32_t>(parseVersionNumber(value)));
            }
            return;
        case 'o':
            outcome.outputName = value.empty() ? kDefaultOutputName : value;
            return;
        case 'p':
            outcome.padded = true;
            return;
        case 'v':
            return;
        case 's':
        case 'e': {
            auto tagged =
                applySaveTagOption(argument, image, outcome.tagArea, outcome.tags, request.replace, out);
            if (tagged.noRoom) {
                outcome.noRoom.push_back(argument);
            }
            outcome.replaced.insert(outcome.replaced.end(), tagged.replaced.begin(),
                                    tagged.replaced.end());
            return;
        }
        default:
            out << "Invalid option: " << terminalSafe(argument) << '\n' << std::flush;
            return;
    }
}

}  // namespace

PatchOutcome patchRom(const std::string& input, const PatchRequest& request, std::ostream& out,
                      std::ostream& err) {
    PatchOutcome outcome;
    outcome.outputName = kDefaultOutputName;
    const auto size = probeImage.probeSize(input, out);
    if (!size) {
        return outcome;
    }
    RomImage image(*size, out);
    if (!image.hasBuffer() || !image.load(input, out, probeImage.probedFile())) {
        return outcome;
    }
    outcome.loaded = true;
    for (std::size_t i = 0; i < request.arguments.size(); ++i) {
        if ((*request.isOption)[i]) {
            applyOption(request.arguments[i], image, request, outcome, out);
        }
    }
    if (request.output) {
        outcome.outputName = *request.output;
    }
    image.finalizeHeader();
    // Padding is part of the one write: the output never shows up unpadded.
    const Padding padding = outcome.padded ? Padding::ToPowerOfTwo : Padding::None;
    outcome.written = image.write(outcome.outputName, outcome.tagArea, out, padding);
    if (!outcome.written) {
        return outcome;
    }
    if (const TagsWritten& tags = outcome.tags; tags.asked) {
        SaveRequest saved;
        saved.type = *tags.asked;
        saved.embedded = tags.askedEmbedded;
        saved.foundRoom = tags.foundRoom;
        saved.padded = padding == Padding::ToPowerOfTwo;
        saved.replaced = request.replace;
        warnAboutReaders(outcome.outputName, image, outcome.tagArea, saved, err);
    }
    return outcome;
}

}  // namespace tagwright
