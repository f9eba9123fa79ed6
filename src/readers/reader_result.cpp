#include "readers/reader_result.hpp"

#include <array>

namespace tagwright {

namespace {

struct WordMeaning {
    std::string_view word;
    SaveKind kind;
    std::uint32_t bytes;  // 0: none
};

constexpr std::array<WordMeaning, 15> kWords = {{
    {"EEPROM", SaveKind::Eeprom, 0},
    {"EEPROM512", SaveKind::Eeprom, 512},
    {"EEPROM8K", SaveKind::Eeprom, 8192},
    {"SRAM", SaveKind::Sram, 32768},
    {"SRAM64K", SaveKind::Sram, 65536},
    {"FLASH64K", SaveKind::Flash, 65536},
    {"FLASH128K", SaveKind::Flash, 131072},
    {"NONE", SaveKind::None, 0},
    {"SIIRTC", SaveKind::None, 0},
    {"RT", SaveKind::Runtime, 0},
    {"RT64", SaveKind::Runtime, 65536},
    {"RT64A", SaveKind::Runtime, 65536},
    {"RT128", SaveKind::Runtime, 131072},
    {"RT64-NOSRAM", SaveKind::Eeprom, 0},
    {"RT128-NOSRAM", SaveKind::Eeprom, 0},
}};

}  // namespace

ReaderResult resultOf(std::string_view outcomeWord, DecidedBy decidedBy, std::string reason) {
    ReaderResult result;
    result.outcomeWord = std::string(outcomeWord);
    result.reason = std::move(reason);
    result.decidedBy = decidedBy;
    std::string_view word = outcomeWord;
    if (!word.empty() && word.back() == '*') {
        word.remove_suffix(1);
        result.fallback = true;
        result.decidedBy = DecidedBy::Default;
    }
    if (word == "ERROR") {
        result.outcome = SaveKind::Refused;
        return result;
    }
    for (const WordMeaning& meaning : kWords) {
        if (meaning.word == word) {
            result.outcome = meaning.kind;
            if (meaning.bytes != 0) {
                result.bytes = meaning.bytes;
            }
            return result;
        }
    }
    result.outcome = SaveKind::None;  // not reached: every reader speaks the words above
    return result;
}

const char* saveKindWord(SaveKind kind) {
    switch (kind) {
        case SaveKind::Eeprom:
            return "eeprom";
        case SaveKind::Sram:
            return "sram";
        case SaveKind::Flash:
            return "flash";
        case SaveKind::None:
            return "none";
        case SaveKind::Runtime:
            return "runtime";
        case SaveKind::Refused:
            break;
    }
    return "refused";
}

const char* decidedByWord(DecidedBy by) {
    switch (by) {
        case DecidedBy::String:
            return "string";
        case DecidedBy::Default:
            return "default";
        case DecidedBy::Table:
            return "table";
        case DecidedBy::GameCode:
            return "game-code";
        case DecidedBy::Name:
            return "name";
        case DecidedBy::Size:
            return "size";
        case DecidedBy::Header:
            break;
    }
    return "header";
}

}  // namespace tagwright
