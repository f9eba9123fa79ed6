// One judgement of an image by every modelled reader, as plain values.
//
// Use: gather the facts in one pass (ImageScanner, or factsOfBytes for bytes in
// memory), then judgeImage(facts). The readers come in a fixed order, the order of
// kReaderIds; front ends only format the results.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readers/image_facts.hpp"
#include "readers/reader_result.hpp"

namespace tagwright {

struct ReaderInfo {
    std::string_view id;
    std::string_view name;
    bool readsStrings;
    bool tagCanChange;  // reads strings and a tag can change what it gives
    ReaderResult (*read)(const ImageFacts& facts);
    // Whether the reader needs the file's CRC-32, judged from the first 0x200 bytes
    // (facts holding only `head`); none: never.
    bool (*needsChecksum)(const ImageFacts& header);
};

// Every modelled reader, in report order.
std::span<const ReaderInfo> readerList();

// Whether some reader needs the CRC-32 of a file that starts with `header.head`.
bool checksumNeeded(const ImageFacts& header);

// Every modelled reader's result, in report order.
std::vector<ReaderResult> judgeImage(const ImageFacts& facts);

}  // namespace tagwright
