// The host side of text drawing: where the font machinery reports, what it has done, and its cache.
// No counterpart on the device.
#pragma once

#include "platform/WinGdi.h"

#include <string>

// Lines about fonts (a face that is not installed and what serves instead, a refused height, a font
// file FreeType cannot open) go to this sink; without one they go to stderr. Null restores stderr.
typedef void (*PlatformTextLogSink)(const char* line);
void PlatformSetTextLogSink(PlatformTextLogSink sink);

// How many glyphs have been made (looked up in a font file and rasterised) since the process
// started: each character of each font size once while it stays cached.
unsigned long PlatformTextGlyphsRasterised();

// Forgets every rasterised glyph (faces stay open), as if no text had been drawn yet.
void PlatformTextDropGlyphCache();

// The font file and family a font handle resolved to, and its pixel metrics; FALSE for a handle that
// is no font or a font that cannot be served.
struct PlatformFontInfo {
    std::string file;
    std::string family;
    int ascent = 0;
    int descent = 0;
    bool syntheticBold = false;
    bool syntheticItalic = false;
};
BOOL PlatformGetFontInfo(HFONT font, PlatformFontInfo* info);
