#include "app/command_line.hpp"

#include <algorithm>
#include <new>

#include "app/command_arguments.hpp"
#include "app/credits_screen.hpp"
#include "app/long_options.hpp"
#include "app/patch_run.hpp"
#include "console/terminal_text.hpp"
#include "image/file_layer.hpp"
#include "image/hex_number.hpp"

namespace tagwright {

namespace {

// "tagwright: [name: ]0x1F2C0: EEPROM_V122 replaced by SRAM_V113"
void listReplacements(const std::string& prefix, const PatchOutcome& outcome, std::ostream& err) {
    for (const LibraryStringChange& change : outcome.replaced) {
        err << prefix << hex(change.offset) << ": " << change.oldText;
        if (change.fits) {
            err << " replaced by " << change.newText << '\n';
        } else {
            err << " left as it is: " << change.newText << " needs " << change.newText.size()
                << " bytes, its place has " << change.room << '\n';
        }
    }
    err << std::flush;
}

bool allReplaced(const PatchOutcome& outcome) {
    return std::all_of(outcome.replaced.begin(), outcome.replaced.end(),
                       [](const LibraryStringChange& change) { return change.fits; });
}

// "-e6 found no room; -s6 appends the tag instead"
std::string noRoomAdvice(const std::string& option) {
    std::string append = option;
    append[1] = 's';
    return terminalSafe(option) + " found no room for the save tag inside the ROM; " +
           terminalSafe(append) + " appends it instead";
}

// "-s6: no save tag written: the ROM is shorter than its 192-byte header, which covers it"
std::string underHeaderAdvice(const std::string& option) {
    return terminalSafe(option) +
           ": no save tag written: the ROM is shorter than its 192-byte header, which covers it";
}

// The status of one ROM's run, from what it did.
int statusOf(const PatchOutcome& outcome) {
    if (outcome.fix && !outcome.fix->command) {
        return outcome.fix->status == 0 ? kExitSuccess : kExitFailure;
    }
    const bool done = outcome.loaded && outcome.written && outcome.noRoom.empty() &&
                      outcome.underHeader.empty() && allReplaced(outcome);
    return done ? kExitSuccess : kExitFailure;
}

int singleRun(std::span<const std::string> arguments, const CommandArguments& read,
              std::ostream& out, std::ostream& err) {
    PatchRequest request{arguments, &read.isOption, read.replace, std::nullopt, read.fix};
    const PatchOutcome outcome = patchRom(read.roms.front(), request, out, err);
    if (!outcome.failure.empty()) {
        err << "tagwright: " << terminalSafe(outcome.failedName) << ": " << outcome.failure
            << std::endl;
    }
    if (!outcome.loaded) {
        if (!outcome.refusal.empty()) {
            err << "tagwright: " << terminalSafe(read.roms.front()) << ": " << outcome.refusal
                << std::endl;
        }
        return kExitFailure;
    }
    listReplacements("tagwright: ", outcome, err);
    if (outcome.fix) {
        err << "tagwright: " << terminalSafe(read.roms.front()) << ": "
            << (!outcome.fix->command ? outcome.fix->left
                : outcome.written     ? fixDone(*outcome.fix) + ", written to " +
                                        terminalSafe(outcome.outputName)
                                      : fixDone(*outcome.fix) + ", not written")
            << std::endl;
    }
    for (const std::string& option : outcome.noRoom) {
        err << "tagwright: " << noRoomAdvice(option) << std::endl;
    }
    for (const std::string& option : outcome.underHeader) {
        err << "tagwright: " << underHeaderAdvice(option) << std::endl;
    }
    creditsScreen(out);
    return statusOf(outcome);
}

// What one ROM's line on standard error says after it was written.
std::string summary(const PatchOutcome& outcome) {
    std::vector<std::string> parts;
    if (const auto type = outcome.tags.expected(outcome.tagArea)) {
        const bool embedded = outcome.tags.embedded == type &&
                              (outcome.tags.embeddedLast || outcome.tagArea == TagArea::Omitted);
        parts.push_back("save tag " + std::to_string(static_cast<int>(*type)) +
                        (embedded ? " embedded" : " appended"));
    }
    const auto replaced = std::count_if(outcome.replaced.begin(), outcome.replaced.end(),
                                        [](const LibraryStringChange& change) { return change.fits; });
    if (replaced > 0) {
        parts.push_back(std::to_string(replaced) + (replaced == 1 ? " string" : " strings") +
                        " replaced");
    }
    if (outcome.padded) {
        parts.push_back("padded");
    }
    std::string text = "written (";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        text += (i > 0 ? ", " : "") + parts[i];
    }
    text += parts.empty() ? "header only)" : ")";
    for (const std::string& option : outcome.noRoom) {
        text += "; " + noRoomAdvice(option);
    }
    for (const std::string& option : outcome.underHeader) {
        text += "; " + underHeaderAdvice(option);
    }
    if (!allReplaced(outcome)) {
        text += "; a string was left as it is";
    }
    return text;
}

// The files an --in-place run has handled, each under the name it was first given:
// a file is known by its identity, whatever name, link or spelling reaches it.
class HandledFiles {
  public:
    const std::string* nameOf(const files::FileFacts& file) const {
        const auto found = std::find_if(files_.begin(), files_.end(), [&file](const auto& known) {
            return known.first.sameFileAs(file);
        });
        return found == files_.end() ? nullptr : &found->second;
    }
    void add(const files::FileFacts& file, const std::string& name) {
        files_.emplace_back(file, name);
    }

