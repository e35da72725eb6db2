// DrawTextW and GetTextExtentPoint32W: the string decoded to code points, each looked up once in the
// font's glyph cache, laid out by TextLayout, each line's glyphs gathered into a coverage mask and
// blended by GlyphPaint. Masks of whole lines are kept, so a label drawn again is one blend.
#include "platform/text/WinText.h"
#include "platform/text/FontEngine.h"
#include "platform/text/GlyphPaint.h"
#include "platform/text/TextHost.h"
#include "platform/text/TextLayout.h"
#include "platform/GdiObjects.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"

#include <algorithm>
#include <climits>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace text {

FontInstance* InstanceOf(gdi::FontObj* font) {
    if (!font->resolved) {
        font->instance = ResolveFont(font->lf);
        font->resolved = true;
    }
    return font->instance.get();
}

namespace {

// The string as code points with their glyphs; reused between calls (under the GDI lock).
struct Shaped {
    std::vector<char32_t> cps;
    std::vector<const Glyph*> glyphs;
    std::vector<int> advances;
    int mnemonic = -1; // the code point a prefix "&" underlines, or -1
};

// With prefixes (DrawTextW without DT_NOPREFIX), as on the device: "&&" draws one "&", and a single
// "&" is not drawn but underlines the character after it (the last such one counts).
void Shape(Strike& strike, LPCWSTR text, size_t count, bool prefixes, Shaped* out) {
    out->cps.clear();
    out->glyphs.clear();
    out->advances.clear();
    out->mnemonic = -1;
    for (size_t i = 0; i < count; i++) {
        char32_t cp = text[i];
        if (prefixes && cp == u'&') {
            if (i + 1 >= count)
                break;
            if (text[i + 1] != u'&')
                out->mnemonic = static_cast<int>(out->cps.size());
            cp = text[++i];
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            i++;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD; // half a pair
        }
        const Glyph& g = strike.Get(cp);
        out->cps.push_back(cp);
        out->glyphs.push_back(&g);
        out->advances.push_back(g.advance);
    }
}

// Masks of whole lines, for lines drawn again unclipped (labels repaint with every frame): keyed by
// strike and text, their boxes kept relative to the pen's start on the baseline. The least recently
// used go first once there are too many or they take too much memory.
class LineMasks {
public:
    CoverageMask* Find(const Strike* strike, const std::u32string& text) {
        Forget();
        auto it = m_index.find(Key{strike, text});
        if (it == m_index.end())
            return nullptr;
        m_entries.splice(m_entries.begin(), m_entries, it->second);
        return &it->second->mask;
    }
    // Keeps a filled mask; it moves into the cache.
    void Keep(const Strike* strike, const std::u32string& text, CoverageMask&& mask) {
        if (mask.Bytes() > kMaxBytes / 8)
            return;
        Forget();
        m_bytes += mask.Bytes();
        m_entries.push_front(Entry{Key{strike, text}, std::move(mask)});
        m_index[m_entries.front().key] = m_entries.begin();
        while (m_entries.size() > kMaxEntries || m_bytes > kMaxBytes) {
            m_bytes -= m_entries.back().mask.Bytes();
            m_index.erase(m_entries.back().key);
            m_entries.pop_back();
        }
    }

private:
    static constexpr size_t kMaxEntries = 128;
    static constexpr size_t kMaxBytes = 4u << 20;
    struct Key {
        const Strike* strike;
        std::u32string text;
        bool operator==(const Key& o) const { return strike == o.strike && text == o.text; }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<std::u32string>()(k.text) ^ (std::hash<const void*>()(k.strike) * 31);
        }
    };
    struct Entry {
        Key key;
        CoverageMask mask;
    };
    // Everything goes when the glyphs it was made of have gone.
    void Forget() {
        if (m_generation == GlyphGeneration())
            return;
        m_generation = GlyphGeneration();
        m_index.clear();
        m_entries.clear();
        m_bytes = 0;
    }
    std::list<Entry> m_entries;
    std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> m_index;
    size_t m_bytes = 0;
    unsigned long m_generation = 0;
};

// Not a code point: marks a line that ends in an ellipsis.
constexpr char32_t kEllipsisMark = 0x110000;

LineMasks& Lines() {
    static LineMasks* l = new LineMasks;
    return *l;
}

CoverageMask& Mask() {
    static CoverageMask* m = new CoverageMask;
    return *m;
}

Shaped& Scratch() {
    static Shaped* s = new Shaped;
    return *s;
}

