#include "report/text_report.hpp"

#include "console/terminal_text.hpp"
#include "image/hex_number.hpp"
#include "readers/string_reading.hpp"
#include "report/name_remedy.hpp"
#include "report/outcome_groups.hpp"
#include "report/type_asked.hpp"
#include "report/type_needed.hpp"

namespace tagwright {

namespace {

constexpr std::size_t kWidth = 80;
constexpr std::size_t kListedStrings = 16;
constexpr const char* kIndent = "           ";  // under the text after "  verdict  "

// Printable ASCII as it is, any other byte as \xNN.
std::string shown(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
            text.push_back(c);
        } else {
            text += "\\x" + hex(b, 2).substr(2);
        }
    }
    return text;
}

bool isPowerOfTwo(std::uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

std::string sizeLine(const FileReport& report) {
    const std::uint64_t size = report.facts.size;
    std::string facts = isPowerOfTwo(size) ? "power of two" : "not a power of two";
    if (size % 4 != 0) {
        facts += ", not a multiple of 4";
    }
    if (size > (std::uint64_t{32} << 20)) {
        facts += ", over 32 MiB";
    }
    return terminalSafe(report.facts.name) + "  " + std::to_string(size) + " bytes (" + facts +
           ")";
}

std::string headerLine(const HeaderFacts& h) {
    if (!h.complete) {
        return "incomplete: the file is shorter than the 192 header bytes";
    }
    std::string line = '"' + shown(h.title) + "\" " + shown(h.gameCode) + ' ' +
                       shown(h.makerCode) + " v" + std::to_string(h.version) + "   logo " +
                       (h.logoOk ? "ok" : "BAD") + "  0xB2 ";
    line += h.fixedOk() ? "ok" : "is " + hex(h.fixedValue, 2) + " BAD (should be 0x96)";
    line += "  complement " + hex(h.storedCheck, 2);
    line += h.checkOk() ? " ok" : " BAD (should be " + hex(h.computedCheck, 2) + ")";
    return line;
}

// Writes `text` from column `start`, breaking at spaces so that no line passes kWidth
// where a word allows it; continuation lines start at column `indent`.
void printWrapped(const std::string& text, std::size_t start, std::size_t indent,
                  std::ostream& out) {
    std::size_t column = start;
    std::size_t from = 0;
    bool firstWord = true;
    while (from < text.size()) {
        std::size_t end = text.find(' ', from);
        end = end == std::string::npos ? text.size() : end;
        const std::string_view word = std::string_view(text).substr(from, end - from);
        if (!firstWord) {
            if (column + 1 + word.size() > kWidth) {
                out << '\n' << std::string(indent, ' ');
                column = indent;
            } else {
                out << ' ';
                ++column;
            }
        }
        out << word;
        column += word.size();
        firstWord = false;
        from = end + 1;
    }
    out << '\n';
}

void printStrings(const FileReport& report, std::ostream& out) {
    out << "  strings  ";
    std::size_t listed = 0;
    std::size_t more = 0;
    for (const StringPlace& place : report.facts.places) {
        if (!isSaveTypeString(place)) {
            continue;
        }
        if (listed == kListedStrings) {
            ++more;
            continue;
        }
        out << (listed == 0 ? "" : kIndent) << place.text << " at " << hex(place.offset, 1) << " ("
            << (place.aligned() ? "aligned" : "not aligned") << ")\n";
        ++listed;
    }
    if (listed == 0) {
        out << "none\n";
    } else if (more > 0) {
        out << kIndent << "and " << more << " more\n";
    }
}

std::string typesText(const std::vector<SaveType>& types) {
    std::string text;
    for (const SaveType type : types) {
        text += text.empty() ? "" : ", ";
        text += typeAskedText(type);
    }
    return text;
}

// The game's need first: the headline, then each piece of evidence shown, in a
// player's words, with the developer's detail under it.
void printNeeds(const GameNeeds& needs, std::ostream& out) {
    out << "  needs    ";
    printWrapped(needsHeadline(needs), 11, 11, out);
    for (const NeedEvidence* item : shownEvidence(needs)) {
        const std::string place = evidencePlace(*item);
        out << kIndent << "- ";
        printWrapped(terminalSafe(item->what) + (place.empty() ? "" : " " + place), 13, 13, out);
        if (!item->detail.empty()) {
            out << kIndent << "  ";
            printWrapped(terminalSafe(item->detail), 13, 13, out);
        }
    }
    if (needs.outcome == SaveMemory::Unknown && !needs.trialAvailable) {
        out << kIndent << "(this build has no trial run, which might tell)\n";
    }
}

void printVerdict(const FileReport& report, std::ostream& out) {
    const Verdict& v = report.verdict;
    const auto judged = v.judged();
    if (v.ok()) {
        out << "  verdict  ok: every reader that reads strings gives "
            << typeAskedText(judged.front()) << '\n';
        return;
    }
    std::string text;
    const auto add = [&text](const std::string& part) {
        text += text.empty() ? "short: " : "; ";
        text += part;
    };
    if (!v.headerStarts) {
        add("the console would not start it (header)");
    }
    if (judged.empty()) {
        add("no save-library string asks for a type");
    } else if (judged.size() > 1) {
        add("the strings ask for more than one type (" + typesText(v.asked) + ")");
    } else if (!v.disagreeing.empty()) {
        std::string names;
        for (const std::size_t i : v.disagreeing) {
            names += names.empty() ? "" : ", ";
            names += report.results[i].name;
        }
        const std::size_t count = v.disagreeing.size();
        add((count == 1 ? names + " does" : std::to_string(count) + " readers do") +
            " not give " + typeAskedText(judged.front()) + (count == 1 ? "" : ": " + names));
    }
    if (!v.rename.empty()) {
        add("rename it " + terminalSafe(v.rename) +
            (v.commands.empty() ? ", which is all it needs" : ", then run the command"));
    }
    out << "  verdict  ";
    printWrapped(text, 11, 11, out);
    for (const auto& [type, command] : v.commands) {
        out << "  command  ";
        if (v.commands.size() > 1) {
            out << "for " << typeAskedText(type) << ": ";
        }
        if (command) {
            const std::string name =
                v.rename.empty() ? report.facts.name : renamedPath(report.facts.name, v.rename);
            out << "tagwright " << terminalSafe(shellWord(name)) << ' '
                << command->optionsAndNeeds() << '\n';
        } else {
            out << "none makes every reader that reads strings give " << typeAskedText(type)
                << '\n';
        }
    }
}

}  // namespace

std::string shellWord(const std::string& name) {
    const bool plain = !name.empty() && name.find_first_not_of(
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789_-+./,:@%") == std::string::npos;
    if (plain && name[0] != '-') {
        return name;
    }
    std::string quoted = "'";
    for (const char c : name) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

void printTextReport(const FileReport& report, std::ostream& out) {
    out << sizeLine(report) << '\n';
    printNeeds(report.needs, out);
    out << "  header   " << headerLine(report.header) << '\n';
    printStrings(report, out);
    bool first = true;
    for (const OutcomeGroup& group : groupByOutcome(report.results)) {
        out << (first ? "  readers  " : kIndent);
        first = false;
        const std::string text = group.outcome + ": " + membersText(report.results, group);
        printWrapped(text, 11, 13, out);
    }
    printVerdict(report, out);
    out << std::flush;
}

void printUnreadable(const std::string& name, const std::string& problem, std::ostream& out) {
    out << terminalSafe(name) << "\n  " << problem << std::endl;
}

}  // namespace tagwright
