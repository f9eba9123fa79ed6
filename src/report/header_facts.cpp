#include "report/header_facts.hpp"

#include <algorithm>

#include "image/cartridge_header.hpp"

namespace tagwright {

HeaderFacts headerFactsOf(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    CartridgeHeader header;
    std::array<std::uint8_t, CartridgeHeader::kSize> bytes{};
    const std::size_t count = std::min(head.size(), bytes.size());
    std::copy_n(head.begin(), count, bytes.begin());
    header.overlay(bytes);

    HeaderFacts facts;
    facts.complete = fileSize >= CartridgeHeader::kSize;
    facts.logoOk = header.logo == CartridgeHeader::kLogo;
    facts.fixedValue = header.fixedValue;
    facts.storedCheck = header.complementCheck;
    facts.computedCheck = header.computeComplementCheck();
    const auto titleEnd = std::find(header.title.begin(), header.title.end(), 0);
    facts.title.assign(header.title.begin(), titleEnd);
    facts.gameCode.assign(header.gameCode.begin(), header.gameCode.end());
    facts.makerCode.assign(header.makerCode.begin(), header.makerCode.end());
    facts.version = header.version;
    return facts;
}

}  // namespace tagwright
