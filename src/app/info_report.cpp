#include "app/info_report.hpp"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <limits>
#include <new>
#include <vector>

#include "console/terminal_text.hpp"
#include "image/file_layer.hpp"

namespace tagwright {

namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 20;
constexpr int kNameColumn = 16;

std::string hex(std::uint64_t value, int digits = 2) {
    char text[24];
    (void)std::snprintf(text, sizeof text, "0x%0*llX", digits,
                        static_cast<unsigned long long>(value));
    return text;
}

// Printable ASCII as it is, anything else as \xNN; stops at the first zero when asked.
std::string shown(std::span<const std::uint8_t> bytes, bool stopAtZero) {
    std::string text;
    for (const std::uint8_t b : bytes) {
        if (stopAtZero && b == 0) {
            break;
        }
        if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
            text.push_back(static_cast<char>(b));
        } else {
            char escape[5];
            (void)std::snprintf(escape, sizeof escape, "\\x%02X", b);
            text += escape;
        }
    }
    return text;
}

std::string sizeLine(const std::string& name, std::uint64_t size) {
    std::string facts = std::has_single_bit(size) ? "power of two" : "not a power of two";
    if (size % 4 != 0) {
        facts += ", not a multiple of 4";
    }
    if (size > kThirtyTwoMiB) {
        facts += ", over 32 MiB";
    }
    return name + "  " + std::to_string(size) + " bytes (" + facts + ")";
}

void printHeader(const CartridgeHeader& header, const HeaderCheck& check, std::ostream& out) {
    out << "  header   ";
    if (!check.complete) {
        out << "incomplete: the file is shorter than the 192 header bytes" << std::endl;
        return;
    }
    out << '"' << shown(header.title, true) << "\" " << shown(header.gameCode, false) << ' '
        << shown(header.makerCode, false) << " v" << static_cast<unsigned>(header.version)
        << "   logo " << (check.logoOk ? "ok" : "BAD") << "  0xB2 ";
    if (check.fixedOk()) {
        out << "ok";
    } else {
        out << "is " << hex(check.fixedValue) << " BAD (should be 0x96)";
    }
    out << "  complement " << hex(check.storedCheck);
    if (check.checkOk()) {
        out << " ok";
    } else {
        out << " BAD (should be " << hex(check.computedCheck) << ")";
    }
    out << std::endl;
}

void printStrings(const SaveStringScan& scan, std::ostream& out) {
    out << "  strings  ";
    if (scan.hits.empty()) {
        out << "none" << std::endl;
        return;
    }
    for (std::size_t i = 0; i < scan.hits.size(); ++i) {
        const SaveStringHit& hit = scan.hits[i];
        out << (i == 0 ? "" : "           ") << hit.text << " at " << hex(hit.offset, 1) << " ("
            << (hit.aligned() ? "aligned" : "not aligned") << ")" << std::endl;
    }
    if (scan.hitCount > scan.hits.size()) {
        out << "           and " << scan.hitCount - scan.hits.size() << " more" << std::endl;
    }
}

std::string viewText(const ReaderView& view) {
    std::string text = outcomeText(view.outcome);
    if (view.reason != ReaderReason::Plain) {
        text += " (";
        text += reasonText(view.reason);
        text += ")";
    }
    return text;
}

bool isType(ReaderOutcome outcome) {
    return outcome == ReaderOutcome::Eeprom || outcome == ReaderOutcome::Sram ||
           outcome == ReaderOutcome::Flash64k || outcome == ReaderOutcome::Flash128k;
}

}  // namespace

HeaderCheck checkHeader(const CartridgeHeader& header, std::uint64_t fileSize) {
    HeaderCheck check;
    check.complete = fileSize >= CartridgeHeader::kSize;
    check.logoOk = header.logo == CartridgeHeader::kLogo;
    check.fixedValue = header.fixedValue;
    check.storedCheck = header.complementCheck;
    check.computedCheck = header.computeComplementCheck();
    return check;
}

