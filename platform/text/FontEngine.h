// Inside the text half of GDI: faces found through fontconfig, opened with FreeType at one size each
// (a "strike"), and the glyphs each strike has rasterised. Only the platform's GDI sources include
// this; everything here runs under the GDI lock.
#pragma once

#include "platform/WinGdi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace gdi {
struct FontObj;
}

namespace text {

// One rasterised glyph: an 8-bit coverage map (rows top-down, stride bytes apart, zero after the
// first width bytes of each row so that rows can be read in whole 16-byte pieces) placed relative
// to the pen position on the baseline, and the pen's advance in whole pixels.
struct Glyph {
    int left = 0; // from the pen to the map's first column
    int top = 0;  // from the baseline up to the map's first row
    int width = 0;
    int height = 0;
    int stride = 0;
    int advance = 0;
    std::vector<uint8_t> coverage;
};

// A face at one size, with the glyphs rasterised so far. Metrics follow the device's text metrics:
// the cell is ascent + descent, taken from the face's Windows metrics when it has them.
class Strike {
public:
    Strike() = default;
    ~Strike();
    Strike(const Strike&) = delete;
    Strike& operator=(const Strike&) = delete;

    int Ascent() const { return m_ascent; }
    int Descent() const { return m_descent; }
    int Height() const { return m_ascent + m_descent; }
    int UnderlinePos() const { return m_underlinePos; } // rows below the baseline
    int StrikeOutPos() const { return m_strikeOutPos; } // rows above the baseline
    int LineThickness() const { return m_lineThickness; }
    const std::string& File() const { return m_file; }
    const std::string& Family() const { return m_family; }
    bool Emboldened() const { return m_emboldened; }
    bool Slanted() const { return m_slanted; }

    // The glyph of a code point, rasterised on first use; a character the face lacks is drawn from
    // the installed face that fontconfig prefers among those that have it, and only when none has it
    // as the face's missing-glyph box; control characters draw nothing (an empty glyph of no advance).
    const Glyph& Get(char32_t cp) {
        if (cp < 128 && m_asciiDone[cp])
            return m_ascii[cp];
        return Lookup(cp);
    }
    void DropGlyphs();

private:
    friend struct StrikeMaker;
    const Glyph& Lookup(char32_t cp);
    void Rasterise(char32_t cp, Glyph* glyph);
    // The strike of the same size and style that draws a character this face lacks, or null.
    Strike* FallbackFor(char32_t cp);

    void* m_face = nullptr; // FT_Face
    std::string m_file;
    std::string m_family;
    bool m_emboldened = false;
    bool m_slanted = false;
    // What the strike was made for, so that a fallback face is asked for with the same size and style.
    long m_ppem64 = 0;
    bool m_bold = false;
    bool m_italic = false;
    int m_ascent = 0;
    int m_descent = 0;
    int m_underlinePos = 0;
    int m_strikeOutPos = 0;
    int m_lineThickness = 1;
    Glyph m_ascii[128];
    bool m_asciiDone[128] = {};
    std::unordered_map<char32_t, Glyph> m_others;
};

// What a font record turned into: the strike to draw with and the decorations to add.
struct FontInstance {
    std::shared_ptr<Strike> strike;
    bool underline = false;
    bool strikeOut = false;
};

// Resolves a font record: the face through fontconfig (a face that is not installed gives
// fontconfig's best match, with a log line), then the size. Null, with a log line, when the record
// cannot be served: a height beyond 1,000 pixels, or no face that FreeType can open.
std::shared_ptr<FontInstance> ResolveFont(const LOGFONTW& lf);

// The instance of a GDI font object, resolved on first use (stock fonts) or at creation.
FontInstance* InstanceOf(gdi::FontObj* font);

// One line to the platform's diagnostic sink (see TextHost.h).
void Log(const std::string& line);

// The cache's memory bound: bytes of coverage kept.
void NoteRasterised(size_t bytes);
void DropAllGlyphs();
// Changes whenever glyphs are dropped, so that whatever was made from them is dropped too.
unsigned long GlyphGeneration();
// Starts the cache again when it has grown beyond its bound; only between calls, while no glyph
// reference is held.
void TrimCache();

// The zero bytes after each row of a glyph's coverage and of a coverage mask.
constexpr int kRowSlack = 16;

// Character heights are limited to this many pixels; larger requests are refused.
constexpr int kMaxFontPixels = 1000;

} // namespace text
