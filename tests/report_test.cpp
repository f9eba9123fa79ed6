// The report library from outside: JSON text, the type-asked rule, grouping, the text
// report and the save warning, on results written here as the case file words them.
#include <gtest/gtest.h>

#include <sstream>

#include "image/utf8_text.hpp"
#include "readers/reader_result.hpp"
#include "report/json_writer.hpp"
#include "report/name_remedy.hpp"
#include "report/outcome_groups.hpp"
#include "report/save_warning.hpp"
#include "report/text_report.hpp"
#include "report/type_asked.hpp"

namespace tagwright {
namespace {

// Expected texts follow RFC 8259 and the rule stated in json_writer.hpp.
TEST(Json, StringsAreValidJsonWhateverTheirBytes) {
    struct Case {
        std::string in;
        std::string out;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"game.gba", R"("game.gba")", true},
        {"a\"b\\c/", R"("a\"b\\c/")", true},
        {"\b\t\n\f\r", R"("\b\t\n\f\r")", true},
        {std::string("\0\x01\x1B\x1F\x7F", 5), R"("\u0000\u0001\u001b\u001f\u007f")", true},
        {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\"", true},
        {"\xC2\x85\xC2\x9F\xC2\xA0", "\"\\u0085\\u009f\xC2\xA0\"", true},  // C1 controls escaped
        {"\xEF\xBF\xBD", "\"\xEF\xBF\xBD\"", true},                       // U+FFFD itself
        {"a\x80z", R"("a\ufffdz")", false},  // a stray continuation byte
        {"\xFF\xFE", R"("\ufffd\ufffd")", false},
        {"\xC0\xAF", R"("\ufffd\ufffd")", false},                          // overlong "/"
        {"\xE0\x80\xAF", R"("\ufffd\ufffd\ufffd")", false},                // overlong, 3 bytes
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")", false},                // a surrogate
        {"\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")", false},      // above U+10FFFF
        {"x\xE6\x97", R"("x\ufffd\ufffd")", false},                        // cut at the end
        {"\xC3(", R"("\ufffd(")", false},                                  // cut by ASCII
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jsonQuoted(c.in), c.out) << c.out;
        EXPECT_EQ(isValidUtf8(c.in), c.valid) << c.out;
    }
}

TEST(Json, WriterSeparatesMembersAndNests) {
    JsonWriter json;
    json.beginObject().key("a").beginArray().number(1).boolean(true).null();
    json.beginObject().key("b").string("c").key("n").number(4294967296).endObject();
    json.beginArray().endArray().endArray();
    json.key("d").beginObject().endObject().key("e").boolean(false).endObject();
    EXPECT_EQ(json.text(), R"({"a":[1,true,null,{"b":"c","n":4294967296},[]],"d":{},"e":false})");
}

ReaderResult result(std::string_view word, DecidedBy by = DecidedBy::String,
                    std::string reason = {}) {
    return resultOf(word, by, std::move(reason));
}

