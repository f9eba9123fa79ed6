#include "web/page_report.hpp"

#include <algorithm>
#include <optional>
#include <string_view>

#include "needs/game_needs.hpp"
#include "readers/image_facts.hpp"
#include "report/file_report.hpp"
#include "report/json_report.hpp"
#include "report/json_writer.hpp"
#include "report/outcome_groups.hpp"
#include "report/type_asked.hpp"
#include "report/type_needed.hpp"

namespace tagwright::web {

namespace {

// The output the commands a report suggests are judged under, as for --info.
constexpr const char* kCommandOutput = "rompatched.gba";

// Each save type's memory, as a reader giving exactly it would state it.
struct TypeMemory {
    SaveType type;
    SaveKind kind;
    std::uint32_t bytes;
};
constexpr TypeMemory kTypeMemory[] = {
    {SaveType::Eeprom64k, SaveKind::Eeprom, 512},  {SaveType::Eeprom128k, SaveKind::Eeprom, 8192},
    {SaveType::Flash1M, SaveKind::Flash, 131072},  {SaveType::Flash512k, SaveKind::Flash, 65536},
    {SaveType::Sram256k, SaveKind::Sram, 32768},   {SaveType::Sram512k, SaveKind::Sram, 65536},
};

// Where people play each reader (page_report.hpp); readers not listed: computers and phones.
struct ReaderPlace {
    std::string_view id;
    const char* place;
};
constexpr const char* kComputers = "computers and phones";
constexpr ReaderPlace kPlaces[] = {
    {"noods", "DS and 3DS"},          {"desmume", "DS and 3DS"},
    {"open-agb-firm", "DS and 3DS"},  {"gbarunner2", "DS and 3DS"},
    {"gbarunner3", "DS and 3DS"},     {"twilight-slot2", "DS and 3DS"},
    {"ezflash-omega", "flash carts and FPGA"}, {"mister", "flash carts and FPGA"},
    {"pocket", "flash carts and FPGA"},
};

const char* placeOf(std::string_view id) {
    for (const ReaderPlace& entry : kPlaces) {
        if (entry.id == id) {
            return entry.place;
        }
    }
    return kComputers;
}

std::string readersJson(const FileReport& report) {
    JsonWriter json;
    json.beginArray();
    for (const ReaderResult& result : report.results) {
        json.beginObject()
            .key("id").string(result.id)
            .key("place").string(placeOf(result.id))
            .key("outcome").string(outcomeText(result))
            .key("note").string(readerNote(result))
            .key("gives").beginArray();
        for (const TypeMemory& memory : kTypeMemory) {
            if (givesTypeAsked(result, memory.type)) {
                json.number(static_cast<std::uint64_t>(memory.type));
            }
        }
        json.endArray().endObject();
    }
    return json.endArray().text();
}

// The game's needs, with the type the command line's --fix writes for them and the
// memory in the readers' words ("SRAM 32 KiB").
std::string needsJson(std::span<const std::uint8_t> rom) {
    const GameNeeds needs = judgeGameCode(rom);
    const std::optional<SaveType> type = typeNeeded(needs);
    std::string memory;
    if (type) {
        ReaderResult exactly;
        exactly.outcome = needs.outcome == SaveMemory::Sram    ? SaveKind::Sram
                          : needs.outcome == SaveMemory::Flash ? SaveKind::Flash
                                                               : SaveKind::Eeprom;
        exactly.bytes = needs.bytes;
        memory = outcomeText(exactly);
    }
    std::string why;
    if (!needs.evidence.empty()) {
        why = needs.evidence.front().what;
    }
    JsonWriter json;
    json.beginObject().key("outcome").string(saveMemoryWord(needs.outcome)).key("bytes");
    if (needs.bytes) {
        json.number(*needs.bytes);
    } else {
        json.null();
    }
    json.key("type");
    if (type) {
        json.number(static_cast<std::uint64_t>(*type));
    } else {
        json.null();
    }
    return json.key("memory").string(memory).key("why").string(why).endObject().text();
}

std::string groupsJson(const FileReport& report) {
    JsonWriter json;
    json.beginArray();
    for (const OutcomeGroup& group : groupByOutcome(report.results)) {
        json.beginObject().key("outcome").string(group.outcome).key("readers").beginArray();
        for (const std::size_t index : group.members) {
            const ReaderResult& result = report.results[index];
            json.beginObject()
                .key("id").string(result.id)
                .key("name").string(result.name)
                .key("note").string(readerNote(result))
                .endObject();
        }
        json.endArray().endObject();
    }
    return json.endArray().text();
}

}  // namespace

std::string saveTypeMemory(SaveType type) {
    ReaderResult exactly;
    for (const TypeMemory& entry : kTypeMemory) {
        if (entry.type == type) {
            exactly.outcome = entry.kind;
            exactly.bytes = entry.bytes;
        }
    }
    return outcomeText(exactly);
}

std::string pageReport(std::span<const std::uint8_t> bytes, std::uint64_t fill,
                       const std::string& name, Commands commands) {
    // In pieces, as a file is read: the browser compiles a function for speed only
    // after it has run a while, and a piece at a time lets the scan reach that code.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    // With the CRC a repaired header needs when commands are looked for: they repair it.
    ImageScanner scanner(name, bytes.size() + fill, commands == Commands::Find);
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        scanner.feed(bytes.subspan(at, std::min(kPiece, bytes.size() - at)));
    }
    scanner.feedFill(fill);
    FileReport report = reportOf(scanner.finish());
    if (commands == Commands::Find && report.verdict.needsCommand()) {
        // Asked for files opened, which have no fill.
        findCommands(report.verdict, report.facts, bytes, kCommandOutput);
    }
    std::string page = "{\"report\":" + jsonReport(report) + ",\"groups\":" + groupsJson(report) +
                       ",\"readers\":" + readersJson(report);
    if (commands == Commands::Find) {
        page += ",\"needs\":" + needsJson(bytes);
    }
    return page + "}";
}

}  // namespace tagwright::web
