#include "app/patch_run.hpp"

#include "app/command_arguments.hpp"
#include "app/command_line.hpp"
#include "app/read_rom.hpp"
#include "app/reader_warnings.hpp"
#include "app/version_number.hpp"
#include "console/terminal_text.hpp"
#include "image/file_layer.hpp"
#include "image/rom_image.hpp"

namespace tagwright {

namespace {

void applyOption(const std::string& argument, RomImage& image, PatchOutcome& outcome,
                 std::ostream& out) {
    if (argument == kInPlaceOption || argument == kReplaceOption || argument == kEndOfOptions ||
        argument == kFixOption) {
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
            const auto tagged =
                applySaveTagOption(argument, image, outcome.tagArea, outcome.tags, out);
            if (tagged.noRoom) {
                outcome.noRoom.push_back(argument);
            }
            if (tagged.underHeader) {
                outcome.underHeader.push_back(argument);
            }
            return;
        }
        default:
            out << "Invalid option: " << terminalSafe(argument) << '\n' << std::flush;
            return;
    }
}

// The save type the last -sN or -eN with N from 1 to 6 asks for.
std::optional<SaveType> lastTypeAsked(const PatchRequest& request) {
    std::optional<SaveType> type;
    for (std::size_t i = 0; i < request.arguments.size(); ++i) {
        const std::string& argument = request.arguments[i];
        if ((*request.isOption)[i] && argument.size() >= 3 &&
            (argument[1] == 's' || argument[1] == 'e')) {
            if (const auto asked = saveTypeFromNumber(argument[2] - '0')) {
                type = asked;
            }
        }
    }
    return type;
}

}  // namespace

PatchOutcome patchRom(const std::string& input, const PatchRequest& request, std::ostream& out,
                      std::ostream& err) {
    PatchOutcome outcome;
    outcome.outputName = kDefaultOutputName;
    const auto failed = [&outcome](const std::string& name, std::string why) {
        outcome.failedName = name;
        outcome.failure = std::move(why);
        return outcome;
    };
    RomRead read = readRom(input, out);
    if (!read.image) {
        outcome.refusal = std::move(read.refusal);
        return read.failure.empty() ? outcome : failed(input, std::move(read.failure));
    }
    RomImage& image = *read.image;
    outcome.loaded = true;
    // Once, before any tag, for the type of the last -s or -e: an earlier one of the same
    // run is not what the file will say.
    if (const auto type = lastTypeAsked(request); type && request.replace && !request.fix) {
        outcome.replaced = image.replaceLibraryStrings(*type);
    }
    for (std::size_t i = 0; i < request.arguments.size(); ++i) {
        if ((*request.isOption)[i]) {
            const char letter = request.arguments[i].size() >= 2 ? request.arguments[i][1] : '\0';
            if (!request.fix || (letter != 's' && letter != 'e')) {
                applyOption(request.arguments[i], image, outcome, out);
            }
        }
    }
    if (request.output) {
        outcome.outputName = *request.output;
    }
    if (request.fix) {
        outcome.fix = planFix(image, files::storedName(outcome.outputName));
        if (!outcome.fix->command) {
            return outcome;
        }
        // The command's options, applied as if given: --replace, -c, then -s/-e, then -p.
        const TagCommand& command = *outcome.fix->command;
        if (command.replace) {
            const auto changes = image.replaceLibraryStrings(command.type);
            outcome.replaced.insert(outcome.replaced.end(), changes.begin(), changes.end());
        }
        if (!command.gameCode.empty()) {
            applyOption("-c" + command.gameCode, image, outcome, out);
        }
        const std::string n = std::to_string(static_cast<int>(command.type));
        applyOption((command.embed ? "-e" : "-s") + n, image, outcome, out);
        if (command.pad) {
            outcome.padded = true;
        }
    }
    image.finalizeHeader();
    // Padding is part of the one write: the output never shows up unpadded.
    const Padding padding = outcome.padded ? Padding::ToPowerOfTwo : Padding::None;
    SaveTerms terms;
    terms.keepHeld = request.keepHeld;
    if (outcome.outputName == input) {
        terms.onlyOverInput = true;
    } else {
        const auto named = files::measure(outcome.outputName);
        terms.onlyOverInput = named && image.fileRead() && named->sameFileAs(*image.fileRead());
    }
    outcome.written = image.write(outcome.outputName, outcome.tagArea, out, padding, terms);
    if (!outcome.written) {
        return failed(outcome.outputName, files::lastFailure());
    }
    // An image too short for any tag (no -s fits, no -e finds room) gets its own line
    // from the caller, not a warning about readers that could never see one.
    if (const TagsWritten& tags = outcome.tags; tags.asked && image.appendedTagFits()) {
        SaveRequest saved;
        saved.type = *tags.asked;
        saved.embedded = tags.askedEmbedded;
        saved.foundRoom = tags.foundRoom;
        saved.padded = padding == Padding::ToPowerOfTwo;
        saved.replaced = outcome.fix && outcome.fix->command ? outcome.fix->command->replace
                                                             : request.replace;
        warnAboutReaders(outcome.outputName, image, outcome.tagArea, saved, err);
    }
    return outcome;
}

}  // namespace tagwright
