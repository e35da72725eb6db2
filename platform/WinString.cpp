#include "platform/WinString.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

size_t WStrLen(LPCWSTR s) {
    const WCHAR* p = s;
    while (*p)
        ++p;
    return static_cast<size_t>(p - s);
}

int WStrCmp(LPCWSTR a, LPCWSTR b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(*a) - static_cast<int>(*b);
}

int WStrNCmp(LPCWSTR a, LPCWSTR b, size_t n) {
    for (; n > 0; --n, ++a, ++b) {
        if (*a != *b || *a == 0)
            return static_cast<int>(*a) - static_cast<int>(*b);
    }
    return 0;
}

// Letter case of the scripts a navigation unit's names and texts use: Latin (Basic, Latin-1,
// Extended-A), Greek, Cyrillic and the full-width Latin letters.
WCHAR WCharLower(WCHAR c) {
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A))
        return static_cast<WCHAR>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<WCHAR>(c + 80);
    if (c == 0x386)
        return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
        return static_cast<WCHAR>(c + 37);
    if (c == 0x38C)
        return 0x3CC;
    if (c == 0x38E || c == 0x38F)
        return static_cast<WCHAR>(c + 63);
    if (c == 0x178)
        return 0xFF;
    // Pairs with the capital first: even capitals, except the stretches where the odd one is.
    bool evenCapitals = (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) ||
                        (c >= 0x14A && c <= 0x177) || (c >= 0x460 && c <= 0x481) ||
                        (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F);
    bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) || (c >= 0x4C1 && c <= 0x4CE);
    if ((evenCapitals && (c & 1) == 0) || (oddCapitals && (c & 1) == 1))
        return static_cast<WCHAR>(c + 1);
    if (c == 0x130)
        return u'i';
    return c;
}

WCHAR WCharUpper(WCHAR c) {
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
        return static_cast<WCHAR>(c - 32);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<WCHAR>(c - 80);
    if (c == 0x3AC)
        return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
        return static_cast<WCHAR>(c - 37);
    if (c == 0x3CC)
        return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
        return static_cast<WCHAR>(c - 63);
    if (c == 0xFF)
        return 0x178;
    bool evenCapitals = (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) ||
                        (c >= 0x14A && c <= 0x177) || (c >= 0x460 && c <= 0x481) ||
                        (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F);
    bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) || (c >= 0x4C1 && c <= 0x4CE);
    if ((evenCapitals && (c & 1) == 1) || (oddCapitals && (c & 1) == 0))
        return static_cast<WCHAR>(c - 1);
    return c;
}

int WStrICmp(LPCWSTR a, LPCWSTR b) {
    for (;; ++a, ++b) {
        WCHAR ca = WCharLower(*a), cb = WCharLower(*b);
        if (ca != cb || ca == 0)
            return static_cast<int>(ca) - static_cast<int>(cb);
    }
}

int WStrNICmp(LPCWSTR a, LPCWSTR b, size_t n) {
    for (; n > 0; --n, ++a, ++b) {
        WCHAR ca = WCharLower(*a), cb = WCharLower(*b);
        if (ca != cb || ca == 0)
            return static_cast<int>(ca) - static_cast<int>(cb);
    }
    return 0;
}

LPWSTR WStrCpy(LPWSTR dst, LPCWSTR src) {
    LPWSTR d = dst;
    while ((*d++ = *src++) != 0) {
    }
    return dst;
}

BOOL WStrCpyN(LPWSTR dst, size_t count, LPCWSTR src) {
    if (count == 0)
        return FALSE;
    size_t i = 0;
    for (; i + 1 < count && src[i]; ++i)
        dst[i] = src[i];
    dst[i] = 0;
    return src[i] == 0;
}

LPWSTR WStrCat(LPWSTR dst, LPCWSTR src) {
    WStrCpy(dst + WStrLen(dst), src);
    return dst;
}

