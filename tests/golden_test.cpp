// The command line pinned by golden cases: each folder under tests/golden/ is one run of
// the built program in a fresh folder.
//
//   args     the arguments, one per line ("$DIR/" stands for the run's folder)
//   make     the files the run starts with, one step a line (absent: in.gba, 1000
//            pattern bytes):   NAME pattern SIZE [SEED] | NAME zero OFFSET COUNT |
//            NAME at OFFSET TEXT | NAME sparse SIZE | NAME folder | NAME link TARGET |
//            NAME hardlink TARGET   (pattern bytes have plain text in the header's
//            title and codes: GOLDENCASE, ZZZZ, 01; links are POSIX only)
//   status   the exit status;  stdout, stderr: what it prints (absent: nothing)
//   expect   the files afterwards, each built here by the rule it follows:
//              NAME = SOURCE [| header FIELD=VALUE...] [| at OFFSET TEXT] [| pad]
//              NAME absent            folder NAME...   (exactly these, sorted)
//   posix    present: the case runs on POSIX systems only
//
// TEXT takes \0, \xNN, \s (a space) and \\. The header step states the cartridge
// header rule on its own: the file's first 192 bytes over the default header, the
// fields given, the logo (gba-logo.hex), 0x96 at 0xB2, 0x80 at 0xB4, zeros at
// 0xBE-0xBF, and at 0xBD the byte that makes 0x19 + the bytes 0xA0-0xBD sum to 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path kGolden = TAGWRIGHT_GOLDEN_DIR;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        result.push_back(line);
    }
    return result;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string word; in >> word;) {
        result.push_back(word);
    }
    return result;
}

std::size_t number(const std::string& text) { return std::stoull(text, nullptr, 0); }

std::string unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char kind = text[++i];
        if (kind == '0') {
            bytes += '\0';
        } else if (kind == 's') {
            bytes += ' ';
        } else if (kind == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += kind;
        }
    }
    return bytes;
}

void put(Bytes& file, std::size_t at, const std::string& text) {
    file.resize(std::max(file.size(), at + text.size()));
    std::copy(text.begin(), text.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
}

Bytes logo() {
    Bytes bytes;
    std::istringstream in(readText(kGolden / "gba-logo.hex"));
    for (std::string word; in >> word;) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(word, nullptr, 16)));
    }
    return bytes;
}

// The cartridge header rule, applied to a file's first 192 bytes.
void repairHeader(Bytes& file, const std::vector<std::string>& fields) {
    static const Bytes kLogo = logo();
    Bytes header(192, 0);
    put(header, 0, std::string("\x2E\x00\x00\xEA", 4));
    put(header, 0xB0, "01");
    header[0xB2] = 0x96;
    header[0xB4] = 0x80;
    std::copy_n(file.begin(), std::min<std::size_t>(file.size(), 192), header.begin());
    for (const std::string& field : fields) {
        const auto eq = field.find('=');
        const std::string key = field.substr(0, eq), value = unescape(field.substr(eq + 1));
        const auto text = [&](std::size_t at, std::size_t width) {
            put(header, at, (value + std::string(width, '\0')).substr(0, width));
        };
        if (key == "title") {
            text(0xA0, 12);
        } else if (key == "code") {
            text(0xAC, 4);
        } else if (key == "maker") {
            text(0xB0, 2);
        } else {
            ASSERT_EQ(key, "version");
            header[0xBC] = static_cast<std::uint8_t>(number(value));
        }
    }
    std::copy(kLogo.begin(), kLogo.end(), header.begin() + 4);
    header[0xB2] = 0x96;
    header[0xB4] = 0x80;
    header[0xBE] = header[0xBF] = 0;
    unsigned sum = 0x19;
    for (std::size_t i = 0xA0; i <= 0xBC; ++i) {
        sum += header[i];
    }
    header[0xBD] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    file.resize(std::max<std::size_t>(file.size(), 192));
    std::copy(header.begin(), header.end(), file.begin());
}

class Golden : public ::testing::TestWithParam<std::string> {
  protected:
    fs::path folder = kGolden / GetParam();
    TempDir dir;
    std::map<std::string, Bytes> made;

    std::string read(const char* name) {
        return fs::exists(folder / name) ? readText(folder / name) : std::string();
    }

