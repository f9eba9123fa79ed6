// Every modelled reader, one function each; each unit states its reader's rule at its
// top. judgement.cpp lists them in report order.
#pragma once

#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"

namespace tagwright {

ReaderResult readVbam(const ImageFacts& facts);            // vbam_family.cpp
ReaderResult readVbamLibretro(const ImageFacts& facts);    // vbam_libretro.cpp
ReaderResult readNanoBoyAdvance(const ImageFacts& facts);  // nanoboyadvance.cpp
ReaderResult readSkyEmu(const ImageFacts& facts);          // skyemu.cpp
ReaderResult readAres(const ImageFacts& facts);            // ares.cpp
ReaderResult readMgba(const ImageFacts& facts);            // mgba.cpp
ReaderResult readGpsp(const ImageFacts& facts);            // gpsp.cpp
ReaderResult readMesen2(const ImageFacts& facts);          // mesen2.cpp
ReaderResult readHades(const ImageFacts& facts);           // hades.cpp
ReaderResult readNooDS(const ImageFacts& facts);           // noods.cpp
ReaderResult readRustBoyAdvance(const ImageFacts& facts);  // rustboyadvance.cpp
ReaderResult readGbaJs(const ImageFacts& facts);           // gbajs.cpp
ReaderResult readIodineGba(const ImageFacts& facts);       // run_time_readers.cpp
ReaderResult readMeteor(const ImageFacts& facts);          // run_time_readers.cpp
ReaderResult readDelta(const ImageFacts& facts);           // vbam_family.cpp
ReaderResult readGbaEmu(const ImageFacts& facts);          // vbam_family.cpp
ReaderResult readDesmume(const ImageFacts& facts);         // desmume.cpp
ReaderResult readOpenAgbFirm(const ImageFacts& facts);     // library_string_readers.cpp
ReaderResult readGbaRunner2(const ImageFacts& facts);      // library_string_readers.cpp
ReaderResult readGbaRunner3(const ImageFacts& facts);      // library_string_readers.cpp
ReaderResult readTwilightSlot2(const ImageFacts& facts);   // library_string_readers.cpp
ReaderResult readEzFlashOmega(const ImageFacts& facts);    // code_only_readers.cpp
ReaderResult readVbaGx(const ImageFacts& facts);           // code_only_readers.cpp
ReaderResult readMister(const ImageFacts& facts);          // run_time_readers.cpp
ReaderResult readPocket(const ImageFacts& facts);          // run_time_readers.cpp

// The readers that use the file's CRC-32, and when (from the header alone).
bool vbamNeedsChecksum(const ImageFacts& header);   // vbam_family.cpp
bool mgbaNeedsChecksum(const ImageFacts& header);   // mgba.cpp
bool vbaGxNeedsChecksum(const ImageFacts& header);  // code_only_readers.cpp

}  // namespace tagwright
