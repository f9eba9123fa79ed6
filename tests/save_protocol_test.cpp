// The save protocols' classifier, as a table: each case is a sequence of save-area
// accesses and DMA3 transfers in a short notation, and the memory the GBA's documented
// protocols say it uses.
//
//   wOFF=VV   8-bit store of VV (hex, or ? when not known) at 0x0E000000 + OFF (hex)
//   wOFF+?=VV the same at an offset not known beyond OFF
//   hOFF=VV   16-bit store
//   rOFF      8-bit load
//   >N / <N   DMA3 of N halfwords (or ?) to / from 0x0D000000
//   =N        DMA3 of N halfwords between RAM and ROM (not the EEPROM space)
//   |         end of a sequence (another function)
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "needs/save_protocol.hpp"

namespace tagwright {
namespace {

struct Case {
    const char* what;
    const char* accesses;
    bool wholeProgram;
    SaveMemory memory;
    std::uint32_t bytes;  // 0: no size
    bool sure;
};

constexpr auto S = SaveMemory::Sram;
constexpr auto F = SaveMemory::Flash;
constexpr auto E = SaveMemory::Eeprom;
constexpr auto N = SaveMemory::None;
constexpr auto U = SaveMemory::Unknown;

#define UNLOCK "w5555=AA w2AAA=55 "
const Case kCases[] = {
    {"nothing at all", "", true, N, 0, true},
    {"reads alone are not use", "r0000 r0001 r8000", true, N, 0, true},
    {"SRAM byte loop", "w0000=01 w0001=02 r0000", true, S, 32768, true},
    {"SRAM at an offset not known", "w0000+?=?", true, S, 32768, true},
    {"a store at 0x0E008000 means 64 KiB", "w0000=01 w8000=02", true, S, 65536, true},
    {"reading the 32 KiB mirror is not 64 KiB", "w0000=01 r8000", true, S, 32768, true},
    {"a halfword store is still a store", "h0010=1234", true, S, 32768, true},
    {"Flash ID read, whole program", "r0000 " UNLOCK "w5555=90 r0000 r0001 " UNLOCK "w5555=F0",
     true, F, 65536, true},
    {"Flash ID read in part of a run shows no size", UNLOCK "w5555=90 r0000 " UNLOCK "w5555=F0",
     false, F, 0, false},
    {"Flash sector erase and program, 64 KiB", UNLOCK "w5555=80 " UNLOCK "w3000=30 " UNLOCK
     "w5555=A0 w3004=42", true, F, 65536, true},
    {"sector erase whose 0x80 went out from another routine",
     UNLOCK "w5555=80 | " UNLOCK "w3000+?=30", true, F, 65536, true},
    {"Flash chip erase", UNLOCK "w5555=80 " UNLOCK "w5555=10", true, F, 65536, true},
    {"the programmed byte is no SRAM write even at 0x5555",
     UNLOCK "w5555=A0 w5555=AA", true, F, 65536, true},
    {"bank switch means 128 KiB", UNLOCK "w5555=B0 w0000=01 " UNLOCK "w5555=A0 w0010=42",
     true, F, 131072, true},
    {"bank switch in part of a run", UNLOCK "w5555=B0 w0000=00", false, F, 131072, true},
    {"command not known leaves the size open", UNLOCK "w5555=?", true, F, 0, false},
    {"an unlock broken off leaves the size open", "w5555=AA w1234=55", true, F, 0, false},
    {"an unlock cut by the end of a function", "w5555=AA w2AAA=55 | w5555=90", true, F, 0, false},
    {"AA elsewhere is an SRAM byte", "w5554=AA w2AAA=55 w5555=90", true, S, 32768, true},
    {"stores beside Flash commands are the chip's data",
     "w0100=01 | " UNLOCK "w5555=90", true, F, 65536, true},
    {"EEPROM 512 B read request", ">9 <68", true, E, 512, true},
    {"EEPROM 512 B write", ">73", true, E, 512, true},
    {"EEPROM 8 KiB read request", ">17 <68", true, E, 8192, true},
    {"EEPROM 8 KiB write", ">81", true, E, 8192, true},
    {"EEPROM answer alone shows no size", "<68", true, E, 0, false},
    {"EEPROM count not known", ">?", true, E, 0, false},
    {"EEPROM of both sizes disagrees", ">9 >81", true, U, 0, false},
    {"17 halfwords from the EEPROM are no request", "<17", true, E, 0, false},
    {"DMA elsewhere is nothing", "=9 =17", true, N, 0, true},
    {"EEPROM and SRAM stores disagree", ">9 w0000=01", true, U, 0, false},
    {"EEPROM and Flash disagree", ">17 | " UNLOCK "w5555=90", true, U, 0, false},
};
#undef UNLOCK

std::uint32_t hex(const std::string& text) { return static_cast<std::uint32_t>(std::stoul(text, nullptr, 16)); }

void play(SaveProtocol& protocol, const std::string& accesses) {
    std::istringstream in(accesses);
    std::string token;
    std::uint32_t at = 0x100;
    while (in >> token) {
        const ProtocolPlace where{at += 4, std::nullopt};
        if (token == "|") {
            protocol.endSequence();
            continue;
        }
        const char kind = token[0];
        if (kind == '>' || kind == '<' || kind == '=') {
            Dma3Transfer dma;
            const std::uint32_t ram = 0x03000000, eeprom = 0x0D000000, rom = 0x08001000;
            dma.source = kind == '<' ? eeprom : kind == '=' ? rom : ram;
            dma.destination = kind == '>' ? eeprom : ram;
            if (token.substr(1) != "?") dma.count = std::stoul(token.substr(1));
            dma.control = 0x8000;
            dma.where = where;
            protocol.dma3(dma);
            continue;
        }
        SaveAccess access;
        access.where = where;
        access.write = kind != 'r';
        access.width = kind == 'h' ? 2 : 1;
        const auto equals = token.find('=');
        std::string address = token.substr(1, equals == std::string::npos ? std::string::npos : equals - 1);
        if (address.ends_with("+?")) {
            access.exactAddress = false;
            address.resize(address.size() - 2);
        }
        access.address = 0x0E000000 + hex(address);
        if (equals != std::string::npos && token.substr(equals + 1) != "?") {
            access.value = hex(token.substr(equals + 1));
        }
        protocol.access(access);
    }
    protocol.endSequence();
}

TEST(SaveProtocol, ClassifiesEachProtocolAndStyle) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        SaveProtocol protocol;
        play(protocol, c.accesses);
        const ProtocolVerdict verdict = judgeFindings(protocol.findings(), c.wholeProgram);
        EXPECT_EQ(saveMemoryWord(verdict.memory), std::string(saveMemoryWord(c.memory)));
        EXPECT_EQ(verdict.bytes.value_or(0), c.bytes);
        EXPECT_EQ(verdict.sure, c.sure) << verdict.why;
    }
}

// The evidence names the deciding use first and says where it was seen; reads are
// shown as not being use.
TEST(SaveProtocol, EvidenceSaysWhatAndWhere) {
    SaveProtocol protocol;
    play(protocol, "r0000 w5555=AA w2AAA=55 w5555=B0 w0000=01");
    const auto evidence = findingsEvidence(protocol.findings(), NeedSource::Trial, Sureness::Decides);
    ASSERT_EQ(evidence.size(), 3u);
    EXPECT_EQ(evidence[0].memory, SaveMemory::Flash);
    EXPECT_NE(evidence[0].what.find("0xB0"), std::string::npos) << evidence[0].what;
    EXPECT_EQ(evidence[0].romOffset, 0x110u);  // the command's store, the fourth access
    EXPECT_EQ(evidence[1].bytes, 131072u);
    EXPECT_EQ(evidence[2].memory, SaveMemory::None);
    EXPECT_EQ(evidence[2].sureness, Sureness::Supports);
    EXPECT_EQ(evidence[2].source, NeedSource::Trial);
}

}  // namespace
}  // namespace tagwright
