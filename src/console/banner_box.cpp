#include "console/banner_box.hpp"

#include <string_view>

#include "console/console_io.hpp"

namespace tagwright {

namespace {

// "#" + inner + "#", built by appending: the same expression written with operator+
// on temporaries trips a false -Wrestrict in GCC 12's optimised builds.
std::string framed(std::string_view inner) {
    std::string line;
    line.reserve(inner.size() + 2);
    line += '#';
    line += inner;
    line += '#';
    return line;
}

}  // namespace

void BannerBox::print(std::ostream& out) const {
    static constexpr std::string_view kVersionLabel = "Version: ";
    const auto spare = static_cast<long>(title_.size()) - static_cast<long>(version_.size()) -
                       static_cast<long>(kVersionLabel.size());
    const std::string fill(spare > 0 ? static_cast<std::size_t>(spare / 2) : 0, '~');
    writeLine(out, std::string(title_.size() + 2, '#'));
    std::string versionLine = fill;
    versionLine += kVersionLabel;
    versionLine += version_;
    versionLine += fill;
    writeLine(out, framed(title_));
    writeLine(out, framed(versionLine));
    writeLine(out, framed(std::string(title_.size(), '-')));
    writeLine(out, description_);
    writeLine(out);
}

}  // namespace tagwright
