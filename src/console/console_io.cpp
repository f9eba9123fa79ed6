#include "console/console_io.hpp"

#include <limits>
#include <locale>

namespace tagwright {

void writeLine(std::ostream& out, std::string_view text) {
    out << text << std::endl;
}

bool readWord(std::string& target, std::istream& in, std::ostream& out) {
    out.flush();
    // As `in >> word`, but only the first kMaxWordLength bytes are kept.
    const std::istream::sentry skipWhitespace(in);
    if (!skipWhitespace) {
        return false;
    }
    std::string word;
    std::streambuf& source = *in.rdbuf();
    const auto& ctype = std::use_facet<std::ctype<char>>(in.getloc());
    for (;;) {
        const auto next = source.sgetc();
        if (std::char_traits<char>::eq_int_type(next, std::char_traits<char>::eof())) {
            in.setstate(std::ios::eofbit);
            break;
        }
        const char c = std::char_traits<char>::to_char_type(next);
        if (ctype.is(std::ctype_base::space, c)) {
            break;
        }
        if (word.size() < kMaxWordLength) {
            word.push_back(c);
        }
        source.sbumpc();
    }
    if (word.empty()) {
        in.setstate(std::ios::failbit);
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
