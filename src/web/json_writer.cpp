#include "web/json_writer.hpp"

#include <cstdio>

namespace tagwright::web {

void JsonWriter::quoted(std::string_view bytes) {
    text_ += '"';
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
            text_ += c;
        } else {
            char escape[8];
            (void)std::snprintf(escape, sizeof escape, "\\u%04X", b);
            text_ += escape;
        }
    }
    text_ += '"';
}

void JsonWriter::key(std::string_view name) {
    if (needComma_) {
        text_ += ',';
    }
    if (!name.empty()) {
        quoted(name);
        text_ += ':';
    }
    needComma_ = true;
}

JsonWriter& JsonWriter::beginObject(std::string_view name) {
    key(name);
    text_ += '{';
    needComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    text_ += '}';
    needComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::beginArray(std::string_view name) {
    key(name);
    text_ += '[';
    needComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    text_ += ']';
    needComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::field(std::string_view name, std::string_view value) {
    key(name);
    quoted(value);
    return *this;
}

JsonWriter& JsonWriter::field(std::string_view name, std::uint64_t number) {
    key(name);
    text_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::field(std::string_view name, bool value) {
    key(name);
    text_ += value ? "true" : "false";
    return *this;
}

}  // namespace tagwright::web
