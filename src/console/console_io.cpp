#include "console/console_io.hpp"

#include <limits>

namespace tagwright {

void writeLine(std::ostream& out, std::string_view text) {
    out << text << std::endl;
}

bool readWord(std::string& target, std::istream& in, std::ostream& out) {
    out.flush();
    std::string word;
    if (!(in >> word)) {
        return false;
    }
    target = std::move(word);
    return true;
}

bool readInteger(std::int32_t& target, std::istream& in, std::ostream& out) {
    out.flush();
    std::int32_t value = 0;
    if (in >> value) {
        target = value;
        return true;
    }
    if (!endOfInput(in)) {
        in.clear();
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return false;
}

bool endOfInput(const std::istream& in) {
    return in.eof() || in.bad();
}

}  // namespace tagwright
