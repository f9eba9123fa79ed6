// Save protocols in code the analysis did not reach: linked, perhaps never called.
//
// The sweep looks only where save code would build its addresses:
//   - literal words 0x0E000000-0x0E00FFFF, 0x0D000000 and 0x0DFFFF00, with the
//     PC-relative loads that read them (Thumb LDR Rd, [PC, #imm8*4]; ARM LDR Rd,
//     [PC, #+-imm12]);
//   - Thumb MOVS Rd, #imm8 followed by LSLS Rd, Rd, #n, and ARM MOV Rd, #imm, that make
//     0x0E000000 or 0x0D000000.
// Around each such instruction not already reached it decodes straight through a short
// window (48 bytes before, 160 after), registers unknown at its start and after every
// branch away, and classifies what it sees. What it finds never decides: it says that
// save code is linked, for the judgement to weigh where the reachable code could not be
// followed everywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "needs/code_prescan.hpp"
#include "needs/halfword_marks.hpp"
#include "needs/save_protocol.hpp"

namespace tagwright {

// `prescan` is finished over `rom`.
ProtocolFindings sweepUnreachedCode(std::span<const std::uint8_t> rom, const HalfwordMarks& reached,
                                    const CodePrescan& prescan);

// The first word of the ROM that is a save memory's own address (0x0E000000, 0x0E005555,
// 0x0E002AAA, 0x0D000000 or 0x0DFFFF00) and that no PC-relative load (Thumb LDR Rd,
// [PC, #imm8*4], ARM LDR Rd, [PC, #+-imm12]) can read: data, such as an initialised
// variable or a table of pointers, through which code may reach the save memory.
std::optional<std::uint32_t> saveAddressAsData(std::span<const std::uint8_t> rom, const CodePrescan& prescan);

}  // namespace tagwright
