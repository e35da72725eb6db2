// Text output of GDI: measuring and drawing strings in the font selected into a device context.
// The DT_* format flags and LOGFONTW live in WinGdi.h with the rest of GDI's records.
#pragma once

#include "platform/WinGdi.h"

// Draws (or with DT_CALCRECT measures) text in the context's font and text colour, with the
// background of each line filled in the background colour when the background mode is OPAQUE.
// count -1 takes text up to its terminator. Characters beyond the Basic Multilingual Plane come as
// surrogate pairs and draw as one glyph; control characters take no room. Returns the height of the
// text; with DT_VCENTER or DT_BOTTOM (single line) the distance from rect->top to the bottom of the
// text; 0 on failure (ERROR_INVALID_HANDLE for a bad context, ERROR_INVALID_PARAMETER for a null
// text or rectangle or a count below -1).
//
// Layout: lines end at "\r\n", "\n" or "\r" unless DT_SINGLELINE; DT_WORDBREAK wraps at spaces to
// the rectangle's width, never inside a word; DT_LEFT/CENTER/RIGHT place each line, DT_TOP/VCENTER/
// BOTTOM the single line of DT_SINGLELINE (several lines always start at the top). DT_WORD_ELLIPSIS
// shortens each line that is too wide and ends it with "..."; DT_END_ELLIPSIS does so for the last
// line, and when lines would fall below the rectangle keeps those that fit whole and ends the last
// with "...". Drawing is clipped to the rectangle unless DT_NOCLIP, and always to the context's clip
// and the bitmap. DT_CALCRECT draws nothing: it sets rect->right to left + the widest line and
// rect->bottom to top + the height, wrapping at the given width with DT_WORDBREAK and ignoring the
// ellipsis flags. Unless DT_NOPREFIX, "&&" draws "&" and a single "&" is not drawn but underlines
// the character after it. Other flags are ignored.
int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format);
#define DrawText DrawTextW

// The width (sum of the characters' advances) and the cell height of count characters of text in the
// context's font. FALSE on failure (ERROR_INVALID_PARAMETER for a null text with count > 0, a
// negative count or a null size).
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size);
#define GetTextExtentPoint32 GetTextExtentPoint32W
#define GetTextExtentPoint GetTextExtentPoint32W
