// One row of a reader's built-in table, as the project keeps it in
// data/reader-tables/NAME.tsv: the cells in column order (the first is the key),
// missing cells empty. The rows are compiled into the program (reader_tables.hpp).
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace tagwright {

struct TableRow {
    std::array<std::string_view, 6> cell;
};

// The first row whose cell `column` equals `key` exactly, or none.
const TableRow* findRow(std::span<const TableRow> rows, std::string_view key,
                        std::size_t column = 0);
// The same, comparing ASCII letters without regard to case.
const TableRow* findRowIgnoringCase(std::span<const TableRow> rows, std::string_view key);

}  // namespace tagwright