// The context and its font, ready for text; FALSE (with the error set) when either is unusable.
bool Prepare(HDC hdc, gdi::DcObj** dc, FontInstance** font) {
    *dc = gdi::FindDc(hdc);
    if (!*dc)
        return false;
    gdi::FontObj* f = gdi::FindFont((*dc)->font);
    *font = f ? InstanceOf(f) : nullptr;
    if (!*font) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    TrimCache();
    return true;
}

} // namespace

} // namespace text

using namespace text;

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size) {
    gdi::Guard g(gdi::Lock());
    gdi::DcObj* dc = nullptr;
    FontInstance* font = nullptr;
    if (!Prepare(hdc, &dc, &font))
        return FALSE;
    if (!size || count < 0 || (!text && count > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Shaped& shaped = Scratch();
    Shape(*font->strike, text, static_cast<size_t>(count), false, &shaped);
    long long width = 0;
    for (int a : shaped.advances)
        width += a;
    size->cx = static_cast<LONG>(width);
    size->cy = font->strike->Height();
    return TRUE;
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    gdi::Guard g(gdi::Lock());
    gdi::DcObj* dc = nullptr;
    FontInstance* font = nullptr;
    if (!Prepare(hdc, &dc, &font))
        return 0;
    if (!text || !rect || count < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Strike& strike = *font->strike;
    const size_t n = count == -1 ? WStrLen(text) : static_cast<size_t>(count);
    Shaped& shaped = Scratch();
    Shape(strike, text, n, (format & DT_NOPREFIX) == 0, &shaped);
    // The ellipsis is three full stops.
    const Glyph* dot = (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) ? &strike.Get(U'.') : nullptr;

    const int lineHeight = strike.Height();
    LayoutRequest req;
    req.text = shaped.cps.data();
    req.advance = shaped.advances.data();
    req.count = static_cast<int>(shaped.cps.size());
    req.format = format;
    req.width = static_cast<int>(
        std::clamp<long long>(static_cast<long long>(rect->right) - rect->left, 0, 0x3FFFFFFF));
    req.height = static_cast<int>(
        std::clamp<long long>(static_cast<long long>(rect->bottom) - rect->top, 0, 0x3FFFFFFF));
    req.lineHeight = lineHeight;
    req.ellipsisWidth = dot ? 3 * dot->advance : 0;
    std::vector<LineSpan> lines = LayOut(req);
    const int total = static_cast<int>(lines.size()) * lineHeight;

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const LineSpan& line : lines)
            widest = std::max(widest, line.width);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }

    // Where the lines go, in logical coordinates.
    long long top = rect->top;
    const bool single = (format & DT_SINGLELINE) != 0;
    if (single && (format & DT_VCENTER))
        top = rect->top + (static_cast<long long>(rect->bottom) - rect->top - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        top = static_cast<long long>(rect->bottom) - lineHeight;
    const int result =
        single && (format & (DT_VCENTER | DT_BOTTOM)) ? static_cast<int>(top - rect->top + total) : total;

    gdi::Surface surface;
    RECT clip;
    if (lines.empty() || !gdi::DcSurface(dc, &surface, &clip))
        return result;
    const long long ox = dc->origin.x, oy = dc->origin.y;
    if (!(format & DT_NOCLIP)) {
        clip.left = static_cast<LONG>(std::max<long long>(clip.left, rect->left + ox));
        clip.top = static_cast<LONG>(std::max<long long>(clip.top, rect->top + oy));
        clip.right = static_cast<LONG>(std::min<long long>(clip.right, rect->right + ox));
        clip.bottom = static_cast<LONG>(std::min<long long>(clip.bottom, rect->bottom + oy));
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom)
        return result;

    const Ink ink = MakeInk(surface.fmt, dc->textColor);
    const Ink back = MakeInk(surface.fmt, dc->bkColor);
    for (size_t i = 0; i < lines.size(); i++) {
        const LineSpan& line = lines[i];
        long long x;
        if (format & DT_CENTER)
            x = (static_cast<long long>(rect->left) + rect->right - line.width) / 2;
        else if (format & DT_RIGHT)
            x = static_cast<long long>(rect->right) - line.width;
        else
            x = rect->left;
        x += ox;
        const long long y = top + oy + static_cast<long long>(i) * lineHeight;
        if (y > clip.bottom + 2LL * lineHeight || y + 3LL * lineHeight < clip.top)
            continue; // far outside the clip, whatever its accents
        if (dc->bkMode == OPAQUE)
            PaintBox(surface, clip, x, y, x + line.width, y + lineHeight, back);
        // The line's glyphs gathered over the part of their box that is visible, then blended.
        const long long baseline = y + strike.Ascent();
        long long pen = x, bx0 = LLONG_MAX, by0 = LLONG_MAX, bx1 = LLONG_MIN, by1 = LLONG_MIN;
        auto extend = [&](const Glyph& glyph) {
            if (glyph.width > 0) {
                bx0 = std::min(bx0, pen + glyph.left);
                bx1 = std::max(bx1, pen + glyph.left + glyph.width);
                by0 = std::min(by0, baseline - glyph.top);
                by1 = std::max(by1, baseline - glyph.top + glyph.height);
            }
            pen += glyph.advance;
        };
        for (int k = line.start; k < line.end; k++)
            extend(*shaped.glyphs[k]);
        if (line.ellipsis && dot)
            for (int k = 0; k < 3; k++)
                extend(*dot);
        // The pen position of the prefixed character, if this line has it.
        long long mnemonicPen = x;
        if (shaped.mnemonic >= line.start && shaped.mnemonic < line.end)
            for (int k = line.start; k < shaped.mnemonic; k++)
                mnemonicPen += shaped.advances[k];
        auto addAll = [&](CoverageMask& mask) {
            pen = x;
            for (int k = line.start; k < line.end; k++) {
                mask.Add(pen, baseline, *shaped.glyphs[k]);
                pen += shaped.glyphs[k]->advance;
            }
            if (line.ellipsis && dot)
                for (int k = 0; k < 3; k++) {
                    mask.Add(pen, baseline, *dot);
                    pen += dot->advance;
                }
        };
        const bool whole = bx0 >= clip.left && by0 >= clip.top && bx1 <= clip.right && by1 <= clip.bottom;
        if (whole && bx0 < bx1) {
            // Seen before: the same coverage again, wherever the line is now.
            std::u32string key(shaped.cps.begin() + line.start, shaped.cps.begin() + line.end);
            if (line.ellipsis)
                key.push_back(kEllipsisMark);
            if (CoverageMask* kept = Lines().Find(&strike, key)) {
                kept->MoveTo(bx0, by0);
                kept->Paint(surface, ink);
            } else {
                CoverageMask mask;
                mask.Reset(RECT{static_cast<LONG>(bx0), static_cast<LONG>(by0), static_cast<LONG>(bx1),
                                static_cast<LONG>(by1)});
                addAll(mask);
                mask.Paint(surface, ink);
                Lines().Keep(&strike, key, std::move(mask));
            }
        } else {
            bx0 = std::max<long long>(bx0, clip.left);
            by0 = std::max<long long>(by0, clip.top);
            bx1 = std::min<long long>(bx1, clip.right);
            by1 = std::min<long long>(by1, clip.bottom);
            if (bx0 < bx1 && by0 < by1) {
                CoverageMask& mask = Mask();
                mask.Reset(RECT{static_cast<LONG>(bx0), static_cast<LONG>(by0), static_cast<LONG>(bx1),
                                static_cast<LONG>(by1)});
                addAll(mask);
                mask.Paint(surface, ink);
            }
        }
        if (shaped.mnemonic >= line.start && shaped.mnemonic < line.end)
            PaintBox(surface, clip, mnemonicPen, baseline + strike.UnderlinePos(),
                     mnemonicPen + shaped.advances[shaped.mnemonic],
                     baseline + strike.UnderlinePos() + strike.LineThickness(), ink);
        if (font->underline)
            PaintBox(surface, clip, x, baseline + strike.UnderlinePos(), x + line.width,
                     baseline + strike.UnderlinePos() + strike.LineThickness(), ink);
        if (font->strikeOut)
            PaintBox(surface, clip, x, baseline - strike.StrikeOutPos(), x + line.width,
                     baseline - strike.StrikeOutPos() + strike.LineThickness(), ink);
    }
    return result;
}

BOOL PlatformGetFontInfo(HFONT font, PlatformFontInfo* info) {
    gdi::Guard g(gdi::Lock());
    gdi::FontObj* f = gdi::FindFont(font);
    if (!f || !info)
        return FALSE;
    FontInstance* inst = InstanceOf(f);
    if (!inst)
        return FALSE;
    info->file = inst->strike->File();
    info->family = inst->strike->Family();
    info->ascent = inst->strike->Ascent();
    info->descent = inst->strike->Descent();
    info->syntheticBold = inst->strike->Emboldened();
    info->syntheticItalic = inst->strike->Slanted();
    return TRUE;
}