// Class for EEPROM and SRAM, size for Flash; run-time readers only when they fix a
// wrong Flash size or switched the save area off; none and refused never.
TEST(TypeAsked, ClassForEepromAndSramSizeForFlash) {
    using T = SaveType;
    struct Case {
        const char* word;
        DecidedBy by;
        std::vector<T> agree;  // of types 1..6
    };
    const std::vector<Case> cases = {
        {"EEPROM", DecidedBy::String, {T::Eeprom64k, T::Eeprom128k}},
        {"EEPROM512", DecidedBy::String, {T::Eeprom64k, T::Eeprom128k}},
        {"EEPROM8K", DecidedBy::Table, {T::Eeprom64k, T::Eeprom128k}},
        {"EEPROM*", DecidedBy::Default, {T::Eeprom64k, T::Eeprom128k}},
        {"SRAM", DecidedBy::String, {T::Sram256k, T::Sram512k}},
        {"SRAM*", DecidedBy::Default, {T::Sram256k, T::Sram512k}},
        {"SRAM64K*", DecidedBy::Default, {T::Sram256k, T::Sram512k}},
        {"FLASH64K", DecidedBy::String, {T::Flash512k}},
        {"FLASH128K", DecidedBy::Table, {T::Flash1M}},
        {"NONE", DecidedBy::String, {}},
        {"SIIRTC", DecidedBy::String, {}},
        {"ERROR", DecidedBy::Name, {}},
        {"RT", DecidedBy::String,
         {T::Eeprom64k, T::Eeprom128k, T::Flash1M, T::Flash512k, T::Sram256k, T::Sram512k}},
        {"RT64", DecidedBy::String, {T::Eeprom64k, T::Eeprom128k, T::Flash512k, T::Sram256k,
                                     T::Sram512k}},
        {"RT64A", DecidedBy::Default, {T::Eeprom64k, T::Eeprom128k, T::Flash512k, T::Sram256k,
                                       T::Sram512k}},
        {"RT128", DecidedBy::String, {T::Eeprom64k, T::Eeprom128k, T::Flash1M, T::Sram256k,
                                      T::Sram512k}},
        {"RT64-NOSRAM", DecidedBy::Table, {T::Eeprom64k, T::Eeprom128k}},
        {"RT128-NOSRAM", DecidedBy::Table, {T::Eeprom64k, T::Eeprom128k}},
    };
    for (const Case& c : cases) {
        for (int n = 1; n <= 6; ++n) {
            const auto type = static_cast<SaveType>(n);
            const bool expected =
                std::find(c.agree.begin(), c.agree.end(), type) != c.agree.end();
            EXPECT_EQ(givesTypeAsked(result(c.word, c.by), type), expected)
                << c.word << " asked " << n;
        }
    }
}

TEST(TypeAsked, LibraryStringsAskForTheirType) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"EEPROM_V111", 1}, {"EEPROM_V120", 1}, {"EEPROM_V122", 1}, {"EEPROM_V121", 2},
        {"EEPROM_V124", 2}, {"FLASH1M_V102", 3}, {"FLASH1M_V103", 3}, {"FLASH_V123", 4},
        {"FLASH512_V131", 4}, {"SRAM_V113", 6}, {"SRAM_F_V103", 6}, {"SRAM_V1130", 6},
        // not library strings: digits missing or cut, prefix alone, plain words
        {"SRAM_V11", 0}, {"FLASH_V1A3", 0}, {"FLASH_", 0}, {"FLASHCART", 0}, {"SRAM", 0},
        {"EEPROM_120", 0}, {"Shantae", 0}, {"XSRAM_V113", 0},
    };
    for (const auto& [text, type] : cases) {
        const auto asked = typeOfLibraryText(text);
        EXPECT_EQ(asked ? static_cast<int>(*asked) : 0, type) << text;
    }
    EXPECT_TRUE(sameTypeAsked(SaveType::Eeprom64k, SaveType::Eeprom128k));
    EXPECT_TRUE(sameTypeAsked(SaveType::Sram256k, SaveType::Sram512k));
    EXPECT_FALSE(sameTypeAsked(SaveType::Flash1M, SaveType::Flash512k));
}

// Results named as readers, in the order given.
std::vector<ReaderResult> named(std::vector<std::tuple<const char*, ReaderResult, bool>> list) {
    std::vector<ReaderResult> results;
    for (auto& [name, r, tagCanChange] : list) {
        r.id = name;
        r.name = name;
        r.tagCanChange = tagCanChange;
        r.readsStrings = tagCanChange || std::string_view(name) == "DeSmuME";
        results.push_back(std::move(r));
    }
    return results;
}

