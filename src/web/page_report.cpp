#include "web/page_report.hpp"

#include <algorithm>

#include "readers/image_facts.hpp"
#include "report/file_report.hpp"
#include "report/json_report.hpp"
#include "report/json_writer.hpp"
#include "report/outcome_groups.hpp"

namespace tagwright::web {

namespace {

// The output the commands a report suggests are judged under, as for --info.
constexpr const char* kCommandOutput = "rompatched.gba";

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

std::string pageReport(std::span<const std::uint8_t> bytes, std::uint64_t fill,
                       const std::string& name, Commands commands) {
    // In pieces, as a file is read: the browser compiles a function for speed only
    // after it has run a while, and a piece at a time lets the scan reach that code.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    ImageScanner scanner(name, bytes.size() + fill);
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        scanner.feed(bytes.subspan(at, std::min(kPiece, bytes.size() - at)));
    }
    scanner.feedFill(fill);
    FileReport report = reportOf(scanner.finish());
    if (commands == Commands::Find && report.verdict.needsCommand()) {
        // Asked for files opened, which have no fill.
        findCommands(report.verdict, report.facts, bytes, kCommandOutput);
    }
    return "{\"report\":" + jsonReport(report) + ",\"groups\":" + groupsJson(report) + "}";
}

}  // namespace tagwright::web
