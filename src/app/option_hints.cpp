#include "app/option_hints.hpp"

#include <algorithm>
#include <vector>

namespace tagwright {

namespace {

constexpr std::string_view kLetters = "cemoprstv";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Edits (insert, delete, replace) between two words, letters compared in lower case.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t same = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + same});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::optional<std::string> nearestSpelling(std::string_view argument) {
    if (argument.size() < 2 || (argument[0] != '-' && argument[0] != '/')) {
        return std::nullopt;
    }
    const char letter = argument[1];
    if (letter != lower(letter) && kLetters.find(lower(letter)) != std::string_view::npos) {
        std::string spelled(argument);
        spelled[1] = lower(letter);
        return spelled;
    }
    if (argument.size() == 2 && (lower(letter) == 'h' || letter == '?')) {
        return std::string(kLongOptions[0]);
    }
    if (argument.size() < 4) {
        return std::nullopt;
    }
    std::optional<std::string> best;
    std::size_t bestDistance = 3;
    for (const std::string_view option : kLongOptions) {
        const std::size_t distance = editDistance(argument, option);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = std::string(option);
        }
    }
    return best;
}

}  // namespace tagwright
