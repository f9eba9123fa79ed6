#include "console/text_menu.hpp"

#include <algorithm>

#include "console/console_io.hpp"

namespace tagwright {

TextMenu::TextMenu(std::int32_t itemCount)
    : itemCount_(std::max(itemCount, std::int32_t{0})),
      items_(static_cast<std::size_t>(itemCount_) + 1) {
    items_.back() = "Quit.";
}

void TextMenu::setItem(std::string text, std::int32_t n) {
    if (n >= 1 && n <= closingItemNumber()) {
        items_[static_cast<std::size_t>(n - 1)] = std::move(text);
    }
}

std::int32_t TextMenu::run(std::istream& in, std::ostream& out) {
    lastChoice = 0;
    const std::string border(title_.size() + 2, '#');
    const std::string rule(title_.size() + 2, '-');
    writeLine(out, border);
    writeLine(out, "#" + title_ + "#");
    writeLine(out, rule);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        writeLine(out, "# " + std::to_string(i + 1) + " - " + items_[i]);
    }
    writeLine(out, rule);
    out << "Enter Selection:";
    const bool read = readInteger(lastChoice, in, out);
    writeLine(out);
    sessionEnded_ = (!read && endOfInput(in)) || !out;
    return lastChoice;
}

}  // namespace tagwright
