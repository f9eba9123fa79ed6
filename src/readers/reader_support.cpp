#include "readers/reader_support.hpp"

#include <algorithm>

namespace tagwright {

std::string_view wordOf(StringType type) {
    switch (type) {
        case StringType::Eeprom:
            return "EEPROM";
        case StringType::Sram:
            return "SRAM";
        case StringType::Flash64k:
            return "FLASH64K";
        case StringType::Flash128k:
            break;
    }
    return "FLASH128K";
}

void TypeSet::add(const TypeSet& other) {
    for (std::size_t i = 0; i < present_.size(); ++i) {
        present_[i] = present_[i] || other.present_[i];
    }
}

bool TypeSet::empty() const { return count() == 0; }

int TypeSet::count() const {
    return static_cast<int>(std::count(present_.begin(), present_.end(), true));
}

std::optional<StringType> TypeSet::firstOf(std::initializer_list<StringType> order) const {
    for (const StringType type : order) {
        if (has(type)) {
            return type;
        }
    }
    return std::nullopt;
}

TypeSet typesNamedAt(const StringPlace& place, const TypeMarks& marks) {
    TypeSet named;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if ((place.marks & marks[i]) != 0) {
            named.add(static_cast<StringType>(i));
        }
    }
    return named;
}

std::string_view baseName(std::string_view name) {
    const auto slash = name.find_last_of("/\\");
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string_view codeAsCString(const ImageFacts& facts) {
    const std::string_view code = facts.gameCode();
    return code.substr(0, std::min(code.find('\0'), code.size()));
}

namespace {

std::string printable(std::string_view code) {
    std::string out;
    for (const char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x21 && byte <= 0x7E) {
            out.push_back(c);
        } else {
            out += '?';
        }
    }
    return out;
}

}  // namespace

std::string tableReason(std::string_view code) {
    return "its list of games decides for code " + printable(code);
}

std::string sizeReason(std::string_view limit) { return "it refuses files " + std::string(limit); }

ReaderResult stringResult(std::optional<StringType> type, const TypeSet& seen,
                          std::string_view fallback) {
    if (!type) {
        return resultOf(fallback, DecidedBy::Default, "it finds no string it reads");
    }
    return resultOf(wordOf(*type), DecidedBy::String,
                    seen.count() > 1 ? "it settles strings of several types its own way" : "");
}

ReaderResult tableResult(std::string_view word, std::string_view code) {
    return resultOf(word, DecidedBy::Table, tableReason(code));
}

}  // namespace tagwright
