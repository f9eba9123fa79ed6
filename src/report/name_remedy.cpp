#include "report/name_remedy.hpp"

#include <algorithm>

namespace tagwright {

std::string nameReadersOpen(const std::string& name) {
    const std::size_t slash = name.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    return (dot == std::string::npos || dot == 0 ? base : base.substr(0, dot)) + ".gba";
}

std::string renamedPath(const std::string& path, const std::string& name) {
    const std::size_t slash = path.find_last_of("/\\");
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + name;
}

bool anyRefusesName(std::span<const ReaderResult> results, std::span<const std::size_t> among) {
    return std::any_of(among.begin(), among.end(), [&](std::size_t i) {
        return results[i].outcome == SaveKind::Refused && results[i].decidedBy == DecidedBy::Name;
    });
}

}  // namespace tagwright
