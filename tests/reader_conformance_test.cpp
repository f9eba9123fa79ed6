// Every modelled reader against the results of running its own code: each row of
// tests/data/reader-cases.tsv is an image built as the file's header says, with the
// outcome word of all 25 readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "readers/judgement.hpp"

namespace tagwright {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> cells;
    std::stringstream stream(line);
    std::string cell;
    while (std::getline(stream, cell, separator)) {
        cells.push_back(cell);
    }
    if (!line.empty() && line.back() == separator) {
        cells.emplace_back();
    }
    return cells;
}

// \0 is a zero byte, \xHH byte HH, \\ a backslash; other characters are themselves.
std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i]);
        } else if (text[i + 1] == '0') {
            out.push_back('\0');
            ++i;
        } else if (text[i + 1] == 'x') {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(text[i + 1]);
            ++i;
        }
    }
    return out;
}

std::uint64_t number(const std::string& text) { return std::stoull(text, nullptr, 0); }

void put(Bytes& image, std::uint64_t offset, const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size() && offset + i < image.size(); ++i) {
        image[offset + i] = static_cast<std::uint8_t>(bytes[i]);
    }
}

// Items TEXT@OFFSET separated by ";".
void putItems(Bytes& image, const std::string& items) {
    if (items == "-") {
        return;
    }
    for (const std::string& item : split(items, ';')) {
        const auto at = item.rfind('@');
        put(image, number(item.substr(at + 1)), unescape(item.substr(0, at)));
    }
}

struct Row {
    std::map<std::string, std::string> cell;
};

struct CaseFile {
    std::vector<std::string> columns;
    std::vector<Row> rows;
};

CaseFile readCases() {
    std::ifstream in(TAGWRIGHT_READER_CASES);
    CaseFile file;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const auto cells = split(line, '\t');
        if (file.columns.empty()) {
            file.columns = cells;
            continue;
        }
        Row row;
        for (std::size_t i = 0; i < cells.size() && i < file.columns.size(); ++i) {
            row.cell[file.columns[i]] = cells[i];
        }
        file.rows.push_back(std::move(row));
    }
    return file;
}

Bytes buildImage(const Row& row) {
    const auto& c = row.cell;
    Bytes image(number(c.at("size")), 0xFF);
    put(image, 0xAC, c.at("code") == "-" ? std::string("ZTGP") : unescape(c.at("code")));
    if (c.at("title") != "-") {
        put(image, 0xA0, unescape(c.at("title")));
    }
    putItems(image, c.at("hdr"));
    if (c.at("fill") != "-") {
        for (const std::string& item : split(c.at("fill"), ';')) {
            const auto at = item.find('@');
            const auto dash = item.find('-', at);
            const auto value = static_cast<std::uint8_t>(std::stoi(item.substr(0, at), nullptr, 16));
            const std::uint64_t end = std::min<std::uint64_t>(number(item.substr(dash + 1)), image.size());
            std::fill(image.begin() + static_cast<std::ptrdiff_t>(number(item.substr(at + 1, dash - at - 1))),
                      image.begin() + static_cast<std::ptrdiff_t>(end), value);
        }
    }
    putItems(image, c.at("put"));
    return image;
}

TEST(ReaderConformance, EveryReaderGivesWhatItsOwnCodeGaveOnEveryCase) {
    const CaseFile cases = readCases();
    ASSERT_EQ(cases.rows.size(), 364u);
    std::map<std::string, int> passed;
    std::vector<std::string> failures;
    for (const Row& row : cases.rows) {
        const Bytes image = buildImage(row);
        const auto results = judgeImage(factsOfBytes(image, row.cell.at("name")));
        ASSERT_EQ(results.size(), 25u);
        for (const ReaderResult& result : results) {
            const auto expected = row.cell.find(std::string(result.id));
            ASSERT_NE(expected, row.cell.end()) << "no column for " << result.id;
            if (expected->second == result.outcomeWord) {
                ++passed[std::string(result.id)];
            } else {
                failures.push_back(row.cell.at("case") + " " + std::string(result.id) + ": expected " +
                                   expected->second + ", got " + result.outcomeWord + "  (" +
                                   row.cell.at("label") + ")");
            }
        }
    }
    for (const std::string& failure : failures) {
        ADD_FAILURE() << failure;
    }
    std::ostringstream shares;
    for (const ReaderInfo& reader : readerList()) {
        shares << reader.id << " " << passed[std::string(reader.id)] << "/" << cases.rows.size() << "  ";
    }
    std::cout << "rows passed per reader: " << shares.str() << "\n";
}

// The scan gives the same facts however the file is cut into pieces, whether its 0xFF
// bytes come as bytes or as fill, and whether or not it is told the size in advance.
TEST(ReaderConformance, PiecesGiveTheSameJudgementAsTheWholeFile) {
    const CaseFile cases = readCases();
    std::uint32_t seed = 12345;
    for (const Row& row : cases.rows) {
        const Bytes image = buildImage(row);
        if (image.size() > (std::size_t{4} << 20) && row.cell.at("case")[0] != 'X') {
            continue;
        }
        const ImageFacts wholeFacts = factsOfBytes(image, row.cell.at("name"));
        const auto whole = judgeImage(wholeFacts);
        for (const bool sizeGiven : {false, true}) {
            ImageScanner scanner(row.cell.at("name"),
                                 sizeGiven ? std::optional<std::uint64_t>(image.size()) : std::nullopt);
            // Pieces of random length; runs of 0xFF in them given as fill.
            for (std::size_t at = 0; at < image.size();) {
                seed = seed * 1103515245u + 12345u;
                const std::size_t end = at + std::min<std::size_t>(image.size() - at, 1 + (seed >> 8) % 70000);
                while (at < end) {
                    std::size_t run = at;
                    const bool fill = image[at] == 0xFF;
                    while (run < end && (image[run] == 0xFF) == fill) {
                        ++run;
                    }
                    if (fill) {
                        scanner.feedFill(run - at);
                    } else {
                        scanner.feed({image.data() + at, run - at});
                    }
                    at = run;
                }
            }
            const ImageFacts facts = scanner.finish();
            EXPECT_EQ(facts.size, wholeFacts.size) << row.cell.at("case");
            EXPECT_EQ(facts.crc32, wholeFacts.crc32) << row.cell.at("case");
            EXPECT_EQ(facts.placeCount, wholeFacts.placeCount) << row.cell.at("case");
            const auto inPieces = judgeImage(facts);
            for (std::size_t i = 0; i < whole.size(); ++i) {
                EXPECT_EQ(inPieces[i].outcomeWord, whole[i].outcomeWord)
                    << row.cell.at("case") << " " << whole[i].id << (sizeGiven ? " (size given)" : "");
            }
        }
    }
}

}  // namespace
}  // namespace tagwright
