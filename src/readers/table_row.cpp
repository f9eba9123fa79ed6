#include "readers/table_row.hpp"

#include <algorithm>

namespace tagwright {

const TableRow* findRow(std::span<const TableRow> rows, std::string_view key,
                        std::size_t column) {
    // The first letters tell most rows apart without a call to compare the rest: the
    // readers look up every file's game code, once for each command tried.
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const TableRow& row) {
        const std::string_view cell = row.cell[column];
        return cell.size() == key.size() && (key.empty() || cell[0] == key[0]) && cell == key;
    });
    return found == rows.end() ? nullptr : &*found;
}

const TableRow* findRowIgnoringCase(std::span<const TableRow> rows, std::string_view key) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const TableRow& row) {
        const std::string_view cell = row.cell[0];
        return cell.size() == key.size() &&
               std::equal(cell.begin(), cell.end(), key.begin(),
                          [&](char a, char b) { return lower(a) == lower(b); });
    });
    return found == rows.end() ? nullptr : &*found;
}

}  // namespace tagwright