LPCWSTR WStrChr(LPCWSTR s, WCHAR c) {
    for (;; ++s) {
        if (*s == c)
            return s;
        if (*s == 0)
            return nullptr;
    }
}

LPCWSTR WStrRChr(LPCWSTR s, WCHAR c) {
    LPCWSTR found = nullptr;
    for (;; ++s) {
        if (*s == c)
            found = s;
        if (*s == 0)
            return found;
    }
}

LPCWSTR WStrStr(LPCWSTR haystack, LPCWSTR needle) {
    size_t n = WStrLen(needle);
    if (n == 0)
        return haystack;
    for (; *haystack; ++haystack) {
        if (WStrNCmp(haystack, needle, n) == 0)
            return haystack;
    }
    return nullptr;
}

void WStrLwr(LPWSTR s) {
    for (; *s; ++s)
        *s = WCharLower(*s);
}

namespace {

bool IsWSpace(WCHAR c) {
    return c == u' ' || (c >= 9 && c <= 13);
}

int DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return 99;
}

// Shared by WStrToL and WStrToUL: parses sign, base prefix and digits as strtol/strtoul do.
// Returns the magnitude saturated at ULONG_MAX, with *overflow set when it did not fit.
unsigned long ParseInteger(LPCWSTR s, LPWSTR* end, int base, bool* negative, bool* overflow) {
    LPCWSTR p = s;
    *negative = false;
    *overflow = false;
    while (IsWSpace(*p))
        ++p;
    if (*p == u'+' || *p == u'-') {
        *negative = (*p == u'-');
        ++p;
    }
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
        DigitValue(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = (p[0] == u'0') ? 8 : 10;
    }
    if (base < 2 || base > 36) {
        if (end)
            *end = const_cast<LPWSTR>(s);
        return 0;
    }
    unsigned long value = 0;
    LPCWSTR digits = p;
    for (; DigitValue(*p) < base; ++p) {
        unsigned long d = static_cast<unsigned long>(DigitValue(*p));
        if (value > (ULONG_MAX - d) / static_cast<unsigned long>(base))
            *overflow = true;
        else
            value = value * static_cast<unsigned long>(base) + d;
    }
    if (end)
        *end = const_cast<LPWSTR>(p == digits ? s : p);
    return *overflow ? ULONG_MAX : value;
}

} // namespace

long WStrToL(LPCWSTR s, LPWSTR* end, int base) {
    bool negative, overflow;
    unsigned long magnitude = ParseInteger(s, end, base, &negative, &overflow);
    if (negative) {
        if (overflow || magnitude > static_cast<unsigned long>(LONG_MAX) + 1ul) {
            errno = ERANGE;
            return LONG_MIN;
        }
        return magnitude == static_cast<unsigned long>(LONG_MAX) + 1ul ? LONG_MIN
                                                                       : -static_cast<long>(magnitude);
    }
    if (overflow || magnitude > static_cast<unsigned long>(LONG_MAX)) {
        errno = ERANGE;
        return LONG_MAX;
    }
    return static_cast<long>(magnitude);
}

unsigned long WStrToUL(LPCWSTR s, LPWSTR* end, int base) {
    bool negative, overflow;
    unsigned long magnitude = ParseInteger(s, end, base, &negative, &overflow);
    if (overflow) {
        errno = ERANGE;
        return ULONG_MAX;
    }
    return negative ? 0ul - magnitude : magnitude;
}

namespace {

// Writes formatted output either into a fixed buffer (counting what does not fit) or into a string.
class FormatSink {
public:
    FormatSink(LPWSTR buf, size_t count) : m_buf(buf), m_count(count) {}
    explicit FormatSink(std::u16string* out) : m_out(out) {}

