#include "console/terminal_text.hpp"

namespace tagwright {

std::string terminalSafe(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F) {
            shown.push_back(c);
            continue;
        }
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
    return shown;
}

}  // namespace tagwright
