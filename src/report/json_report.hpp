// The --info --json report: one JSON object per file, on one line (JSON Lines), written
// with json_writer.hpp (so any name is valid JSON). Members, in this order:
//
//   file        the name as given
//   file_hex    only when the name is not valid UTF-8: its bytes in hex, as "file"
//               then holds U+FFFD for each byte that is not
//   size        bytes
//   header      complete, title, game_code, maker_code, version, logo_ok, fixed_value,
//               fixed_ok, complement, complement_expected, complement_ok, starts
//   needs       {outcome, bytes, by, type, trial, evidence}: the save memory the game
//               needs (needs/game_needs.hpp): outcome one of sram, flash, eeprom, none,
//               unknown; bytes its size or null; by the source that decided (code,
//               trial, string), null when unknown; type the save type that gives it
//               (report/type_needed.hpp) or null; trial one of "run", "not needed",
//               "not in this build"; evidence [{source, memory, bytes, sureness, what,
//               detail, rom_offset, frame}], the deciding pieces first, sureness one of
//               decides, supports, unreached, rom_offset and frame null where unknown
//   strings     [{offset, text, aligned}] for each save-type string place
//   readers     [{id, name, outcome, bytes, decided_by, fallback, reads_strings,
//                 tag_can_change, reason}] in the readers' own order; outcome one of eeprom,
//               sram, flash, none, runtime, refused; bytes the size the reader fixes or
//               null; decided_by one of string, default, table, game-code, name, size,
//               header; tag_can_change: whether a tag can change what the reader gives (only
//               those are judged by the verdict and warned about after a save)
//   verdict     {ok, asked: [{type, text}], needed: {type, text} or null,
//               disagreeing: [ids] (readers not giving the type judged: the one
//               needed, else the one asked), commands: [{type,
//               options, command, needs_text_header}]}; options and command are null
//               when no command helps; needs_text_header: it helps only once the title,
//               game code and maker code are UTF-8 text; rename: the name a reader that
//               differs would open (name_remedy.hpp), or null when none refuses the name
//
// A file that cannot be read is {"file": ..., "error": "<the message>"}; an archive is
// {"file": ..., "archive": "zip" | "7z" | "rar" | "gzip", "error": "<its refusal>"}.
#pragma once

#include <string>

#include "report/file_report.hpp"

namespace tagwright {

std::string jsonReport(const FileReport& report);
std::string jsonUnreadable(const std::string& name, const std::string& problem,
                           const char* archive = nullptr);

}  // namespace tagwright