    void Put(WCHAR c) {
        if (m_out) {
            m_out->push_back(c);
        } else if (m_length + 1 < m_count) {
            m_buf[m_length] = c;
        } else {
            m_overflow = true;
        }
        ++m_length;
    }
    void Repeat(WCHAR c, int n) {
        for (; n > 0; --n)
            Put(c);
    }
    int Finish() {
        if (m_out)
            return static_cast<int>(m_length);
        if (m_count == 0)
            return -1;
        m_buf[m_overflow ? m_count - 1 : m_length] = 0;
        return m_overflow ? -1 : static_cast<int>(m_length);
    }

private:
    LPWSTR m_buf = nullptr;
    size_t m_count = 0;
    std::u16string* m_out = nullptr;
    size_t m_length = 0;
    bool m_overflow = false;
};

struct Conversion {
    bool leftAlign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;
};

void PutPadded(FormatSink& sink, const Conversion& conv, const WCHAR* text, int length, bool numeric) {
    int pad = conv.width > length ? conv.width - length : 0;
    if (!conv.leftAlign) {
        if (conv.zeroPad && numeric) {
            // Zero padding goes after a sign.
            if (length > 0 && text[0] == u'-') {
                sink.Put(u'-');
                ++text;
                --length;
            }
            sink.Repeat(u'0', pad);
        } else {
            sink.Repeat(u' ', pad);
        }
    }
    for (int i = 0; i < length; ++i)
        sink.Put(text[i]);
    if (conv.leftAlign)
        sink.Repeat(u' ', pad);
}

void PutNumber(FormatSink& sink, const Conversion& conv, unsigned long long magnitude, bool negative,
               unsigned base, bool upper) {
    WCHAR digits[32];
    int n = 0;
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    do {
        digits[n++] = static_cast<WCHAR>(set[magnitude % base]);
        magnitude /= base;
    } while (magnitude);
    WCHAR text[34];
    int length = 0;
    if (negative)
        text[length++] = u'-';
    while (n > 0)
        text[length++] = digits[--n];
    PutPadded(sink, conv, text, length, true);
}

int Format(FormatSink& sink, LPCWSTR fmt, va_list args) {
    for (LPCWSTR p = fmt; *p; ++p) {
        if (*p != u'%') {
            sink.Put(*p);
            continue;
        }
        ++p;
        Conversion conv;
        for (;; ++p) {
            if (*p == u'-')
                conv.leftAlign = true;
            else if (*p == u'0')
                conv.zeroPad = true;
            else if (*p != u'+' && *p != u' ' && *p != u'#')
                break;
        }
        if (*p == u'*') {
            conv.width = va_arg(args, int);
            if (conv.width < 0) {
                conv.leftAlign = true;
                conv.width = -conv.width;
            }
            ++p;
        } else {
            for (; *p >= u'0' && *p <= u'9'; ++p)
                conv.width = conv.width * 10 + (*p - u'0');
        }
        if (*p == u'.') {
            ++p;
            conv.precision = 0;
            if (*p == u'*') {
                conv.precision = va_arg(args, int);
                ++p;
            } else {
                for (; *p >= u'0' && *p <= u'9'; ++p)
                    conv.precision = conv.precision * 10 + (*p - u'0');
            }
        }
        int longs = 0;
        bool narrow = false;
        for (;; ++p) {
            if (*p == u'l')
                ++longs;
            else if (*p == u'h')
                narrow = true;
            else if (*p != u'z' && *p != u'I')
                break;
        }
        switch (*p) {
            case u'%':
                sink.Put(u'%');
                break;
            case u'c': {
                WCHAR c = static_cast<WCHAR>(va_arg(args, int));
                PutPadded(sink, conv, &c, 1, false);
                break;
            }
            case u's':
            case u'S': {
                bool isNarrow = narrow || *p == u'S';
                if (isNarrow) {
                    const char* s = va_arg(args, const char*);
                    std::u16string wide = Utf8ToWide(s ? s : "(null)");
                    int length = static_cast<int>(wide.size());
                    if (conv.precision >= 0 && conv.precision < length)
                        length = conv.precision;
                    PutPadded(sink, conv, wide.data(), length, false);
                } else {
                    LPCWSTR s = va_arg(args, LPCWSTR);
                    if (!s)
                        s = u"(null)";
                    int length = 0;
                    while (s[length] && (conv.precision < 0 || length < conv.precision))
                        ++length;
                    PutPadded(sink, conv, s, length, false);
                }
                break;
            }
            case u'd':
            case u'i': {
                long long v = longs >= 2   ? va_arg(args, long long)
                              : longs == 1 ? va_arg(args, long)
                                           : va_arg(args, int);
                unsigned long long magnitude =
                    v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
                PutNumber(sink, conv, magnitude, v < 0, 10, false);
                break;
            }
            case u'u':
            case u'x':
            case u'X': {
                unsigned long long v = longs >= 2   ? va_arg(args, unsigned long long)
                                       : longs == 1 ? va_arg(args, unsigned long)
                                                    : va_arg(args, unsigned int);
                PutNumber(sink, conv, v, false, *p == u'u' ? 10 : 16, *p == u'X');
                break;
            }
            case u'p': {
                void* v = va_arg(args, void*);
                PutNumber(sink, conv, reinterpret_cast<uintptr_t>(v), false, 16, false);
                break;
            }
            case 0:
                return sink.Finish();
            default:
                // An unknown conversion is printed as it stands.
                sink.Put(u'%');
                sink.Put(*p);
                break;
        }
    }
    return sink.Finish();
}

} // namespace

