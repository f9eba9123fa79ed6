// A fresh, empty folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tagwright::testing {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Names of everything in the folder, sorted.
    std::vector<std::string> entries() const;

  private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readFile(const std::string& name);
void writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

// Deterministic non-zero bytes (so no accidental run of zeros), for test images.
std::vector<std::uint8_t> patternBytes(std::size_t size, std::uint32_t seed = 1);

}  // namespace tagwright::testing
