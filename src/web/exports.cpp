// The functions the page calls. The page puts a file's bytes into the buffer
// tw_input() hands out, then asks for reports and patches; results stay here until
// the next call of the same kind. Texts cross as UTF-8, reports as JSON.
//
//   tw_input(size)            a buffer for the file's `size` bytes (null: no memory)
//   tw_report(name)           the report of the input (page_report.hpp)
//   tw_patch(name, type, placement, pad, replace, title, gameCode, makerCode, version)
//                             patches the input into the file `name` (patch_request.hpp):
//                             placement 0 append,
//                             1 embed, 2 automatic; null texts and version -1 leave the
//                             field. Returns {"written":true,"size":n,"embeddedAt":n (only
//                             when embedded),"padded":bool,"replaced":[{"offset":n,
//                             "oldText":text,"newText":text,"fits":bool},...],"warning":text,"codeDisagrees":bool} or
//                             {"written":false,"problem":text}
//   tw_output(), tw_output_size()   the patched file's bytes
//   tw_crc32(which)           the CRC-32 (as zip computes it) of the input (0) or of
//                             the patched file (1): checks a file unpacked from a zip,
//                             and goes into the zip the page writes
//   tw_output_report(name)    the report of the patched file, without commands
//   tw_save_types()           [{"number": 1, "tag": "EEPROM_V120", "memory": "EEPROM 512 B",
//                             "asked": "EEPROM"}, ...]: each type's tag text, the memory
//                             it asks for, and what a reader must give to agree with it
//                             (report/type_asked.hpp)
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "readers/crc32.hpp"
#include "report/json_writer.hpp"
#include "report/type_asked.hpp"
#include "web/page_report.hpp"
#include "web/patch_request.hpp"

namespace {

struct FreeDeleter {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};
// Not a vector: the page fills every byte, so zero-filling it first would be wasted.
std::unique_ptr<std::uint8_t[], FreeDeleter> input;
std::uint32_t inputSize = 0;
tagwright::web::PatchResult output;
std::string lastText;

std::span<const std::uint8_t> inputBytes() { return {input.get(), inputSize}; }

const char* keep(std::string text) {
    lastText = std::move(text);
    return lastText.c_str();
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE std::uint8_t* tw_input(std::uint32_t size) {
    output = {};
    input.reset(static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size)));
    inputSize = input ? size : 0;
    return input.get();
}

EMSCRIPTEN_KEEPALIVE const char* tw_report(const char* name) {
    return keep(tagwright::web::pageReport(inputBytes(), 0, name, tagwright::web::Commands::Find));
}

EMSCRIPTEN_KEEPALIVE const char* tw_patch(const char* name, int type, int placement, int pad, int replace,
                                          const char* title,
                                          const char* gameCode, const char* makerCode,
                                          int version) {
    using namespace tagwright::web;
    PatchRequest request;
    request.outputName = name;
    request.type = tagwright::saveTypeFromNumber(type).value_or(tagwright::SaveType::Sram512k);
    request.placement = placement == 0   ? Placement::Append
                        : placement == 1 ? Placement::Embed
                                         : Placement::Automatic;
    request.pad = pad != 0;
    request.replaceStrings = replace != 0;
    if (title != nullptr) {
        request.title = title;
    }
    if (gameCode != nullptr) {
        request.gameCode = gameCode;
    }
    if (makerCode != nullptr) {
        request.makerCode = makerCode;
    }
    if (version >= 0) {
        request.version = static_cast<std::uint8_t>(version);
    }
    output = patchImage(inputBytes(), request);
    tagwright::JsonWriter json;
    json.beginObject().key("written").boolean(output.written);
    if (output.written) {
        json.key("size").number(output.bytes.size()).key("padded").boolean(output.padded);
        if (output.embeddedAt) {
            json.key("embeddedAt").number(*output.embeddedAt);
        }
        json.key("replaced").beginArray();
        for (const auto& change : output.replaced) {
            json.beginObject()
                .key("offset").number(change.offset)
                .key("oldText").string(change.oldText)
                .key("newText").string(change.newText)
                .key("fits").boolean(change.fits)
                .endObject();
        }
        json.endArray().key("warning").string(output.warning);
        json.key("codeDisagrees").boolean(output.codeDisagrees);
    } else {
        json.key("problem").string(output.problem);
    }
    return keep(json.endObject().text());
}

EMSCRIPTEN_KEEPALIVE const std::uint8_t* tw_output() { return output.bytes.data(); }

EMSCRIPTEN_KEEPALIVE std::uint32_t tw_output_size() {
    return static_cast<std::uint32_t>(output.bytes.size());
}

EMSCRIPTEN_KEEPALIVE std::uint32_t tw_crc32(int which) {
    tagwright::Crc32 crc;
    if (which == 0) {
        crc.update(inputBytes());
    } else {
        crc.update(std::span<const std::uint8_t>(output.bytes).first(output.bytes.size() - output.fill));
        crc.updateFill(output.fill);
    }
    return crc.value();
}

EMSCRIPTEN_KEEPALIVE const char* tw_output_report(const char* name) {
    return keep(tagwright::web::pageReport(
        std::span<const std::uint8_t>(output.bytes).first(output.bytes.size() - output.fill),
        output.fill, name, tagwright::web::Commands::Omit));
}

EMSCRIPTEN_KEEPALIVE const char* tw_save_types() {
    tagwright::JsonWriter json;
    json.beginArray();
    for (int number = 1; number <= 6; ++number) {
        const tagwright::SaveType type = *tagwright::saveTypeFromNumber(number);
        const auto tag = tagwright::saveTagOf(type);
        const auto end = std::find(tag->begin(), tag->end(), 0);
        json.beginObject()
            .key("number").number(static_cast<std::uint64_t>(number))
            .key("tag").string(std::string_view(reinterpret_cast<const char*>(tag->data()),
                                                static_cast<std::size_t>(end - tag->begin())))
            .key("memory").string(tagwright::web::saveTypeMemory(type))
            .key("asked").string(tagwright::typeAskedText(type))
            .endObject();
    }
    return keep(json.endArray().text());
}

}  // extern "C"
