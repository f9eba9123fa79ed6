#include "report/json_report.hpp"

#include "image/utf8_text.hpp"

#include "readers/string_reading.hpp"
#include "report/json_writer.hpp"
#include "report/name_remedy.hpp"
#include "report/text_report.hpp"
#include "report/type_asked.hpp"
#include "report/type_needed.hpp"

namespace tagwright {

namespace {

void writeName(JsonWriter& json, const std::string& name) {
    json.key("file").string(name);
    if (!isValidUtf8(name)) {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string bytes;
        for (const char c : name) {
            const auto b = static_cast<unsigned char>(c);
            bytes.push_back(kHex[b >> 4]);
            bytes.push_back(kHex[b & 0x0Fu]);
        }
        json.key("file_hex").string(bytes);
    }
}

void writeHeader(JsonWriter& json, const HeaderFacts& h) {
    json.key("header").beginObject();
    json.key("complete").boolean(h.complete);
    json.key("title").string(h.title);
    json.key("game_code").string(h.gameCode);
    json.key("maker_code").string(h.makerCode);
    json.key("version").number(h.version);
    json.key("logo_ok").boolean(h.logoOk);
    json.key("fixed_value").number(h.fixedValue);
    json.key("fixed_ok").boolean(h.fixedOk());
    json.key("complement").number(h.storedCheck);
    json.key("complement_expected").number(h.computedCheck);
    json.key("complement_ok").boolean(h.checkOk());
    json.key("starts").boolean(h.starts());
    json.endObject();
}

void writeReader(JsonWriter& json, const ReaderResult& r) {
    json.beginObject();
    json.key("id").string(r.id);
    json.key("name").string(r.name);
    json.key("outcome").string(saveKindWord(r.outcome));
    json.key("bytes");
    if (r.bytes) {
        json.number(*r.bytes);
    } else {
        json.null();
    }
    json.key("decided_by").string(decidedByWord(r.decidedBy));
    json.key("fallback").boolean(r.fallback);
    json.key("reads_strings").boolean(r.readsStrings);
    json.key("tag_can_change").boolean(r.tagCanChange);
    json.key("reason").string(r.reason);
    json.endObject();
}

void optionalNumber(JsonWriter& json, const char* key, std::optional<std::uint32_t> value) {
    json.key(key);
    if (value) {
        json.number(*value);
    } else {
        json.null();
    }
}

void writeNeeds(JsonWriter& json, const GameNeeds& needs) {
    json.key("needs").beginObject();
    json.key("outcome").string(saveMemoryWord(needs.outcome));
    optionalNumber(json, "bytes", needs.bytes);
    json.key("by");
    if (needs.outcome == SaveMemory::Unknown) {
        json.null();
    } else {
        json.string(needSourceWord(needs.by));
    }
    const auto type = typeNeeded(needs);
    optionalNumber(json, "type",
                   type ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*type))
                        : std::nullopt);
    json.key("trial").string(needs.trialRun          ? "run"
                             : needs.trialAvailable ? "not needed"
                                                    : "not in this build");
    json.key("evidence").beginArray();
    for (const NeedEvidence& item : needs.evidence) {
        json.beginObject();
        json.key("source").string(needSourceWord(item.source));
        json.key("memory").string(saveMemoryWord(item.memory));
        optionalNumber(json, "bytes", item.bytes);
        json.key("sureness").string(surenessWord(item.sureness));
        json.key("what").string(item.what);
        json.key("detail").string(item.detail);
        optionalNumber(json, "rom_offset", item.romOffset);
        optionalNumber(json, "frame", item.frame);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

void writeVerdict(JsonWriter& json, const FileReport& report) {
    const Verdict& v = report.verdict;
    json.key("verdict").beginObject();
    json.key("ok").boolean(v.ok());
    json.key("asked").beginArray();
    for (const SaveType type : v.asked) {
        json.beginObject();
        json.key("type").number(static_cast<std::uint64_t>(type));
        json.key("text").string(typeAskedText(type));
        json.endObject();
    }
    json.endArray();
    json.key("needed");
    if (v.needed) {
        json.beginObject();
        json.key("type").number(static_cast<std::uint64_t>(*v.needed));
        json.key("text").string(typeAskedText(*v.needed));
        json.endObject();
    } else {
        json.null();
    }
    json.key("disagreeing").beginArray();
    for (const std::size_t i : v.disagreeing) {
        json.string(report.results[i].id);
    }
    json.endArray();
    json.key("commands").beginArray();
    for (const auto& [type, command] : v.commands) {
        json.beginObject();
        json.key("type").number(static_cast<std::uint64_t>(type));
        if (command) {
            json.key("options").string(command->options());
            const std::string name =
                v.rename.empty() ? report.facts.name : renamedPath(report.facts.name, v.rename);
            json.key("command").string("tagwright " + shellWord(name) + ' ' + command->options());
            json.key("needs_text_header").boolean(command->needsTextHeader);
        } else {
            json.key("options").null();
            json.key("command").null();
            json.key("needs_text_header").boolean(false);
        }
        json.endObject();
    }
    json.endArray();
    if (v.rename.empty()) {
        json.key("rename").null();
    } else {
        json.key("rename").string(v.rename);
    }
    json.endObject();
}

}  // namespace

std::string jsonReport(const FileReport& report) {
    JsonWriter json;
    json.beginObject();
    writeName(json, report.facts.name);
    json.key("size").number(report.facts.size);
    writeHeader(json, report.header);
    writeNeeds(json, report.needs);
    json.key("strings").beginArray();
    for (const StringPlace& place : report.facts.places) {
        if (isSaveTypeString(place)) {
            json.beginObject();
            json.key("offset").number(place.offset);
            json.key("text").string(place.text);
            json.key("aligned").boolean(place.aligned());
            json.endObject();
        }
    }
    json.endArray();
    json.key("readers").beginArray();
    for (const ReaderResult& result : report.results) {
        writeReader(json, result);
    }
    json.endArray();
    writeVerdict(json, report);
    json.endObject();
    return json.text();
}

std::string jsonUnreadable(const std::string& name, const std::string& problem,
                           const char* archive) {
    JsonWriter json;
    json.beginObject();
    writeName(json, name);
    if (archive != nullptr) {
        json.key("archive").string(archive);
    }
    json.key("error").string(problem);
    json.endObject();
    return json.text();
}

}  // namespace tagwright
