// The report the page shows for a file's bytes, as one JSON object:
//
//   {"report": the object tagwright --info --json gives for the same bytes and name,
//    "groups": [{"outcome": text, "readers": [{"id": text, "name": text,
//                                             "note": text}, ...]}, ...]}
//
// "groups" are the readers grouped by what they give, with the outcome and notes in the
// words of the text report (report/outcome_groups.hpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tagwright::web {

std::string pageReport(std::span<const std::uint8_t> bytes, const std::string& name);

}  // namespace tagwright::web
