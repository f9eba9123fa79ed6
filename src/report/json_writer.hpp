// A small writer of compact JSON text (one value per call chain, no spaces), for the
// reports that scripts and other front ends read.
//
// Strings: the text is taken as UTF-8 (image/utf8_text.hpp). Every valid sequence is kept as it is, except
//   0x22 (") -> \"   0x5C (backslash) -> two backslashes
//   0x08 0x09 0x0A 0x0C 0x0D -> \b \t \n \f \r
//   any other code point below U+0020, U+007F and U+0080..U+009F -> \u00XX (lower-case hex)
// so that no character of a string can act on a terminal. A byte that does not belong
// to a valid sequence (a stray continuation byte, a cut or overlong sequence, a
// surrogate, anything above U+10FFFF) becomes U+FFFD, written as \ufffd: the result
// is always valid JSON in UTF-8. Callers that must keep such bytes state them a second
// time in hex (see isValidUtf8(), image/utf8_text.hpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagwright {

// `text` as a quoted JSON string, by the rule above.
std::string jsonQuoted(std::string_view text);

class JsonWriter {
  public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The name of the next member of the object being written.
    JsonWriter& key(std::string_view name);
    JsonWriter& string(std::string_view text);
    JsonWriter& number(std::uint64_t value);
    JsonWriter& boolean(bool value);
    JsonWriter& null();

    const std::string& text() const { return text_; }

  private:
    void beforeValue();

    std::string text_;
    std::vector<bool> empty_;  // per open object or array: nothing written in it yet
    bool afterKey_ = false;
};

}  // namespace tagwright
