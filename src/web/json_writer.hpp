// A small writer of JSON text: keys and values appended in order, commas placed for
// the caller. Strings are taken as bytes: printable ASCII stays, every other byte is
// written as \u00XX, so any input gives valid JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tagwright::web {

class JsonWriter {
  public:
    JsonWriter& beginObject(std::string_view key = {});
    JsonWriter& endObject();
    JsonWriter& beginArray(std::string_view key = {});
    JsonWriter& endArray();
    JsonWriter& field(std::string_view key, std::string_view text);
    JsonWriter& field(std::string_view key, const char* text) { return field(key, std::string_view(text)); }
    JsonWriter& field(std::string_view key, std::uint64_t number);
    JsonWriter& field(std::string_view key, bool value);
    const std::string& text() const { return text_; }

  private:
    void key(std::string_view name);
    void quoted(std::string_view bytes);

    std::string text_;
    bool needComma_ = false;
};

}  // namespace tagwright::web
