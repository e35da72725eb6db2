// Deterministic sample content for the package benchmarks: plain text, source-like text, random
// binary data, semi-compressible binary data and base64 text of random bytes.
#pragma once

#include <cstdint>
#include <string>

namespace benchdata {

struct Rng {
    uint64_t s;
    uint64_t Next() {
        // xorshift64*: small, fast and the same on every host.
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 2685821657736338717ull;
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
};

inline const char* const kWords[] = {"route",  "map",    "turn", "left",  "right",   "street", "the",
                                     "a",      "of",     "and",  "to",    "in",      "speed",  "camera",
                                     "north",  "south",  "east", "west",  "point",   "arrive", "exit",
                                     "bridge", "tunnel", "city", "road",  "highway", "marker", "signal",
                                     "update", "file",   "unit", "screen"};
inline const char* const kCode[] = {
    "int ",        "return ", "if (",  ") {",         "}",        "for (int i = 0; i < n; ++i)",
    "const ",      "static ", "void ", "nullptr",     "->",       "m_pData",
    " = ",         ";",       "++",    "BOOL ",       "DWORD ",   "WCHAR* ",
    "#include \"", ".h\"",    "// ",   "CWceUiLayer", "GetData()"};

inline void Text(Rng& r, std::string& out, size_t size) {
    size_t col = 0;
    while (out.size() < size) {
        const char* w = kWords[r.Below(sizeof(kWords) / sizeof(kWords[0]))];
        out += w;
        col += std::char_traits<char>::length(w);
        if (col > 70 || r.Below(12) == 0) {
            out += r.Below(4) == 0 ? ".\n" : "\n";
            col = 0;
        } else {
            out += ' ';
            ++col;
        }
    }
    out.resize(size);
}

inline void Code(Rng& r, std::string& out, size_t size) {
    int indent = 0;
    while (out.size() < size) {
        out.append(static_cast<size_t>(indent) * 4, ' ');
        int n = 1 + static_cast<int>(r.Below(6));
        for (int i = 0; i < n; ++i) {
            out += kCode[r.Below(sizeof(kCode) / sizeof(kCode[0]))];
            if (r.Below(3) == 0)
                out += std::to_string(r.Below(100000));
        }
        out += '\n';
        indent = static_cast<int>((indent + r.Below(3) + 3) % 4);
    }
    out.resize(size);
}

inline void Random(Rng& r, std::string& out, size_t size) {
    out.resize(size);
    for (size_t i = 0; i < size; i += 8) {
        uint64_t v = r.Next();
        for (size_t k = 0; k < 8 && i + k < size; ++k)
            out[i + k] = static_cast<char>(v >> (8 * k));
    }
}

// Short runs and a skewed alphabet: compresses to roughly half, like map tiles or bitmaps.
inline void Semi(Rng& r, std::string& out, size_t size) {
    out.resize(size);
    size_t i = 0;
    while (i < size) {
        uint64_t v = r.Next();
        size_t run = 1 + (v & 7);
        char c = static_cast<char>((v >> 8) & ((v >> 16) & 1 ? 0x0F : 0xFF));
        for (size_t k = 0; k < run && i < size; ++k)
            out[i++] = c;
    }
}

// Base64 of random bytes in lines of 76 characters: almost nothing but literals, each of about six
// bits, the hardest case for a decoder's literal loop.
inline void Base64(Rng& r, std::string& out, size_t size) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.reserve(size + 8);
    int column = 0;
    while (out.size() < size) {
        uint64_t v = r.Next();
        for (int k = 0; k < 8; ++k) { // 48 random bits, eight digits
            out += kDigits[(v >> (6 * k)) & 63];
            if (++column == 76) {
                out += '\n';
                column = 0;
            }
        }
    }
    out.resize(size);
}

// One of the kinds (0 text, 1 code, 2 random, 3 semi-compressible, 4 base64 of random bytes) of the
// given size.
inline void Fill(Rng& r, int kind, std::string& out, size_t size) {
    out.clear();
    switch (kind) {
        case 0:
            Text(r, out, size);
            break;
        case 1:
            Code(r, out, size);
            break;
        case 2:
            Random(r, out, size);
            break;
        case 4:
            Base64(r, out, size);
            break;
        default:
            Semi(r, out, size);
            break;
    }
}

} // namespace benchdata
