// bmptool text: a string drawn with the platform's DrawTextW onto a plain background, for skin
// authors checking fonts and layouts, and for the golden images of the text tests.
#pragma once

#include "tools/imaging/PngFile.h"

#include <cstdint>
#include <string>

struct TextImageOptions {
    std::u16string text;
    std::u16string face = u"DejaVu Sans";
    int height = -16; // LOGFONTW height: negative = character height, positive = cell height
    bool bold = false;
    bool italic = false;
    uint32_t color = 0x000000;      // RRGGBB
    uint32_t background = 0xFFFFFF; // RRGGBB
    int width = 0;                  // the rectangle; 0 x 0: the text's own size (DT_CALCRECT)
    int rectHeight = 0;
    unsigned flags = 0; // DT_* flags
    int bpp = 16;       // 16 (565) or 32
};

// Draws the text into a DIB section of the chosen depth and returns its pixels. False with a reason
// when the font is refused or the bitmap cannot be made.
bool RenderTextImage(const TextImageOptions& options, RgbaImage* image, std::string* error);

// Parses the flag names ("left", "center", ..., comma-separated) or a number; false for an unknown name.
bool ParseTextFlags(const std::string& list, unsigned* flags);

// The subcommand: args are what follows "text" on the command line. Returns the exit status.
int RunTextCommand(int argc, char** argv);
extern const char kTextUsage[];
extern const char kTextHelp[];
