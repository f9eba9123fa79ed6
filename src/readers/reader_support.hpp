// Small pieces the reader units share: the four save types a string can name, a set
// of them settled by a priority order, and the file's name and game code as the
// readers take them.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "image/save_library.hpp"
#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"

namespace tagwright {

// The four save types a string can name: the library's kinds (image/save_library.hpp).
using StringType = library::Kind;

// "EEPROM", "SRAM", "FLASH64K", "FLASH128K".
std::string_view wordOf(StringType type);

class TypeSet {
  public:
    void add(StringType type) { present_[static_cast<std::size_t>(type)] = true; }
    void add(const TypeSet& other);
    bool has(StringType type) const { return present_[static_cast<std::size_t>(type)]; }
    bool empty() const;
    int count() const;
    // The first type of `order` in the set.
    std::optional<StringType> firstOf(std::initializer_list<StringType> order) const;

  private:
    std::array<bool, 4> present_{};
};

// The marks by which one reader knows each save type, as bit sets of Mark in the order
// of StringType: a place names a type when it holds any of that type's marks.
using TypeMarks = std::array<std::uint32_t, 4>;

constexpr std::uint32_t markBits(std::initializer_list<Mark> marks) {
    std::uint32_t bits = 0;
    for (const Mark mark : marks) {
        bits |= 1u << static_cast<unsigned>(mark);
    }
    return bits;
}

// EEPROM_V; SRAM_V; FLASH_V or FLASH512_V; FLASH1M_V (SRAM_F_V is not SRAM_V).
inline constexpr TypeMarks kLibraryMarks = {
    markBits({Mark::EepromV}), markBits({Mark::SramV}),
    markBits({Mark::FlashV, Mark::Flash512V}), markBits({Mark::Flash1MV})};
// EEPROM_; SRAM_ (SRAM_F_ included); FLASH_ or FLASH512_; FLASH1M_.
inline constexpr TypeMarks kUnderscoreMarks = {
    markBits({Mark::EepromUnderscore}), markBits({Mark::SramUnderscore}),
    markBits({Mark::FlashUnderscore, Mark::Flash512Underscore}),
    markBits({Mark::Flash1MUnderscore})};

// The types the place names to a reader that knows them by `marks`.
TypeSet typesNamedAt(const StringPlace& place, const TypeMarks& marks);

// The name without any directory part.
std::string_view baseName(std::string_view name);
// The 4-byte game code cut at its first zero byte, as C strings compare it.
std::string_view codeAsCString(const ImageFacts& facts);

// "its table gives FLASH128K for code AXVE", "no string it reads", ...
std::string tableReason(std::string_view code);
std::string sizeReason(std::string_view limit);

// A string reader's result: the type the strings settle, with a reason when more than
// one type was seen, or `fallback` (an outcome word) when none was.
ReaderResult stringResult(std::optional<StringType> type, const TypeSet& seen,
                          std::string_view fallback);
// A reader's result from one of its tables.
ReaderResult tableResult(std::string_view word, std::string_view code);

}  // namespace tagwright
