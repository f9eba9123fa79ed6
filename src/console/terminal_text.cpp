#include "console/terminal_text.hpp"

#include <cstdint>

#include "image/utf8_text.hpp"

namespace tagwright {

namespace {

void escapeByte(std::uint8_t b, std::string& shown) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    switch (b) {
        case 0x1B: shown += "\\e"; break;
        case 0x0A: shown += "\\n"; break;
        case 0x0D: shown += "\\r"; break;
        case 0x09: shown += "\\t"; break;
        default:
            shown += "\\x";
            shown.push_back(kHex[b >> 4]);
            shown.push_back(kHex[b & 0x0F]);
    }
}

}  // namespace

std::string terminalSafe(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b < 0x80) {
            if (b < 0x20 || b == 0x7F) {
                escapeByte(b, shown);
            } else {
                shown.push_back(text[i]);
            }
            ++i;
            continue;
        }
        std::uint32_t codePoint = 0;
        const std::size_t length = utf8SequenceAt(text, i, codePoint);
        if (length == 0) {
            if (b <= 0x9F) {
                escapeByte(b, shown);
            } else {
                shown.push_back(text[i]);
            }
            ++i;
        } else if (codePoint <= 0x9F) {
            escapeByte(0xC2, shown);
            escapeByte(static_cast<std::uint8_t>(codePoint), shown);
            i += length;
        } else {
            shown.append(text.substr(i, length));
            i += length;
        }
    }
    return shown;
}

}  // namespace tagwright
