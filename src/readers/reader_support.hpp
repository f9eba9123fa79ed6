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

#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"

namespace tagwright {

enum class StringType : std::uint8_t { Eeprom, Sram, Flash64k, Flash128k };

// "EEPROM", "SRAM", "FLASH64K", "FLASH128K".
std::string_view wordOf(StringType type);

class TypeSet {
  public:
    void add(StringType type) { present_[static_cast<std::size_t>(type)] = true; }
    bool has(StringType type) const { return present_[static_cast<std::size_t>(type)]; }
    bool empty() const;
    int count() const;
    // The first type of `order` in the set.
    std::optional<StringType> firstOf(std::initializer_list<StringType> order) const;

  private:
    std::array<bool, 4> present_{};
};

// The name without any directory part.
std::string_view baseName(std::string_view name);
// The 4-byte game code cut at its first zero byte, as C strings compare it.
std::string_view codeAsCString(const ImageFacts& facts);

// "its table gives FLASH128K for code AXVE", "no string it reads", ...
std::string tableReason(std::string_view code);
std::string sizeReason(std::string_view limit);

// A string reader's result: the type the strings settle, with a reason when more than
// one type was seen, or `fallback` (a case word) when none was.
ReaderResult stringResult(std::optional<StringType> type, const TypeSet& seen,
                          std::string_view fallback);
// A reader's result from one of its tables.
ReaderResult tableResult(std::string_view word, std::string_view code);

}  // namespace tagwright
