#include "image/archive_magic.hpp"

#include <algorithm>
#include <string_view>

namespace tagwright {

namespace {

struct Magic {
    ArchiveKind kind;
    std::string_view bytes;
};

using namespace std::string_view_literals;

constexpr Magic kMagics[] = {
    {ArchiveKind::Zip, "PK\x03\x04"sv},
    {ArchiveKind::Zip, "PK\x05\x06"sv},
    {ArchiveKind::SevenZip, "7z\xBC\xAF\x27\x1C"sv},
    {ArchiveKind::Rar, "Rar!\x1A\x07"sv},
    {ArchiveKind::Gzip, "\x1F\x8B\x08"sv},
};

}  // namespace

std::optional<ArchiveKind> archiveKindOf(std::span<const std::uint8_t> firstBytes) {
    for (const Magic& magic : kMagics) {
        if (firstBytes.size() >= magic.bytes.size() &&
            std::equal(magic.bytes.begin(), magic.bytes.end(), firstBytes.begin(),
                       [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; })) {
            return magic.kind;
        }
    }
    return std::nullopt;
}

const char* archiveWord(ArchiveKind kind) {
    switch (kind) {
        case ArchiveKind::Zip:
            return "zip";
        case ArchiveKind::SevenZip:
            return "7z";
        case ArchiveKind::Rar:
            return "rar";
        case ArchiveKind::Gzip:
            break;
    }
    return "gzip";
}

std::string archiveRefusal(ArchiveKind kind) {
    switch (kind) {
        case ArchiveKind::Zip:
            return "a ZIP archive, not a ROM: unzip it first";
        case ArchiveKind::SevenZip:
            return "a 7z archive, not a ROM: extract it first (7z x)";
        case ArchiveKind::Rar:
            return "a RAR archive, not a ROM: extract it first (unrar x)";
        case ArchiveKind::Gzip:
            break;
    }
    return "a gzip file, not a ROM: gunzip it first";
}

}  // namespace tagwright
