#include "report/json_writer.hpp"

namespace tagwright {

namespace {

// Length of the valid UTF-8 sequence at text[i] and its code point, or 0 when the byte
// there starts none.
std::size_t sequenceAt(std::string_view text, std::size_t i, std::uint32_t& codePoint) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - i < length) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) {
            return 0;
        }
        codePoint = codePoint << 6 | (byte(i + k) & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    std::uint32_t codePoint = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceAt(text, i, codePoint);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string jsonQuoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted = "\"";
    quoted.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t codePoint = 0;
        const std::size_t length = sequenceAt(text, i, codePoint);
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
