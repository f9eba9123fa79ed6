#include "report/json_writer.hpp"

#include "image/utf8_text.hpp"

namespace tagwright {

std::string jsonQuoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted = "\"";
    quoted.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t codePoint = 0;
        const std::size_t length = utf8SequenceAt(text, i, codePoint);
        if (length == 0) {
            quoted += "\\ufffd";
            ++i;
            continue;
        }
        switch (codePoint) {
            case '"': quoted += "\\\""; break;
            case '\\': quoted += "\\\\"; break;
            case 0x08: quoted += "\\b"; break;
            case 0x09: quoted += "\\t"; break;
            case 0x0A: quoted += "\\n"; break;
            case 0x0C: quoted += "\\f"; break;
            case 0x0D: quoted += "\\r"; break;
            default:
                if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F)) {
                    quoted += "\\u00";
                    quoted.push_back(kHex[codePoint >> 4]);
                    quoted.push_back(kHex[codePoint & 0x0Fu]);
                } else {
                    quoted.append(text.substr(i, length));
                }
        }
        i += length;
    }
    quoted.push_back('"');
    return quoted;
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!empty_.empty()) {
        if (!empty_.back()) {
            text_.push_back(',');
        }
        empty_.back() = false;
    }
}

JsonWriter& JsonWriter::beginObject() {
    beforeValue();
    text_.push_back('{');
    empty_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    text_.push_back('}');
    empty_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    beforeValue();
    text_.push_back('[');
    empty_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    text_.push_back(']');
    empty_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    beforeValue();
    text_ += jsonQuoted(name);
    text_.push_back(':');
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::string(std::string_view text) {
    beforeValue();
    text_ += jsonQuoted(text);
    return *this;
}

JsonWriter& JsonWriter::number(std::uint64_t value) {
    beforeValue();
    text_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
    beforeValue();
    text_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null() {
    beforeValue();
    text_ += "null";
    return *this;
}

}  // namespace tagwright
