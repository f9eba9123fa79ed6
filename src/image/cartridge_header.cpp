#include "image/cartridge_header.hpp"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace tagwright {

static_assert(sizeof(CartridgeHeader) == CartridgeHeader::kSize,
              "the header record must have no padding");
static_assert(std::is_trivially_copyable_v<CartridgeHeader>);
static_assert(offsetof(CartridgeHeader, logo) == 0x04);
static_assert(offsetof(CartridgeHeader, title) == 0xA0);
static_assert(offsetof(CartridgeHeader, gameCode) == 0xAC);
static_assert(offsetof(CartridgeHeader, makerCode) == 0xB0);
static_assert(offsetof(CartridgeHeader, fixedValue) == 0xB2);
static_assert(offsetof(CartridgeHeader, mainUnitCode) == 0xB3);
static_assert(offsetof(CartridgeHeader, deviceType) == 0xB4);
static_assert(offsetof(CartridgeHeader, reservedArea1) == 0xB5);
static_assert(offsetof(CartridgeHeader, version) == 0xBC);
static_assert(offsetof(CartridgeHeader, complementCheck) == 0xBD);
static_assert(offsetof(CartridgeHeader, reservedArea2) == 0xBE);

const std::array<std::uint8_t, CartridgeHeader::kLogoSize> CartridgeHeader::kLogo = {
    0x24, 0xFF, 0xAE, 0x51, 0x69, 0x9A, 0xA2, 0x21, 0x3D, 0x84, 0x82, 0x0A, 0x84, 0xE4, 0x09, 0xAD,
    0x11, 0x24, 0x8B, 0x98, 0xC0, 0x81, 0x7F, 0x21, 0xA3, 0x52, 0xBE, 0x19, 0x93, 0x09, 0xCE, 0x20,
    0x10, 0x46, 0x4A, 0x4A, 0xF8, 0x27, 0x31, 0xEC, 0x58, 0xC7, 0xE8, 0x33, 0x82, 0xE3, 0xCE, 0xBF,
    0x85, 0xF4, 0xDF, 0x94, 0xCE, 0x4B, 0x09, 0xC1, 0x94, 0x56, 0x8A, 0xC0, 0x13, 0x72, 0xA7, 0xFC,
    0x9F, 0x84, 0x4D, 0x73, 0xA3, 0xCA, 0x9A, 0x61, 0x58, 0x97, 0xA3, 0x27, 0xFC, 0x03, 0x98, 0x76,
    0x23, 0x1D, 0xC7, 0x61, 0x03, 0x04, 0xAE, 0x56, 0xBF, 0x38, 0x84, 0x00, 0x40, 0xA7, 0x0E, 0xFD,
    0xFF, 0x52, 0xFE, 0x03, 0x6F, 0x95, 0x30, 0xF1, 0x97, 0xFB, 0xC0, 0x85, 0x60, 0xD6, 0x80, 0x25,
    0xA9, 0x63, 0xBE, 0x03, 0x01, 0x4E, 0x38, 0xE2, 0xF9, 0xA2, 0x34, 0xFF, 0xBB, 0x3E, 0x03, 0x44,
    0x78, 0x00, 0x90, 0xCB, 0x88, 0x11, 0x3A, 0x94, 0x65, 0xC0, 0x7C, 0x63, 0x87, 0xF0, 0x3C, 0xAF,
    0xD6, 0x25, 0xE4, 0x8B, 0x38, 0x0A, 0xAC, 0x72, 0x21, 0xD4, 0xF8, 0x07,
};

CartridgeHeader::CartridgeHeader()
    : entryBranch{0x2E, 0x00, 0x00, 0xEA},
      logo(kLogo),
      title{},
      gameCode{},
      makerCode{'0', '1'},
      fixedValue(0x96),
      mainUnitCode(0x00),
      deviceType(0x80),
      reservedArea1{},
      version(0),
      complementCheck(0),
      reservedArea2{} {}

namespace {

// Copies at most field.size() leading bytes of text into the field and zeroes the rest.
template <std::size_t N>
void storeText(std::array<std::uint8_t, N>& field, std::string_view text) {
    field.fill(0);
    const std::size_t count = std::min(N, text.size());
    std::memcpy(field.data(), text.data(), count);
}

}  // namespace

void CartridgeHeader::setTitle(std::string_view text) {
    // The title ends at the first zero character of the text, like a C string.
    storeText(title, text.substr(0, text.find('\0')));
}

void CartridgeHeader::setGameCode(std::string_view text) {
    storeText(gameCode, text);
}

void CartridgeHeader::setMakerCode(std::string_view text) {
    storeText(makerCode, text);
}

void CartridgeHeader::setVersion(std::int32_t number) {
    version = static_cast<std::uint8_t>(static_cast<std::uint32_t>(number) & 0xFFu);
}

std::uint8_t CartridgeHeader::computeComplementCheck() const {
    const auto bytes = toBytes();
    unsigned sum = 0;
    for (std::size_t i = kChecksumFirst; i <= kChecksumLast; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>((0xE7u - (sum & 0xFFu)) & 0xFFu);
}

void CartridgeHeader::finalizeFrom(const CartridgeHeader& source) {
    logo = source.logo;
    fixedValue = source.fixedValue;
    deviceType = source.deviceType;
    reservedArea2.fill(0);
    complementCheck = computeComplementCheck();
}

void CartridgeHeader::overlay(std::span<const std::uint8_t> bytes) {
    const std::size_t count = std::min(kSize, bytes.size());
    if (count > 0) {
        std::memcpy(static_cast<void*>(this), bytes.data(), count);
    }
}

std::array<std::uint8_t, CartridgeHeader::kSize> CartridgeHeader::toBytes() const {
    std::array<std::uint8_t, kSize> bytes{};
    std::memcpy(bytes.data(), static_cast<const void*>(this), kSize);
    return bytes;
}

}  // namespace tagwright
