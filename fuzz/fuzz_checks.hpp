// Shared checks and set-up of the fuzz targets. A failed check prints what went
// wrong and aborts, which libFuzzer reports as a finding.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tagwright::fuzz {

void require(bool condition, const std::string& what);

// Bytes 0..191 of `file` are a finalised header: the prescribed logo, 0x96 at 0xB2,
// 0x80 at 0xB4, zero at 0xBE/0xBF and a complement check that matches.
void requireFinalizedHeader(const std::vector<std::uint8_t>& file, const std::string& what);

// The length a written file may have for an input of `inputSize` bytes.
std::uint64_t expectedOutputLength(std::uint64_t inputSize, bool appended, bool padded);

// A fresh folder for this fuzzing process, made the current folder; removed again
// when the process exits normally (kept after a crash, for a look at its files).
std::filesystem::path enterScratchFolder();
// Removes everything in the current folder except the named files.
void clearFolderExcept(const std::vector<std::string>& keep);

// Makes fuzzed text safe to use as file names in the scratch folder: no NUL bytes
// and no "/" (but a leading one when `keepLeadingSlash`, where it only marks an
// option), so no name can leave the folder.
std::string confined(std::string text, bool keepLeadingSlash);

}  // namespace tagwright::fuzz
