#include "console/rom_file_prompt.hpp"

#include "console/console_io.hpp"
#include "image/rom_image.hpp"

namespace tagwright {

std::optional<std::string> promptRomFileName(std::istream& in, std::ostream& out) {
    for (;;) {
        writeLine(out, "Please type name of GBA ROM file.");
        writeLine(out, "NOTE:Please include the .GBA extension!");
        out << "Filename: ";
        std::string name;
        if (!readWord(name, in, out)) {
            writeLine(out);
            return std::nullopt;
        }
        writeLine(out);
        if (RomImage::canOpen(name)) {
            return name;
        }
        writeLine(out, "There was a problem opening the file you specified!");
        writeLine(out, "Please check your spelling and try again!");
    }
}

}  // namespace tagwright
