// Fuzzes the command-line mode: arbitrary argument lists on an arbitrary image in a
// scratch folder, checking the written file against what the options ask for.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

#include "app/command_line.hpp"
#include "fuzz_checks.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;
using namespace tagwright;
using namespace tagwright::fuzz;
using tagwright::testing::readFile;
using tagwright::testing::writeFile;

namespace {

const std::string kInput = "in.gba";

// An absolute path to an existing file is a name, not an option.
bool isOption(const std::string& argument) {
    if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) {
        return false;
    }
    std::error_code error;
    return argument[0] == '-' || !fs::exists(argument, error) || fs::is_directory(argument, error);
}

// What the arguments ask for, worked out independently of the program.
struct Expectation {
    std::optional<std::string> longOption;  // --help, --version or --info: decides the run
    bool otherMode = false;  // --in-place, --replace or --fix: only the status is checked (as
                             // for an absolute path that names a file of this machine)
    std::optional<std::string> inputName;
    std::string outputName = kDefaultOutputName;
    bool appended = false;
    bool padded = false;
};

Expectation expect(const std::vector<std::string>& arguments) {
    Expectation e;
    // "--" ends the options: every later argument is a name.
    const auto end = std::find(arguments.begin(), arguments.end(), "--");
    for (const char* option : {"--info", "--version", "--help"}) {  // the last found wins
        if (std::find(arguments.begin(), end, option) != end) {
            e.longOption = option;
        }
    }
    bool names = false;
    for (const auto& argument : arguments) {
        if (!names && argument == "--") {
            names = true;
            continue;
        }
        if (names || !isOption(argument)) {
            if (!e.inputName) {
                e.inputName = argument;
            }
            continue;
        }
        e.otherMode = e.otherMode || argument == "--in-place" || argument == "--replace" ||
                      argument == "--fix";
        const char letter = argument.size() > 1 ? argument[1] : '\0';
        if (letter == 'o') {
            e.outputName = argument.size() > 2 ? argument.substr(2) : kDefaultOutputName;
        } else if (letter == 's' || letter == 'e') {
            e.appended = letter == 's';
        } else if (letter == 'p') {
            e.padded = true;
        }
    }
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterScratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    std::vector<std::string> arguments;
    const int count = provider.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count; ++i) {
        arguments.push_back(confined(provider.ConsumeRandomLengthString(32), true));
    }
    if (provider.ConsumeBool()) {
        const auto at = provider.ConsumeIntegralInRange<std::size_t>(0, arguments.size());
        arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(at), kInput);
    }
    const std::vector<std::uint8_t> image = provider.ConsumeRemainingBytes<std::uint8_t>();
    clearFolderExcept({});
    writeFile(kInput, image);

    std::ostringstream out;
    std::ostringstream err;
    const int status = commandLineMode(arguments, out, err);
    const Expectation e = expect(arguments);

    if (e.longOption) {
        // Nothing is written by any of them.
        if (*e.longOption == "--info") {
            require(status == 0 || status == 1 || status == 2 || status == kExitNoFileName,
                    "--info status");
        } else {
            require(status == kExitSuccess, "--help and --version succeed");
            require(out.str().rfind(*e.longOption == "--help" ? "Usage: " : "tagwright ", 0) == 0,
                    "--help and --version text");
        }
        require(readFile(kInput) == image, "input changed by a long option");
        for (const auto& entry : fs::directory_iterator(".")) {
            require(entry.path().filename().string() == kInput, "a long option wrote a file");
        }
        return 0;
    }
    // 2 (not understood in full) may stand in for 1 (not done) and 0.
    const bool notDoneOrMisread = status == kExitFailure || status == kExitUsage;
    std::error_code error;
    if (e.otherMode || (e.inputName && *e.inputName != kInput && fs::exists(*e.inputName, error))) {
        require(notDoneOrMisread || status == kExitSuccess || status == kExitNoFileName, "status");
        return 0;
    }
    if (!e.inputName) {
        require(status == kExitNoFileName && out.str() == "Filename needed!\n", "no name");
    } else if (*e.inputName != kInput) {
        require(notDoneOrMisread, "a name that does not exist must fail");
    } else if (e.outputName == "." || e.outputName == "..") {
        require(notDoneOrMisread, "a folder as output must fail");
    } else {
        require(status != kExitNoFileName, "a writable output is written: " + out.str());
        const auto file = readFile(e.outputName);
        requireFinalizedHeader(file, "output");
        require(file.size() == expectedOutputLength(image.size(), e.appended, e.padded),
                "output length");
    }
    if (e.outputName != kInput) {  // a status of 1 or 2 may still come with a written file
        require(readFile(kInput) == image, "input changed");
    }
    for (const auto& entry : fs::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        require(name == kInput || name == e.outputName, "stray file " + name);
    }
    return 0;
}
