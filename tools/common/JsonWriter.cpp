#include "tools/common/JsonWriter.h"

#include <cstdio>

namespace tooling {

namespace {

const char32_t kReplacement = 0xFFFD;

// The next code point of UTF-8 text, or U+FFFD for a byte that does not start a well-formed
// sequence (overlong forms, surrogates and values past U+10FFFF included); advances i past it.
char32_t NextUtf8(std::string_view s, size_t& i) {
    const unsigned char b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80)
        return b0;
    int more;
    char32_t c, min;
    if ((b0 & 0xE0) == 0xC0) {
        more = 1, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        more = 2, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        more = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        return kReplacement;
    }
    size_t j = i;
    for (int k = 0; k < more; ++k, ++j) {
        if (j >= s.size() || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80)
            return kReplacement;
        c = (c << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return kReplacement;
    i = j;
    return c;
}

} // namespace

void JsonWriter::NewLine() {
    if (m_indent <= 0)
        return;
    m_out += '\n';
    m_out.append(m_levels.size() * static_cast<size_t>(m_indent), ' ');
}

void JsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_levels.empty())
        return;
    if (!m_levels.back().empty)
        m_out += ',';
    m_levels.back().empty = false;
    NewLine();
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    m_out += bracket;
    m_levels.push_back(Level{bracket == '{'});
}

void JsonWriter::Close(char bracket) {
    const bool empty = m_levels.empty() || m_levels.back().empty;
    if (!m_levels.empty())
        m_levels.pop_back();
    if (!empty)
        NewLine();
    m_out += bracket;
    if (m_levels.empty())
        m_out += '\n';
}

JsonWriter& JsonWriter::BeginObject() {
    Open('{');
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    Close('}');
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Open('[');
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    Close(']');
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    BeforeValue();
    m_out += '"';
    for (size_t i = 0; i < name.size();)
        AppendEscaped(NextUtf8(name, i));
    m_out += m_indent > 0 ? "\": " : "\":";
    m_afterKey = true;
    return *this;
}

void JsonWriter::AppendEscaped(char32_t c) {
    switch (c) {
        case '"':
            m_out += "\\\"";
            return;
        case '\\':
            m_out += "\\\\";
            return;
        case '\n':
            m_out += "\\n";
            return;
        case '\r':
            m_out += "\\r";
            return;
        case '\t':
            m_out += "\\t";
            return;
        default:
            break;
    }
    if (c < 0x20) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
        m_out += buf;
    } else if (c < 0x80) {
        m_out += static_cast<char>(c);
    } else if (c < 0x800) {
        m_out += static_cast<char>(0xC0 | (c >> 6));
        m_out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        m_out += static_cast<char>(0xE0 | (c >> 12));
        m_out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        m_out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        m_out += static_cast<char>(0xF0 | (c >> 18));
        m_out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        m_out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        m_out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    m_out += '"';
    for (size_t i = 0; i < utf8.size();)
        AppendEscaped(NextUtf8(utf8, i));
    m_out += '"';
    return *this;
}

JsonWriter& JsonWriter::String(std::u16string_view utf16) {
    BeforeValue();
    m_out += '"';
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendEscaped(c);
    }
    m_out += '"';
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
    BeforeValue();
    m_out += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Uint(uint64_t value) {
    BeforeValue();
    m_out += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    m_out += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    m_out += "null";
    return *this;
}

} // namespace tooling