int WVSPrintf(LPWSTR buf, size_t count, LPCWSTR fmt, va_list args) {
    FormatSink sink(buf, count);
    return Format(sink, fmt, args);
}

int WSPrintf(LPWSTR buf, size_t count, LPCWSTR fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int n = WVSPrintf(buf, count, fmt, args);
    va_end(args);
    return n;
}

std::u16string WVFormat(LPCWSTR fmt, va_list args) {
    std::u16string out;
    FormatSink sink(&out);
    Format(sink, fmt, args);
    return out;
}

std::u16string WFormat(LPCWSTR fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::u16string out = WVFormat(fmt, args);
    va_end(args);
    return out;
}

namespace {

// keepSurrogates: a surrogate code point written in three bytes is taken as that unit (host file
// names), instead of being an invalid sequence.
std::u16string DecodeUtf8(std::string_view utf8, bool keepSurrogates) {
    std::u16string out;
    bool lastWasLead = false;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        unsigned c = s[i];
        unsigned cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            out.push_back(0xFFFD);
            lastWasLead = false;
            ++i;
            continue;
        }
        bool valid = i + len <= n;
        for (size_t k = 1; valid && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static const unsigned kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
        if (valid && surrogate && keepSurrogates && cp >= 0xDC00 && lastWasLead) {
            // Two three-byte halves of one pair are not a name WideToHostName writes (a pair takes
            // four bytes); reading them as the pair would give two host names one device name.
            out.back() = 0xFFFD;
            valid = false;
        }
        lastWasLead = valid && surrogate && keepSurrogates && cp < 0xDC00;
        if (!valid || cp < kMin[len] || cp > 0x10FFFF || (surrogate && !keepSurrogates)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

// keepSurrogates: an unpaired surrogate is written as its own three bytes instead of U+FFFD.
std::string EncodeUtf8(std::u16string_view wide, bool keepSurrogates) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        unsigned cp = wide[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF && !keepSurrogates) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

} // namespace

std::u16string Utf8ToWide(std::string_view utf8) {
    return DecodeUtf8(utf8, false);
}

std::string WideToUtf8(std::u16string_view wide) {
    return EncodeUtf8(wide, false);
}

std::string WideToHostName(std::u16string_view wide) {
    return EncodeUtf8(wide, true);
}

std::u16string HostNameToWide(std::string_view name) {
    return DecodeUtf8(name, true);
}
