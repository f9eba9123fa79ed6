#include "console/rom_file_prompt.hpp"

#include "console/console_io.hpp"
#include "image/rom_image.hpp"
#include "image/rom_input.hpp"

namespace tagwright {

std::optional<std::string> promptRomFileName(std::istream& in, std::ostream& out) {
    for (;;) {
        writeLine(out, "Please type name of GBA ROM file.");
        writeLine(out, "NOTE:Please include the .GBA extension!");
        out << "Filename: ";
        std::string name;
        const bool read = readWord(name, in, out);
        writeLine(out);
        if (!read || !out) {
            return std::nullopt;  // no name can come, or nobody sees the question
        }
        if (RomImage::canOpen(name)) {
            return name;
        }
        writeLine(out, kCannotOpenRom);
        writeLine(out, "Please check your spelling and try again!");
    }
}

}  // namespace tagwright
