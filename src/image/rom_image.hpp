// One cartridge image in memory, with the operations the front ends apply to it.
//
// Buffer layout (zeroed when obtained), with t = size rounded up to a multiple of 4:
//
//   [0, size)           the input file's bytes, its own first 192 bytes included
//   [size, t)           0 to 3 zero bytes, so that the tag starts word-aligned
//   [t, t + 12)         the tag area, where appendSaveTag() puts a save tag
//
// Most readers take save tags only at offsets that are multiples of 4 (see
// src/readers/), so an appended tag never follows an odd-sized image directly.
//
// The working header is a separate copy of the file's first 192 bytes; edits go
// to it only, and the empty-space search looks only at the buffer.
//
// Output file written by write():
//
//   TagArea::Omitted:   the image's size bytes
//   TagArea::Included:  the image's size bytes, the zero gap, then the tag area
//                       (12 to 15 bytes more)
//
// with the working header over bytes 0..191; a file shorter than 192 bytes grows
// to 192 bytes (the header alone). An image of up to 188 bytes has its tag area
// (partly) under the header, so it takes no appended tag: appendedTagFits() is false
// and appendSaveTag() does nothing. From 189 bytes on, the tag area starts at 192 or
// later and the tag follows the header.
//
// Sizes are signed 32-bit: inputs of 2 GiB or more are refused when measured.
// Operations that can fail report it on the stream they are given, in one line,
// and return false (or nothing); they never throw.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "image/cartridge_header.hpp"
#include "image/file_layer.hpp"
#include "image/library_strings.hpp"
#include "image/save_type.hpp"

namespace tagwright {

enum class Padding { None, ToPowerOfTwo };

// Whether an output file carries the zero gap and the tag area after the image (an
// appended tag) or ends with the image (a tag, if any, is inside it).
enum class TagArea { Omitted, Included };

// How a save treats the file the image was loaded from (files::ReplaceTerms).
struct SaveTerms {
    bool onlyOverInput = false;               // the save replaces its input or nothing
    files::HeldSignals* keepHeld = nullptr;   // signals held past the replacement
};

class RomImage {
  public:
    static constexpr std::size_t kTagAreaSize = kSaveTagSize;
    static constexpr std::size_t kTagAlignment = 4;

    // Where the tag area of an image of `size` bytes starts: size rounded up to a
    // multiple of 4.
    static std::size_t tagAreaOffset(std::int32_t size);

    // Both headers at their defaults, no buffer, size 0. Used only to measure files.
    RomImage() noexcept;
    // Obtains a zeroed buffer of tagAreaOffset(size) + 12 bytes. If it cannot be obtained, says so
    // on `out` and the image has no buffer: it must not be loaded, searched, tagged or written.
    explicit RomImage(std::int32_t size, std::ostream& out = std::cout);

    RomImage(const RomImage&) = delete;
    RomImage& operator=(const RomImage&) = delete;

    bool hasBuffer() const { return data_ != nullptr; }
    std::int32_t size() const { return size_; }
    std::int32_t emptySpaceOffset() const { return emptySpaceOffset_; }
    const CartridgeHeader& header() const { return header_; }
    // The image, the zero gap and the tag area; empty when there is no buffer.
    std::span<const std::uint8_t> buffer() const;

    // --- file operations (on top of the file layer, file_layer.hpp) ---

    // Whether the named file is a regular file that opens for reading.
    static bool canOpen(const std::string& name);
    // Measures the named file and records its length as this image's size, and which
    // file it was (probedFile()). Reports a file that cannot be opened or measured
    // (or is not a regular file), and one of 2 GiB or more, on `out`.
    std::optional<std::int32_t> probeSize(const std::string& name, std::ostream& out = std::cout);
    // The file the last successful probeSize() measured.
    const std::optional<files::FileFacts>& probedFile() const { return probed_; }
    // The file the last successful load() read.
    const std::optional<files::FileFacts>& fileRead() const { return read_; }
    // Reads the whole file (size bytes) into the buffer and its first 192 bytes over
    // the working header. Reports a file that cannot be opened, and one that is not
    // the file measured: another size, or another file than `measured`.
    bool load(const std::string& name, std::ostream& out = std::cout,
              const std::optional<files::FileFacts>& measured = std::nullopt);
    // Writes the output file (see the layout above), padded to the next power of two
    // when asked, in one step: the name shows the old file until the new one is
    // complete and synced, and a failure leaves it as it was. A failure to write the
    // padding is "Problem padding file". A save that finds the file loaded under the
    // name replaces it only if it is unchanged at that moment (and with
    // `terms.onlyOverInput` replaces nothing else); otherwise "Problem writing file".
    bool write(const std::string& name, TagArea tagArea, std::ostream& out = std::cout,
               Padding padding = Padding::None, const SaveTerms& terms = {}) const;

    // --- in-memory operations ---

    // What load() does once the file's bytes are read: copies bytes (at most size of
    // them) into the image and the first 192 of them over the working header.
    void loadBytes(std::span<const std::uint8_t> bytes);

    void setTitle(std::string_view text) { header_.setTitle(text); }
    void setGameCode(std::string_view text) { header_.setGameCode(text); }
    void setMakerCode(std::string_view text) { header_.setMakerCode(text); }
    void setVersion(std::int32_t number) { header_.setVersion(number); }
    // Repairs logo and fixed bytes from the default header and recomputes the check.
    void finalizeHeader() { header_.finalizeFrom(defaultHeader_); }

    // Whether an appended tag reaches the file: its area starts after the header.
    bool appendedTagFits() const { return tagAreaOffset(size_) >= CartridgeHeader::kSize; }
    // Puts the type's save tag into the tag area. A value outside 1 to 6, and an image
    // whose tag area lies under the header (appendedTagFits()), do nothing.
    void appendSaveTag(SaveType type);
    // Puts the type's save tag at emptySpaceOffset(); call only after findEmptySpace()
    // returned true. A value outside 1 to 6 does nothing.
    void embedSaveTag(SaveType type);
    // Overwrites the library save strings in the image of another kind than `type`
    // (library_strings.hpp); returns the changes, made or not.
    std::vector<LibraryStringChange> replaceLibraryStrings(SaveType type);
    // Puts back the zeros where embedSaveTag() put a tag (the run held zeros before);
    // nothing when no run was found.
    void clearEmbeddedTag();
    // Searches the image for a usable run of 12 zero bytes (see empty_space.hpp),
    // printing one "." per position examined and the outcome on `out`.
    bool findEmptySpace(std::ostream& out = std::cout);

    // The bytes write() puts into the file, in order: the working header, then the
    // buffer from offset 192 up to the end of the image or of the tag area.
    std::array<std::span<const std::uint8_t>, 2> outputSegments(TagArea tagArea) const;
    // How many 0xFF bytes write() puts after those segments.
    std::uint64_t outputFill(TagArea tagArea, Padding padding) const;

  private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };

    std::span<std::uint8_t> mutableBuffer();
    void putTag(std::size_t offset, SaveType type);

    std::unique_ptr<std::uint8_t[], FreeDeleter> data_;
    std::int32_t size_ = 0;
    std::int32_t emptySpaceOffset_ = -1;
    std::optional<files::FileFacts> probed_;
    std::optional<files::FileFacts> read_;
    CartridgeHeader header_;
    CartridgeHeader defaultHeader_;
};

}  // namespace tagwright
