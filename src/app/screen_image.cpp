#include "app/screen_image.hpp"

#include "app/read_rom.hpp"
#include "console/rom_file_prompt.hpp"
#include "console/terminal_text.hpp"

namespace tagwright {

std::unique_ptr<RomImage> loadRomForScreen(std::string& name, std::istream& in, std::ostream& out,
                                           std::ostream& err) {
    const auto typed = promptRomFileName(in, out);
    if (!typed) {
        return nullptr;
    }
    name = *typed;
    RomRead read = readRom(name, out);
    if (!read.refusal.empty()) {
        err << "tagwright: " << terminalSafe(name) << ": " << read.refusal << std::endl;
    }
    return std::move(read.image);
}

}  // namespace tagwright
