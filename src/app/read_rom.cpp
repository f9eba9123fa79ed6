#include "app/read_rom.hpp"

#include "app/probe_image.hpp"
#include "image/archive_magic.hpp"
#include "image/file_layer.hpp"

namespace tagwright {

RomRead readRom(const std::string& name, std::ostream& out) {
    RomRead read;
    const auto size = probeImage.probeSize(name, out);
    if (!size) {
        read.failure = files::lastFailure();
        return read;
    }
    auto image = std::make_unique<RomImage>(*size, out);
    if (!image->hasBuffer()) {
        read.failure = "not enough memory to hold it";
        return read;
    }
    if (!image->load(name, out, probeImage.probedFile())) {
        read.failure = files::lastFailure();
        return read;
    }
    const auto bytes = image->buffer().first(static_cast<std::size_t>(*size));
    if (const auto archive =
            archiveKindOf(bytes.first(std::min(bytes.size(), kArchiveMagicLength)))) {
        read.refusal = archiveRefusal(*archive);
        return read;
    }
    read.image = std::move(image);
    return read;
}

}  // namespace tagwright