  private:
    std::vector<std::pair<files::FileFacts, std::string>> files_;
};

int inPlaceRun(std::span<const std::string> arguments, const CommandArguments& read,
               std::ostream& out, std::ostream& err) {
    int status = kExitSuccess;
    HandledFiles handled;
    for (const std::string& rom : read.roms) {
        const std::string prefix = "tagwright: " + terminalSafe(rom) + ": ";
        const auto before = files::measure(rom);
        if (const std::string* first = before ? handled.nameOf(*before) : nullptr) {
            err << prefix << "same file as " << terminalSafe(*first) << ": passed over"
                << std::endl;
            status = worstStatus(status, kExitUsage);
            continue;
        }
        // A signal that comes once the ROM is replaced acts after its line is out.
        files::HeldSignals held;
        PatchRequest request{arguments, &read.isOption, read.replace, rom, read.fix, &held};
        std::string line;
        int romStatus = kExitFailure;
        try {
            const PatchOutcome outcome = patchRom(rom, request, out, err);
            listReplacements(prefix, outcome, err);
            line = !outcome.refusal.empty()                ? "not changed: " + outcome.refusal
                   : !outcome.loaded                       ? "not changed: could not be read"
                   : outcome.fix && !outcome.fix->command ? outcome.fix->left
                   : !outcome.written                    ? "not changed: could not be written"
                                                         : summary(outcome);
            if (outcome.fix && outcome.fix->command && outcome.loaded) {
                line.insert(0, fixDone(*outcome.fix) + "; ");
            }
            if (!outcome.failure.empty()) {
                line += ": " + outcome.failure;
            }
            romStatus = statusOf(outcome);
        } catch (const std::bad_alloc&) {
            line = "not changed: out of memory";
        }
        err << prefix << line << std::endl;
        held.release();
        status = worstStatus(status, romStatus);
        // Both the file read and the file that replaced it are this ROM from now on.
        if (before) {
            handled.add(*before, rom);
        }
        if (const auto after = files::measure(rom)) {
            handled.add(*after, rom);
        }
    }
    creditsScreen(out);
    return status;
}

}  // namespace

int commandLineMode(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
    if (const auto status = runLongOption(arguments, out, err)) {
        return *status;
    }
    const CommandArguments read = readCommandArguments(arguments);
    for (const std::string& line : read.explanations) {
        err << line << '\n';
    }
    err << std::flush;
    if (read.outputWithInPlace) {
        return kExitUsage;
    }
    if (read.roms.empty()) {
        out << "Filename needed!" << std::endl;
        err << kShortUsage << std::endl;
        return kExitNoFileName;
    }
    int status = read.misunderstood ? kExitUsage : kExitSuccess;
    if (read.notATypeAsked) {
        status = worstStatus(status, kExitFailure);
    }
    try {
        const int run = read.inPlace ? inPlaceRun(arguments, read, out, err)
                                     : singleRun(arguments, read, out, err);
        return worstStatus(status, run);
    } catch (const std::bad_alloc&) {
        err << kOutOfMemory << std::endl;
        return worstStatus(status, kExitFailure);
    }
}

}  // namespace tagwright