    void make() {
        std::string steps = read("make");
        if (steps.empty()) {
            steps = "in.gba pattern 1000\n";
        }
        for (const std::string& line : lines(steps)) {
            const auto w = words(line);
            if (w.empty()) {
                continue;
            }
            if (w[1] == "folder") {
                fs::create_directory(pathOf(dir.file(w[0])));
                continue;
            }
            if (w[1] == "link") {
                fs::create_symlink(w[2], pathOf(dir.file(w[0])));
                continue;
            }
            if (w[1] == "hardlink") {
                fs::create_hard_link(pathOf(dir.file(w[2])), pathOf(dir.file(w[0])));
                made[w[0]] = made.at(w[2]);
                continue;
            }
            Bytes& file = made[w[0]];
            if (w[1] == "pattern") {
                file = patternBytes(number(w[2]), w.size() > 3 ? static_cast<std::uint32_t>(number(w[3])) : 1);
                if (file.size() >= 0xB2) {  // header text a reader accepts
                    put(file, 0xA0, std::string("GOLDENCASE\0\0ZZZZ01", 18));
                }
            } else if (w[1] == "zero") {
                std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(number(w[2])), number(w[3]), 0);
            } else if (w[1] == "at") {
                put(file, number(w[2]), unescape(w[3]));
            } else {
                ASSERT_EQ(w[1], "sparse") << line;
                // Its last byte written after a seek: sparse where the file system
                // allows, and no 32-bit size in the way (resize_file has one on Windows).
                std::ofstream sparse(pathOf(dir.file(w[0])), std::ios::binary);
                sparse.seekp(static_cast<std::streamoff>(number(w[2]) - 1));
                sparse.put('\0');
                ASSERT_TRUE(sparse.flush()) << line;
                made.erase(w[0]);
                continue;
            }
            writeFile(dir.file(w[0]), file);
        }
    }

    Bytes expected(const std::string& recipe) {
        std::vector<std::string> steps;
        for (std::size_t from = 0, bar = 0; from <= recipe.size(); from = bar + 1) {
            bar = std::min(recipe.find('|', from), recipe.size());
            steps.push_back(recipe.substr(from, bar - from));
        }
        Bytes file = made.at(words(steps[0]).at(0));
        for (std::size_t i = 1; i < steps.size(); ++i) {
            auto w = words(steps[i]);
            if (w[0] == "header") {
                repairHeader(file, std::vector<std::string>(w.begin() + 1, w.end()));
            } else if (w[0] == "at") {
                put(file, number(w[1]), unescape(w[2]));
            } else {
                EXPECT_EQ(w[0], "pad");
                file.resize(std::bit_ceil(file.size()), 0xFF);
            }
        }
        return file;
    }
};

TEST_P(Golden, Case) {
#ifdef _WIN32
    if (fs::exists(folder / "posix")) {
        GTEST_SKIP() << "POSIX only";
    }
#endif
    make();
    std::vector<std::string> arguments;
    for (std::string argument : lines(read("args"))) {
        if (argument.rfind("$DIR/", 0) == 0) {
            argument = dir.file(argument.substr(5));
        }
        arguments.push_back(argument);
    }
    RunOptions options;
    options.workingDirectory = dir.folder();
    const RunResult result = runProgram(tagwrightPath(), arguments, options);
    EXPECT_EQ(result.exitStatus, std::stoi(read("status")));
    EXPECT_EQ(result.out, read("stdout"));
    EXPECT_EQ(result.err, read("stderr"));

    for (const std::string& line : lines(read("expect"))) {
        const auto w = words(line);
        if (w.empty()) {
            continue;
        }
        if (w[0] == "folder") {
            EXPECT_EQ(dir.entries(), std::vector<std::string>(w.begin() + 1, w.end()));
        } else if (w[1] == "absent") {
            EXPECT_FALSE(fs::exists(pathOf(dir.file(w[0])))) << w[0];
        } else {
            ASSERT_EQ(w[1], "=") << line;
            const Bytes want = expected(line.substr(line.find('=') + 1));
            const Bytes got = readFile(dir.file(w[0]));
            EXPECT_EQ(got.size(), want.size()) << w[0];
            const auto diff = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
            EXPECT_TRUE(got == want) << w[0] << " first differs at offset "
                                     << (diff.first - got.begin());
        }
    }
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kGolden)) {
        if (entry.is_directory()) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(CommandLine, Golden, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace tagwright::testing