TEST(Groups, OutcomeOnceThenItsReadersWithTheirNotes) {
    const auto results = named({
        {"A", result("SRAM"), true},
        {"B", result("NONE", DecidedBy::String, "it skips a file's last 16 bytes"), true},
        {"C", result("SRAM64K*"), true},
        {"D", result("SRAM"), true},
        {"E", result("RT"), false},
        {"F", result("FLASH128K", DecidedBy::Table), true},
        {"G", result("ERROR", DecidedBy::Name, "its name does not end in .gba"), true},
        {"H", result("RT64-NOSRAM", DecidedBy::Table), false},
        {"I", result("EEPROM512"), true},
        {"J", result("NONE"), true},
        {"K", result("NONE", DecidedBy::String, "it skips a file's last 16 bytes"), true},
    });
    std::vector<std::string> texts;
    for (const auto& group : groupByOutcome(results)) {
        texts.push_back(group.outcome + ": " + membersText(results, group));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "SRAM 32 KiB: A, D",
                         // one note once, after every reader it holds for; no note last
                         "no save memory: B, K (it skips a file's last 16 bytes), J",
                         "SRAM 64 KiB: C (by default)",
                         "decided at run time: E (reads no strings)",
                         "Flash 128 KiB: F (by its table)",
                         "refuses the file: G (its name does not end in .gba)",
                         "EEPROM: H (by its table)",
                         "EEPROM 512 B: I",
                     }));
}

// The name every reader that judges names opens: its own up to the last dot, then
// ".gba" in lower case, without its folder.
TEST(NameRemedy, OwnNameWithTheEndingEveryReaderOpens) {
    const struct {
        const char* name;
        const char* renamed;
    } cases[] = {
        {"GAME.GBA", "GAME.gba"},  {"roms/game.bin", "game.gba"}, {"game", "game.gba"},
        {"a.b.Gba", "a.b.gba"},    {".hidden", ".hidden.gba"},    {"dir.x/rom", "rom.gba"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nameReadersOpen(c.name), c.renamed) << c.name;
    }
    EXPECT_EQ(renamedPath("roms/GAME.GBA", "GAME.gba"), "roms/GAME.gba");
}

TEST(Warning, GivenExactlyWhenATagChangeableReaderMissesTheTypeAsked) {
    ImageFacts facts;
    facts.name = "out.gba";
    SaveRequest request;
    request.type = SaveType::Sram512k;
    // Readers that no tag can change never cause a warning, nor does a fallback or a
    // run-time reader that gives SRAM's class.
    const auto quiet = named({{"A", result("SRAM"), true},
                              {"B", result("SRAM64K*"), true},
                              {"C", result("RT128"), true},
                              {"mGBA", result("NONE"), false},
                              {"DeSmuME", result("NONE"), false}});
    EXPECT_EQ(saveWarning("out.gba", request, facts, quiet, {}), "");

    const auto loud = named({{"A", result("SRAM"), true},
                             {"B", result("NONE", DecidedBy::String, "it skips a file's last 16 bytes"), true},
                             {"C", result("NONE"), true},
                             {"D", result("ERROR", DecidedBy::Name, "its name does not end in .gba"), true},
                             {"mGBA", result("NONE"), false}});
    TagCommand padded{SaveType::Sram512k, false, true, false, {}};
    TagCommand embedded{SaveType::Sram512k, true, false, false, {}};
    EXPECT_EQ(saveWarning("out\x1B.gba", request, facts, loud, {padded, embedded}),
              "warning: out\\e.gba: SRAM asked, but some readers differ: no save memory: B (it skips a file's last "
              "16 bytes), C; refuses the file: D (its name does not end in .gba); -s6 -p or -e6, "
              "or a name ending in .gba avoids this");

    request.type = SaveType::Flash1M;
    const auto flash = named({{"A", result("RT64"), true}, {"B", result("FLASH128K"), true}});
    EXPECT_EQ(saveWarning("f.gba", request, facts, flash, {}),
              "warning: f.gba: Flash 128 KiB asked, but some readers differ: decided at run time, Flash 64 KiB: A; no "
              "tagwright command avoids this");
}

}  // namespace
}  // namespace tagwright
