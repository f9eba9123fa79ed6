#include "readers/judgement.hpp"

#include "readers/readers.hpp"

namespace tagwright {

namespace {

// id, name, reads strings, a tag can change it, the reader, its need of the CRC-32.
const ReaderInfo kReaders[] = {
    {"vbam", "VBA-M", true, true, readVbam, vbamNeedsChecksum},
    {"vbam-libretro", "VBA-M libretro", true, true, readVbamLibretro, nullptr},
    {"nba", "NanoBoyAdvance", true, true, readNanoBoyAdvance, nullptr},
    {"skyemu", "SkyEmu", true, true, readSkyEmu, nullptr},
    {"ares", "ares", true, true, readAres, nullptr},
    {"mgba", "mGBA", false, false, readMgba, mgbaNeedsChecksum},
    {"gpsp", "gpSP", true, true, readGpsp, nullptr},
    {"mesen2", "Mesen2", true, true, readMesen2, nullptr},
    {"hades", "Hades", true, true, readHades, nullptr},
    {"noods", "NooDS", true, true, readNooDS, nullptr},
    {"rustboyadvance", "RustBoyAdvance-ng", true, true, readRustBoyAdvance, nullptr},
    {"gbajs", "GBA.js", true, true, readGbaJs, nullptr},
    {"iodinegba", "IodineGBA", true, true, readIodineGba, nullptr},
    {"meteor", "Meteor", true, true, readMeteor, nullptr},
    {"delta", "Delta", true, true, readDelta, nullptr},
    {"gbaemu", "GBA.emu", true, true, readGbaEmu, nullptr},
    {"desmume", "DeSmuME slot 2", true, false, readDesmume, nullptr},
    {"open-agb-firm", "open_agb_firm", true, true, readOpenAgbFirm, nullptr},
    {"gbarunner2", "GBARunner2", true, true, readGbaRunner2, nullptr},
    {"gbarunner3", "GBARunner3", true, true, readGbaRunner3, nullptr},
    {"twilight-slot2", "TWiLight Menu++ Slot-2", true, true, readTwilightSlot2, nullptr},
    {"ezflash-omega", "EZ-Flash Omega", false, false, readEzFlashOmega, nullptr},
    {"vbagx", "VBA-GX", false, false, readVbaGx, vbaGxNeedsChecksum},
    {"mister", "MiSTer", true, true, readMister, nullptr},
    {"pocket", "Analogue Pocket", true, true, readPocket, nullptr},
};

}  // namespace

std::span<const ReaderInfo> readerList() { return kReaders; }

bool checksumNeeded(const ImageFacts& header) {
    for (const ReaderInfo& reader : kReaders) {
        if (reader.needsChecksum != nullptr && reader.needsChecksum(header)) {
            return true;
        }
    }
    return false;
}

std::vector<ReaderResult> judgeImage(const ImageFacts& facts) {
    std::vector<ReaderResult> results;
    results.reserve(std::size(kReaders));
    for (const ReaderInfo& reader : kReaders) {
        ReaderResult result = reader.read(facts);
        result.id = reader.id;
        result.name = reader.name;
        result.readsStrings = reader.readsStrings;
        result.tagCanChange = reader.tagCanChange;
        results.push_back(std::move(result));
    }
    return results;
}

}  // namespace tagwright
