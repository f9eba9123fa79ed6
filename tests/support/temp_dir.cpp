#include "support/temp_dir.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tagwright::testing {

namespace fs = std::filesystem;

const fs::path& TempDir::path() const {
    if (!path_.empty()) {
        return path_;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("tagwright-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            // Open to every user whatever the umask: some tests run the program as another.
            fs::permissions(candidate, fs::perms(0755));
            path_ = candidate;
            return path_;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    if (path_.empty()) {
        return;
    }
    std::error_code error;
    // Tests may leave read-only folders behind; make them removable first.
    for (auto it = fs::recursive_directory_iterator(path_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
    fs::remove_all(path_, error);
}

fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::string TempDir::folder() const {
    return utf8Of(path());
}

std::string TempDir::file(const std::string& name) const {
    return utf8Of(path() / pathOf(name));
}

std::vector<std::string> TempDir::entries(const std::string& subfolder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path() / pathOf(subfolder))) {
        names.push_back(utf8Of(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> readFile(const std::string& name) {
    std::ifstream in(pathOf(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(pathOf(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> patternBytes(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>((state >> 24) % 255 + 1);
    }
    return bytes;
}

}  // namespace tagwright::testing
