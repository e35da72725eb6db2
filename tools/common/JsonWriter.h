// A small writer of JSON text for the tools' machine-readable results (--json, travlek --result).
// Values are written in the order they are given; the writer inserts the commas, the indentation
// and the escapes, so a result is valid JSON whatever the file names it carries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tooling {

class JsonWriter {
public:
    // indent 0 writes one line; otherwise nested values go on lines of their own, indented by that
    // many spaces a level.
    explicit JsonWriter(int indent = 2) : m_indent(indent) {}

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The name of the next member of the enclosing object.
    JsonWriter& Key(std::string_view name);

    // UTF-8 text; bytes that are not UTF-8 become U+FFFD, so the result always parses.
    JsonWriter& String(std::string_view utf8);
    // UTF-16 text, as the framework keeps it; an unpaired surrogate becomes U+FFFD.
    JsonWriter& String(std::u16string_view utf16);
    JsonWriter& Int(int64_t value);
    JsonWriter& Uint(uint64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Key and value in one call, for the common case.
    template <typename T> JsonWriter& Member(std::string_view name, const T& value) {
        Key(name);
        return Value(value);
    }

    // The text so far; after the outermost value is closed it ends with a newline.
    const std::string& Text() const { return m_out; }

private:
    JsonWriter& Value(std::string_view v) { return String(v); }
    JsonWriter& Value(const char* v) { return String(std::string_view(v)); }
    JsonWriter& Value(const std::string& v) { return String(std::string_view(v)); }
    JsonWriter& Value(std::u16string_view v) { return String(v); }
    JsonWriter& Value(const std::u16string& v) { return String(std::u16string_view(v)); }
    JsonWriter& Value(const char16_t* v) { return String(std::u16string_view(v)); }
    JsonWriter& Value(bool v) { return Bool(v); }
    JsonWriter& Value(int v) { return Int(v); }
    JsonWriter& Value(long v) { return Int(v); }
    JsonWriter& Value(long long v) { return Int(v); }
    JsonWriter& Value(unsigned v) { return Uint(v); }
    JsonWriter& Value(unsigned long v) { return Uint(v); }
    JsonWriter& Value(unsigned long long v) { return Uint(v); }

    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);
    void NewLine();
    void AppendEscaped(char32_t c);

    struct Level {
        bool object;
        bool empty = true;
    };
    std::string m_out;
    std::vector<Level> m_levels;
    bool m_afterKey = false;
    int m_indent;
};

} // namespace tooling
