#include "readers/judgement.hpp"

#include "readers/readers.hpp"

namespace tagwright {

namespace {

// id, name, reads strings, may be warned about, the reader.
const ReaderInfo kReaders[] = {
    {"vbam", "VBA-M", true, true, readVbam},
    {"vbam-libretro", "VBA-M libretro", true, true, readVbamLibretro},
    {"nba", "NanoBoyAdvance", true, true, readNanoBoyAdvance},
    {"skyemu", "SkyEmu", true, true, readSkyEmu},
    {"ares", "ares", true, true, readAres},
    {"mgba", "mGBA", false, false, readMgba},
    {"gpsp", "gpSP", true, true, readGpsp},
    {"mesen2", "Mesen2", true, true, readMesen2},
    {"hades", "Hades", true, true, readHades},
    {"noods", "NooDS", true, true, readNooDS},
    {"rustboyadvance", "RustBoyAdvance-ng", true, true, readRustBoyAdvance},
    {"gbajs", "GBA.js", true, true, readGbaJs},
    {"iodinegba", "IodineGBA", true, true, readIodineGba},
    {"meteor", "Meteor", true, true, readMeteor},
    {"delta", "Delta", true, true, readDelta},
    {"gbaemu", "GBA.emu", true, true, readGbaEmu},
    {"desmume", "DeSmuME slot 2", true, false, readDesmume},
    {"open-agb-firm", "open_agb_firm", true, true, readOpenAgbFirm},
    {"gbarunner2", "GBARunner2", true, true, readGbaRunner2},
    {"gbarunner3", "GBARunner3", true, true, readGbaRunner3},
    {"twilight-slot2", "TWiLight Menu++ Slot-2", true, true, readTwilightSlot2},
    {"ezflash-omega", "EZ-Flash Omega", false, false, readEzFlashOmega},
    {"vbagx", "VBA-GX", false, false, readVbaGx},
    {"mister", "MiSTer", true, true, readMister},
    {"pocket", "Analogue Pocket", true, true, readPocket},
};

}  // namespace

std::span<const ReaderInfo> readerList() { return kReaders; }

std::vector<ReaderResult> judgeImage(const ImageFacts& facts) {
    std::vector<ReaderResult> results;
    results.reserve(std::size(kReaders));
    for (const ReaderInfo& reader : kReaders) {
        ReaderResult result = reader.read(facts);
        result.id = reader.id;
        result.name = reader.name;
        result.readsStrings = reader.readsStrings;
        result.warnable = reader.warnable;
        results.push_back(std::move(result));
    }
    return results;
}

}  // namespace tagwright
