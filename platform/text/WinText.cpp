// DrawTextW and GetTextExtentPoint32W: the string decoded to code points, each looked up once in the
// font's glyph cache, laid out by TextLayout and painted by GlyphPaint.
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
        bx0 = std::max<long long>(bx0, clip.left);
        by0 = std::max<long long>(by0, clip.top);
        bx1 = std::min<long long>(bx1, clip.right);
        by1 = std::min<long long>(by1, clip.bottom);
        if (bx0 < bx1 && by0 < by1) {
            const RECT box{static_cast<LONG>(bx0), static_cast<LONG>(by0), static_cast<LONG>(bx1),
                           static_cast<LONG>(by1)};
            CoverageMask& mask = Mask();
            mask.Reset(box);
            pen = x;
            long long mnemonicPen = 0;
            auto add = [&](const Glyph& glyph) {
                mask.Add(pen, baseline, glyph);
                pen += glyph.advance;
            };
            for (int k = line.start; k < line.end; k++) {
                if (k == shaped.mnemonic)
                    mnemonicPen = pen;
                add(*shaped.glyphs[k]);
            }
            if (line.ellipsis && dot)
                for (int k = 0; k < 3; k++)
                    add(*dot);
            mask.Paint(surface, ink);
            if (shaped.mnemonic >= line.start && shaped.mnemonic < line.end)
                PaintBox(surface, clip, mnemonicPen, baseline + strike.UnderlinePos(),
                         mnemonicPen + shaped.advances[shaped.mnemonic],
                         baseline + strike.UnderlinePos() + strike.LineThickness(), ink);
        }
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
