// Archives that ROMs are passed around in, recognised by their first bytes, so that
// one is refused instead of being tagged as if it were a ROM:
//
//   kind   first bytes                    what it is
//   zip    50 4B 03 04  ("PK\3\4")        a ZIP archive with at least one entry
//          50 4B 05 06  ("PK\5\6")        an empty ZIP archive
//   7z     37 7A BC AF 27 1C ("7z..'.")   a 7-Zip archive
//   rar    52 61 72 21 1A 07 ("Rar!..")   a RAR archive (version 4 and 5 alike)
//   gzip   1F 8B 08                       a gzip file (deflate, its only method)
//
// None of them can start a ROM the console runs: a ROM starts with an ARM branch,
// whose fourth byte is 0xEA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tagwright {

enum class ArchiveKind { Zip, SevenZip, Rar, Gzip };

// The most first bytes the recognition looks at.
inline constexpr std::size_t kArchiveMagicLength = 6;

// The kind of archive `firstBytes` (a file's first bytes, as many as it has) start,
// or nothing.
std::optional<ArchiveKind> archiveKindOf(std::span<const std::uint8_t> firstBytes);

// "zip", "7z", "rar", "gzip": the kind's word in the --info --json report.
const char* archiveWord(ArchiveKind kind);

// "a ZIP archive, not a ROM: unzip it first": why such a file is refused.
std::string archiveRefusal(ArchiveKind kind);

}  // namespace tagwright
