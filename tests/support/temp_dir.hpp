// A fresh, empty folder for one test, removed with everything in it afterwards. The
// folder is made when it is first used, so a test that skips before using it (a case
// another platform lacks) leaves nothing made that could fail there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tagwright::testing {

class TempDir {
  public:
    TempDir() = default;
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const;
    // The folder, and a name in it, as UTF-8 (the encoding the program's names have).
    std::string folder() const;
    std::string file(const std::string& name) const;
    // Names of everything in the folder (or a folder in it), sorted, in UTF-8.
    std::vector<std::string> entries(const std::string& subfolder = {}) const;

  private:
    mutable std::filesystem::path path_;  // empty until first used
};

// A path from a UTF-8 name, and back: on Windows a plain std::string would be taken
// in the ANSI code page.
std::filesystem::path pathOf(const std::string& utf8);
std::string utf8Of(const std::filesystem::path& path);

// Whole files, by UTF-8 name.
std::vector<std::uint8_t> readFile(const std::string& name);
void writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

// Deterministic non-zero bytes (so no accidental run of zeros), for test images.
std::vector<std::uint8_t> patternBytes(std::size_t size, std::uint32_t seed = 1);

}  // namespace tagwright::testing
