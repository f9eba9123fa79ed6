#include "web/report_json.hpp"

#include <algorithm>
#include <bit>

#include "image/cartridge_header.hpp"
#include "image/save_readers.hpp"
#include "web/json_writer.hpp"

namespace tagwright::web {

namespace {

template <std::size_t N>
std::string_view fieldText(const std::array<std::uint8_t, N>& bytes, bool stopAtZero) {
    std::size_t length = N;
    if (stopAtZero) {
        length = static_cast<std::size_t>(std::find(bytes.begin(), bytes.end(), 0) - bytes.begin());
    }
    return {reinterpret_cast<const char*>(bytes.data()), length};
}

void writeHeader(JsonWriter& json, std::span<const std::uint8_t> bytes) {
    CartridgeHeader header;
    header.overlay(bytes.first(std::min(bytes.size(), CartridgeHeader::kSize)));
    const bool complete = bytes.size() >= CartridgeHeader::kSize;
    const bool logoOk = header.logo == CartridgeHeader::kLogo;
    const std::uint8_t computed = header.computeComplementCheck();
    json.beginObject("header")
        .field("complete", complete)
        .field("title", fieldText(header.title, true))
        .field("gameCode", fieldText(header.gameCode, false))
        .field("makerCode", fieldText(header.makerCode, false))
        .field("version", std::uint64_t{header.version})
        .field("logoOk", logoOk)
        .field("fixedValue", std::uint64_t{header.fixedValue})
        .field("storedCheck", std::uint64_t{header.complementCheck})
        .field("computedCheck", std::uint64_t{computed})
        .field("starts", complete && logoOk && header.fixedValue == 0x96 &&
                             header.complementCheck == computed)
        .endObject();
}

}  // namespace

std::string reportJson(std::span<const std::uint8_t> bytes, std::string_view name) {
    // In pieces, as a file is read: the browser compiles a function for speed only
    // after it has run a while, and a piece at a time lets the scan reach that code.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    SaveStringScanner scanner;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        scanner.feed(bytes.subspan(at, std::min(kPiece, bytes.size() - at)));
    }
    const SaveStringScan scan = scanner.finish();
    JsonWriter json;
    json.beginObject()
        .field("size", std::uint64_t{scan.fileSize})
        .field("powerOfTwo", std::has_single_bit(scan.fileSize));
    writeHeader(json, bytes);
    json.beginArray("strings");
    for (const SaveStringHit& hit : scan.hits) {
        json.beginObject()
            .field("offset", hit.offset)
            .field("text", std::string_view(hit.text))
            .field("aligned", hit.aligned())
            .endObject();
    }
    json.endArray().field("stringCount", scan.hitCount);
    json.beginArray("readers");
    for (const Reader reader : kReaders) {
        const ReaderView view = readAs(reader, scan, name);
        json.beginObject()
            .field("name", readerName(reader))
            .field("readsStrings", reader != Reader::Mgba)
            .field("outcome", outcomeText(view.outcome))
            .field("reason", view.reason == ReaderReason::Plain ? "" : reasonText(view.reason))
            .endObject();
    }
    json.endArray().endObject();
    return json.text();
}

}  // namespace tagwright::web