int printReport(const std::string& name, const CartridgeHeader& header, const SaveStringScan& scan,
                std::ostream& out) {
    const HeaderCheck check = checkHeader(header, scan.fileSize);
    out << sizeLine(terminalSafe(name), scan.fileSize) << std::endl;
    printHeader(header, check, out);
    printStrings(scan, out);

    std::array<ReaderView, kReaders.size()> views{};
    for (std::size_t i = 0; i < kReaders.size(); ++i) {
        views[i] = readAs(kReaders[i], scan, name);
        std::string label = readerName(kReaders[i]);
        label.resize(std::max<std::size_t>(label.size() + 1, kNameColumn), ' ');
        out << "  " << label << viewText(views[i]) << std::endl;
    }

    // The five string readers are the first five views.
    const ReaderOutcome first = views[0].outcome;
    const bool agree = std::all_of(views.begin(), views.begin() + kStringReaders.size(),
                                   [first](const ReaderView& v) { return v.outcome == first; });
    const bool anyType = std::any_of(views.begin(), views.begin() + kStringReaders.size(),
                                     [](const ReaderView& v) { return isType(v.outcome); });
    std::vector<std::string> shortfalls;
    if (!check.starts()) {
        shortfalls.emplace_back("the console would not start it (header)");
    }
    if (!anyType) {
        shortfalls.emplace_back("no emulator finds a save-type string it reads");
    } else if (!agree || !isType(first)) {
        // Grouped by what they give: "SRAM 32 KiB (VBA-M, ares), no save memory (SkyEmu)".
        std::string groups;
        std::array<bool, kStringReaders.size()> listed{};
        for (std::size_t i = 0; i < kStringReaders.size(); ++i) {
            if (listed[i]) {
                continue;
            }
            groups += groups.empty() ? "" : ", ";
            groups += outcomeText(views[i].outcome);
            groups += " (";
            for (std::size_t j = i; j < kStringReaders.size(); ++j) {
                if (views[j].outcome == views[i].outcome) {
                    groups += j == i ? "" : ", ";
                    groups += readerName(kStringReaders[j]);
                    listed[j] = true;
                }
            }
            groups += ")";
        }
        shortfalls.push_back("the emulators that read strings disagree: " + groups);
    }
    out << "  verdict  ";
    if (shortfalls.empty()) {
        out << "ok: every emulator that reads strings gives " << outcomeText(first) << std::endl;
        return kInfoAllGood;
    }
    out << "short: ";
    for (std::size_t i = 0; i < shortfalls.size(); ++i) {
        out << (i == 0 ? "" : "; ") << shortfalls[i];
    }
    out << std::endl;
    return kInfoFallsShort;
}

int infoMode(std::span<const std::string> names, std::ostream& out) {
    std::vector<std::uint8_t> block(kReadBlock);
    int status = kInfoAllGood;
    bool firstFile = true;
    for (const std::string& name : names) {
        if (!out) {
            return status;  // nobody reads the report any more: the rest is not read
        }
        if (!firstFile) {
            out << std::endl;
        }
        firstFile = false;
        const char* problem = nullptr;
        std::array<std::uint8_t, CartridgeHeader::kSize> first{};
        std::size_t firstCount = 0;
        SaveStringScanner scanner;
        const auto measured = files::measure(name);
        if (!measured) {
            problem = "There was a problem opening the file you specified!";
        } else if (measured->size >
                   static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
            problem = "The ROM file is too large (2 GiB or more).";
        } else {
            files::FileFacts facts;
            const auto outcome = files::readInBlocks(
                name, block,
                [&](std::span<const std::uint8_t> part) {
                    const std::size_t take = std::min(part.size(), first.size() - firstCount);
                    std::copy_n(part.begin(), take,
                                first.begin() + static_cast<std::ptrdiff_t>(firstCount));
                    firstCount += take;
                    scanner.feed(part);
                },
                facts);
            if (outcome == files::ReadOutcome::CannotOpen) {
                problem = "There was a problem opening the file you specified!";
            } else if (outcome != files::ReadOutcome::Read || !facts.matches(*measured)) {
                problem = "There was a problem reading the file you specified!";
            }
        }
        if (problem != nullptr) {
            out << terminalSafe(name) << std::endl << "  " << problem << std::endl;
            status = kInfoUnreadable;
            continue;
        }
        CartridgeHeader header;
        header.overlay(std::span(first).first(firstCount));
        const int fileStatus = printReport(name, header, scanner.finish(), out);
        if (status != kInfoUnreadable) {
            status = std::max(status, fileStatus);
        }
    }
    out << std::endl
        << "Built-in tables of retail game codes, which some emulators apply first, are not "
           "taken into account."
        << std::endl;
    return status;
}

}  // namespace tagwright
