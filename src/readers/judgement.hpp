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
    bool warnable;  // reads strings and a tag can change what it gives
    ReaderResult (*read)(const ImageFacts& facts);
};

// Every modelled reader, in report order.
std::span<const ReaderInfo> readerList();

// Every modelled reader's result, in report order.
std::vector<ReaderResult> judgeImage(const ImageFacts& facts);

}  // namespace tagwright
