#include "app/info_report.hpp"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "image/archive_magic.hpp"
#include "image/file_layer.hpp"
#include "image/rom_image.hpp"
#include "image/rom_input.hpp"
#include "needs/code_prescan.hpp"
#include "needs/game_needs.hpp"
#include "needs/trial_run.hpp"
#include "readers/image_facts.hpp"
#include "readers/judgement.hpp"
#include "report/file_report.hpp"
#include "report/json_report.hpp"
#include "report/name_remedy.hpp"
#include "report/text_report.hpp"

namespace tagwright {

namespace {

constexpr std::size_t kScanBlock = std::size_t{1} << 17;
constexpr std::size_t kScanPiece = std::size_t{1} << 14;

struct ReadFile {
    const char* problem = nullptr;
    std::optional<ArchiveKind> archive;  // read, but an archive: not reported as a ROM
    std::optional<ImageFacts> facts;
    std::span<const std::uint8_t> bytes;  // the whole file, for the judgement of its code
    CodePrescan prescan;                  // over `bytes`, made as they were read
};

// Reads the whole file into `buffer`, scanning each part as it arrives.
ReadFile readFile(const std::string& name, files::ReadBuffer& buffer) {
    ReadFile read;
    const auto measured = files::measure(name);
    if (!measured) {
        read.problem = kCannotOpenRom;
        return read;
    }
    if (measured->size > kLargestRom) {
        read.problem = kRomTooLarge;
        return read;
    }
    const auto bytes = buffer.take(static_cast<std::size_t>(measured->size));
    // With the CRC a repaired header needs: the commands looked for below repair it.
    ImageScanner scanner(name, measured->size, /*repairedToo=*/true);
    const auto scan = [&](std::span<const std::uint8_t> part) {
        for (std::size_t at = 0; at < part.size(); at += kScanPiece) {
            const auto piece = part.subspan(at, std::min(kScanPiece, part.size() - at));
            scanner.feed(piece);
            read.prescan.advance(bytes.first(static_cast<std::size_t>(piece.data() + piece.size() - bytes.data())));
        }
    };
    switch (files::readWhole(name, *measured, bytes, nullptr, scan, kScanBlock)) {
        case files::ReadOutcome::CannotOpen:
            read.problem = kCannotOpenRom;
            return read;
        case files::ReadOutcome::Changed:
            read.problem = kCannotReadRom;
            return read;
        case files::ReadOutcome::Read:
            break;
    }
    read.bytes = bytes;
    read.prescan.finish(bytes);
    read.archive = archiveKindOf(bytes.first(std::min(bytes.size(), kArchiveMagicLength)));
    read.facts = scanner.finish();
    return read;
}

// Looks for the commands that mend the file, tried on the bytes already read: only
// files whose readers disagree need them. Commands are judged under the file's own
// name, as --in-place writes it; when a reader refuses that name, under the name to
// rename it to, and none is looked for when the file renamed is all it needs.
void findCommandsFor(FileReport& report, std::span<const std::uint8_t> bytes) {
    if (!report.verdict.needsCommand() ||
        report.facts.size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return;
    }
    std::string judgedName = files::storedName(report.facts.name);
    if (anyRefusesName(report.results, report.verdict.disagreeing) &&
        !judgedName.ends_with(nameReadersOpen(judgedName))) {
        report.verdict.rename = nameReadersOpen(judgedName);
        judgedName = report.verdict.rename;
        ImageFacts renamed = report.facts;
        renamed.name = judgedName;
        const auto results = judgeImage(renamed);
        if (!verdictOf(report.header, renamed, results).needsCommand()) {
            return;
        }
    }
    findCommands(report.verdict, report.facts, bytes, judgedName);
}

}  // namespace

int infoMode(std::span<const std::string> names, InfoFormat format, std::ostream& out) {
    // Made for the largest cartridge at once: growing it file by file would touch every
    // size on the way (1 + 2 + 4 + 8 + 16 MiB for a 16 MiB ROM).
    files::ReadBuffer buffer(kMaxRomSize);
    int status = kInfoAllGood;
    bool firstFile = true;
    for (const std::string& name : names) {
        if (!out) {
            return status;  // nobody reads the report any more: the rest is not read
        }
        if (!firstFile && format == InfoFormat::Text) {
            out << '\n';
        }
        firstFile = false;
        ReadFile read = readFile(name, buffer);
        if (read.problem == nullptr && read.archive) {
            const std::string refusal = archiveRefusal(*read.archive);
            if (format == InfoFormat::Json) {
                out << jsonUnreadable(name, refusal, archiveWord(*read.archive)) << std::endl;
            } else {
                printUnreadable(name, refusal, out);
            }
            status = std::max(status, kInfoFallsShort);
            continue;
        }
        if (read.problem != nullptr) {
            if (format == InfoFormat::Json) {
                out << jsonUnreadable(name, read.problem) << std::endl;
            } else {
                printUnreadable(name, read.problem, out);
            }
            status = kInfoUnreadable;
            continue;
        }
        GameNeeds needs = judgeGameNeeds(read.bytes, trialRunner(), read.prescan);
        FileReport report = reportOf(std::move(*read.facts), std::move(needs));
        try {
            findCommandsFor(report, read.bytes);
        } catch (const std::bad_alloc&) {
            report.verdict.commands.clear();  // no room to try commands: none named
        }
        if (format == InfoFormat::Json) {
            out << jsonReport(report) << std::endl;
        } else {
            printTextReport(report, out);
        }
        status = std::max(status, report.status());
    }
    return status;
}

}  // namespace tagwright
