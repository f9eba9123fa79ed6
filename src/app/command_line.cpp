#include "app/command_line.hpp"

#include <algorithm>
#include <new>
#include <optional>

#include "app/credits_screen.hpp"
#include "app/long_options.hpp"
#include "app/probe_image.hpp"
#include "app/reader_warnings.hpp"
#include "app/save_tag_option.hpp"
#include "app/version_number.hpp"
#include "console/terminal_text.hpp"
#include "image/rom_image.hpp"

namespace tagwright {

namespace {

bool isOption(const std::string& argument) {
    return !argument.empty() && (argument[0] == '-' || argument[0] == '/');
}

struct RunSettings {
    std::string outputName = kDefaultOutputName;
    bool pad = false;
    WriteMode mode = WriteMode::InPlace;
    TagsWritten tags;
};

void applyOption(const std::string& argument, RomImage& image, RunSettings& settings,
                 std::ostream& out) {
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
            settings.outputName = value.empty() ? kDefaultOutputName : value;
            return;
        case 'p':
            settings.pad = true;
            return;
        case 'v':
            return;
        case 's':
        case 'e':
            applySaveTagOption(argument, image, settings.mode, settings.tags, out);
            return;
        default:
            out << "Invalid option: " << terminalSafe(argument) << '\n' << std::flush;
            return;
    }
}

std::optional<std::string> findInputName(std::span<const std::string> arguments) {
    const auto name = std::find_if_not(arguments.begin(), arguments.end(), isOption);
    if (name == arguments.end()) {
        return std::nullopt;
    }
    return *name;
}

// Loads, patches and writes; true when the output was written (and padded) in full.
// Returns nothing when the input could not be loaded at all.
std::optional<bool> patch(const std::string& inputName, std::span<const std::string> arguments,
                          std::ostream& out, std::ostream& err) {
    const auto size = probeImage.probeSize(inputName, out);
    if (!size) {
        return std::nullopt;
    }
    RomImage image(*size, out);
    if (!image.hasBuffer() || !image.load(inputName, out, probeImage.probedFile())) {
        return std::nullopt;
    }
    RunSettings settings;
    for (const auto& argument : arguments) {
        if (isOption(argument)) {
            applyOption(argument, image, settings, out);
        }
    }
    image.finalizeHeader();
    // Padding is part of the one write: the output never shows up unpadded.
    const bool omitTagArea = settings.mode == WriteMode::InPlace;
    const Padding padding = settings.pad ? Padding::ToPowerOfTwo : Padding::None;
    if (!image.write(settings.outputName, omitTagArea, out, padding)) {
        return false;
    }
    if (const auto expected = settings.tags.expected(settings.mode)) {
        warnAboutReaders(settings.outputName, image, omitTagArea, padding, *expected, err);
    }
    return true;
}

}  // namespace

int commandLineMode(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
    if (const auto status = runLongOption(arguments, out, err)) {
        return *status;
    }
    const auto inputName = findInputName(arguments);
    if (!inputName) {
        out << "Filename needed!" << std::endl;
        err << kShortUsage << std::endl;
        return kExitNoFileName;
    }
    std::optional<bool> written;
    try {
        written = patch(*inputName, arguments, out, err);
    } catch (const std::bad_alloc&) {
        err << kOutOfMemory << std::endl;
        return kExitFailure;
    }
    if (!written) {
        return kExitFailure;
    }
    creditsScreen(out);
    return *written ? kExitSuccess : kExitFailure;
}

}  // namespace tagwright
