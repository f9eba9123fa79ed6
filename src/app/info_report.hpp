// tagwright --info [--json] ROM...: what the console and every modelled reader will make
// of each file. Reads each file once, in blocks, and writes nothing. The report of one
// file is formatted by the report library (report/text_report.hpp, or one JSON line per
// file, report/json_report.hpp); text reports are separated by an empty line.
//
// Exit status: 0 when every file has a header the console starts and its strings ask
// for one type that every reader that reads strings gives; 1 when a file falls short,
// or is an archive (image/archive_magic.hpp: its refusal under its name, or its JSON
// "error" with "archive"); 2 when a file cannot be read (its message under its name,
// or its JSON "error").
#pragma once

#include <iostream>
#include <span>
#include <string>

namespace tagwright {

inline constexpr int kInfoAllGood = 0;
inline constexpr int kInfoFallsShort = 1;
inline constexpr int kInfoUnreadable = 2;

enum class InfoFormat { Text, Json };

// Reads and reports every named file. `names` must not be empty.
int infoMode(std::span<const std::string> names, InfoFormat format, std::ostream& out);

}  // namespace tagwright
