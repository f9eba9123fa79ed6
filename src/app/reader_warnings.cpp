#include "app/reader_warnings.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "console/terminal_text.hpp"
#include "image/padding.hpp"

namespace tagwright {

namespace {

std::string hex(std::uint64_t value) {
    char text[24];
    (void)std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

// What avoids each reason, in the words of both front ends.
std::string remedyFor(ReaderReason reason, SaveType written) {
    const std::string n = std::to_string(static_cast<int>(written));
    switch (reason) {
        case ReaderReason::LastSixteenBytes:
            return "padding (-p) or empty space patching (-e" + n + ") avoids this";
        case ReaderReason::MixedTypes:
        case ReaderReason::Shantae:
            return "tag it with the type already there, or remove the other string";
        case ReaderReason::TooLarge:
            return "empty space patching (-e" + n + ") keeps the size at 32 MiB";
        case ReaderReason::TooSmall:
            return "padding (-p) makes it long enough";
        case ReaderReason::NameNotGba:
            return "a name ending in .gba avoids this";
        case ReaderReason::NoString:
        case ReaderReason::Unaligned:
            return "an image under 192 bytes has its tag covered by the header";
        case ReaderReason::Plain:
        case ReaderReason::ReadsNoStrings:
            break;
    }
    return "";
}

}  // namespace

SaveStringScan scanOfWrittenFile(const RomImage& image, bool omitTagArea, Padding padding) {
    SaveStringScanner scanner;
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

std::string readerWarning(const std::string& name, const SaveStringScan& scan, SaveType written) {
    const ReaderOutcome wanted = outcomeOf(written);
    std::string who;
    std::vector<std::string> remedies;
    std::vector<ReaderReason> explained;  // each reason is given once
    bool givesSaid = false;               // "gives" stands once, before the first outcome
    for (const Reader reader : kStringReaders) {
        const ReaderView view = readAs(reader, scan, name);
        if (view.outcome == wanted) {
            continue;
        }
        who += who.empty() ? "" : ", ";
        who += readerName(reader);
        if (view.outcome == ReaderOutcome::Refused) {
            who += " refuses the file";
        } else {
            who += givesSaid ? " " : " gives ";
            who += outcomeText(view.outcome);
            givesSaid = true;
        }
        if (view.reason != ReaderReason::Plain &&
            std::find(explained.begin(), explained.end(), view.reason) == explained.end()) {
            who += std::string(" (") + reasonText(view.reason) + ")";
            explained.push_back(view.reason);
        }
        std::string remedy = remedyFor(view.reason, written);
        if (!remedy.empty() &&
            std::find(remedies.begin(), remedies.end(), remedy) == remedies.end()) {
            remedies.push_back(std::move(remedy));
        }
    }
    if (who.empty()) {
        return {};
    }
    std::string line = "warning: " + terminalSafe(name);
    for (const SaveStringHit& hit : scan.hits) {
        // Shantae is SRAM to the one reader that knows it, plain FLASH 64 KiB.
        auto type = typeOfHit(hit);
        if (!type && hit.has(SavePrefix::Shantae)) {
            type = ReaderOutcome::Sram;
        } else if (!type && hit.has(SavePrefix::FlashPlain) && hit.aligned()) {
            type = ReaderOutcome::Flash64k;
        }
        if (type && *type != wanted) {
            line += " already holds " + hit.text + " at " + hex(hit.offset);
            break;
        }
    }
    line += ": " + who;
    for (const std::string& remedy : remedies) {
        line += "; " + remedy;
    }
    return line;
}

void warnAboutReaders(const std::string& name, const RomImage& image, bool omitTagArea,
                      Padding padding, SaveType written, std::ostream& err) {
    const std::string warning =
        readerWarning(name, scanOfWrittenFile(image, omitTagArea, padding), written);
    if (!warning.empty()) {
        err << warning << std::endl;
    }
}

}  // namespace tagwright
