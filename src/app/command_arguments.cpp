#include "app/command_arguments.hpp"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "app/option_hints.hpp"
#include "console/terminal_text.hpp"

namespace tagwright {

namespace {

#ifdef _WIN32
constexpr bool kSlashPaths = false;  // "/" starts options there, as it always has
#else
constexpr bool kSlashPaths = true;
#endif

bool startsLikeOption(const std::string& argument) {
    return !argument.empty() && (argument[0] == '-' || argument[0] == '/');
}

// "/tmp/rom.gba": a path, not a single-letter option with a value.
bool looksLikePath(const std::string& argument) {
    const std::size_t second = argument.find('/', 1);
    return kSlashPaths && argument[0] == '/' && second != std::string::npos && second > 2;
}

// The options whose value is the rest of their argument.
bool takesValue(char letter) { return std::string_view("cemorst").find(letter) != std::string_view::npos; }

bool isLoneValueOption(const std::string& argument) {
    return argument.size() == 2 && startsLikeOption(argument) && takesValue(argument[1]);
}

std::string line(const std::string& argument, const std::string& why) {
    return "tagwright: " + terminalSafe(argument) + ": " + why;
}

std::string unknownOption(const std::string& argument) {
    if (const auto spelling = nearestSpelling(argument)) {
        return "not an option; did you mean " + terminalSafe(*spelling) + "?";
    }
    if (looksLikePath(argument)) {
        return "no such file, and not an option";
    }
    return "not an option (tagwright --help lists them)";
}

}  // namespace

std::span<const std::string> optionPart(std::span<const std::string> arguments) {
    const auto end = std::find(arguments.begin(), arguments.end(), kEndOfOptions);
    return arguments.first(static_cast<std::size_t>(end - arguments.begin()));
}

bool namesExistingFile(const std::string& name) {
    std::error_code error;
    const auto status = std::filesystem::status(name, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

CommandArguments readCommandArguments(std::span<const std::string> arguments) {
    CommandArguments result;
    const auto options = optionPart(arguments);
    const auto has = [&](const char* option) {
        return std::find(options.begin(), options.end(), option) != options.end();
    };
    result.inPlace = has(kInPlaceOption);
    result.replace = has(kReplaceOption);
    result.fix = has(kFixOption);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool path = kSlashPaths && !argument.empty() && argument[0] == '/' &&
                          namesExistingFile(argument);
        result.isOption.push_back(i <= options.size() && startsLikeOption(argument) && !path);
    }
    const auto loneValueBefore = [&](std::size_t i) {
        return i > 0 && result.isOption[i - 1] && isLoneValueOption(arguments[i - 1]);
    };

    // Names first: which are ROMs, which are passed over and why.
    std::vector<std::string> why(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (result.isOption[i]) {
            continue;
        }
        const bool firstRom = !result.inPlace && result.roms.empty();
        if (firstRom) {
            // The ROM of a single run, wherever it stands.
        } else if (loneValueBefore(i)) {
            why[i] = "passed over: values follow their letter directly: " +
                     terminalSafe(arguments[i - 1] + name);
        } else if (!result.inPlace) {
            why[i] = "passed over: one ROM per run; see --in-place";
        } else if (std::find(result.roms.begin(), result.roms.end(), name) != result.roms.end()) {
            why[i] = "passed over: named twice";
        }
        if (why[i].empty()) {
            result.roms.push_back(name);
        } else {
            result.misunderstood = true;
        }
    }
    const auto passedOver = [&](std::size_t i) {
        return i < arguments.size() && !result.isOption[i] && !why[i].empty();
    };

    bool tagOption = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!result.isOption[i] || i == options.size() || argument == kInPlaceOption ||
            argument == kReplaceOption || argument == kFixOption) {
            continue;
        }
        const char letter = argument.size() >= 2 ? argument[1] : '\0';
        const bool lone = argument.size() == 2;
        switch (letter) {
            case 'c':
            case 'm':
            case 't':
            case 'p':
            case 'v':
                break;
            case 'o':
                if (result.inPlace) {
                    why[i] = "cannot be used with --in-place, which writes each ROM over itself";
                    result.outputWithInPlace = true;
                    result.misunderstood = true;
                }
                break;
            case 's':
            case 'e':
                tagOption = true;
                if (result.fix) {
                    why[i] = "passed over: --fix writes the save type the game needs";
                    result.misunderstood = true;
                    break;
                }
                if (!lone && (argument[2] < '1' || argument[2] > '6')) {
                    why[i] = "save types are 1 to 6; no save tag written";
                    result.notATypeAsked = true;
                    break;
                }
                if (argument.size() > 3) {  // -s16: the 1 decides, as it always has
                    why[i] = std::string("only the first digit counts: save type ") + argument[2];
                    result.misunderstood = true;
                    break;
                }
                [[fallthrough]];
            case 'r':
                if (lone) {
                    result.misunderstood = true;
                    if (!passedOver(i + 1)) {  // else the next argument's line says it
                        why[i] = std::string("the value follows the letter directly, as in ") +
                                 argument + (letter == 'r' ? "1" : "6");
                    }
                }
                break;
            default:
                why[i] = unknownOption(argument);
                result.misunderstood = true;
                break;
        }
        if (why[i].empty() && looksLikePath(argument)) {
            why[i] = std::string("no such file; taken as the option /") + letter;
            result.misunderstood = true;
        }
    }

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (!why[i].empty()) {
            result.explanations.push_back(line(arguments[i], why[i]));
        }
    }
    if (result.replace && !tagOption && !result.fix) {
        result.explanations.push_back(line(kReplaceOption, "works with -sN or -eN; nothing replaced"));
        result.misunderstood = true;
    }
    return result;
}

}  // namespace tagwright
