// The report the page shows for a file's bytes, as one JSON object:
//
//   {"size": n, "powerOfTwo": bool,
//    "header": {"complete": bool, "title": text, "gameCode": text, "makerCode": text,
//               "version": n, "logoOk": bool, "fixedValue": n, "storedCheck": n,
//               "computedCheck": n, "starts": bool},
//    "strings": [{"offset": n, "text": text, "aligned": bool}, ...], "stringCount": n,
//    "readers": [{"name": text, "readsStrings": bool, "outcome": text, "reason": text}, ...]}
//
// Header texts are the field's bytes (the title up to its first zero), each byte one
// character U+0000..U+00FF; "reason" is empty when the file's one type simply decides.
// Readers come in the order of save_readers.hpp; the name is the file's (SkyEmu
// looks at it).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tagwright::web {

std::string reportJson(std::span<const std::uint8_t> bytes, std::string_view name);

}  // namespace tagwright::web
