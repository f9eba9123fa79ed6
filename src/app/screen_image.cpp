#include "app/screen_image.hpp"

#include "app/probe_image.hpp"
#include "console/rom_file_prompt.hpp"

namespace tagwright {

std::unique_ptr<RomImage> loadRomForScreen(std::string& name, std::istream& in, std::ostream& out) {
    const auto typed = promptRomFileName(in, out);
    if (!typed) {
        return nullptr;
    }
    name = *typed;
    const auto size = probeImage.probeSize(name, out);
    if (!size) {
        return nullptr;
    }
    auto image = std::make_unique<RomImage>(*size, out);
    if (!image->hasBuffer() || !image->load(name, out, probeImage.probedFile())) {
        return nullptr;
    }
    return image;
}

}  // namespace tagwright
