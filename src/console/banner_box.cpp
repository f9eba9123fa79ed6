#include "console/banner_box.hpp"

#include "console/console_io.hpp"

namespace tagwright {

void BannerBox::print(std::ostream& out) const {
    static constexpr std::string_view kVersionLabel = "Version: ";
    const auto spare = static_cast<long>(title_.size()) - static_cast<long>(version_.size()) -
                       static_cast<long>(kVersionLabel.size());
    const std::string fill(spare > 0 ? static_cast<std::size_t>(spare / 2) : 0, '~');
    writeLine(out, std::string(title_.size() + 2, '#'));
    writeLine(out, "#" + title_ + "#");
    writeLine(out, "#" + fill + std::string(kVersionLabel) + version_ + fill + "#");
    writeLine(out, "#" + std::string(title_.size(), '-') + "#");
    writeLine(out, description_);
    writeLine(out);
}

}  // namespace tagwright
