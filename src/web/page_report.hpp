// The report the page shows for a file's bytes, as one JSON object:
//
//   {"report": the object tagwright --info --json gives for the same bytes and name,
//    "groups": [{"outcome": text, "readers": [{"id": text, "name": text,
//                                             "note": text}, ...]}, ...]}
//
// "groups" are the readers grouped by what they give, with the outcome and notes in the
// words of the text report (report/outcome_groups.hpp).
//
// The commands that would mend the file are looked for only when asked: the report of
// a patched file leaves them out, as they would be commands to patch the patched file
// again (the warning after the patch names those for the file opened).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tagwright::web {

enum class Commands : bool { Omit, Find };

// The file is `bytes` followed by `fill` bytes 0xFF (padding), which the scan passes
// over without reading them.
std::string pageReport(std::span<const std::uint8_t> bytes, std::uint64_t fill,
                       const std::string& name, Commands commands);

}  // namespace tagwright::web
