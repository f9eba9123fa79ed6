#include "app/version_number.hpp"

#include <cstddef>

namespace tagwright {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value of c as a digit, or a value above any base when c is not a digit.
unsigned digitValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<unsigned>(c - 'a') + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<unsigned>(c - 'A') + 10;
    }
    return 99;
}

}  // namespace

std::uint32_t parseVersionNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (text.substr(i, 1) == "0") {
        const bool hexPrefix = i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
                               digitValue(text[i + 2]) < 16;
        base = hexPrefix ? 16 : 8;
        i += hexPrefix ? 2 : 0;
    }
    constexpr std::uint64_t kMax = 0xFFFFFFFFu;
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && digitValue(text[i]) < base; ++i) {
        if (!overflow) {
            value = value * base + digitValue(text[i]);
            overflow = value > kMax;
        }
    }
    if (overflow) {
        return static_cast<std::uint32_t>(kMax);
    }
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? 0u - result : result;
}

}  // namespace tagwright
