// Conversion of a loaded bitmap between the two kinds, so that skin images reach the window bitmap in
// its own depth: the framework's blends only take sources of the destination's kind.
#pragma once

#include "platform/WinCe.h"

class CWceUiGenericBitmap;

// A new bitmap of nBitsPixel (16 or 32) holding pSrc's picture and attributes; the caller owns it.
// Channels widen by repeating their high bits and narrow by dropping low bits, as the platform's
// transfers do. A 565 alpha plane becomes the alpha byte (and back), and premultiplied colour is kept
// at or below what its alpha allows, so the blend of the converted bitmap never carries between
// channels. A transparent colour is moved to the value its key pixels have after the conversion.
// Null when pSrc is not loaded, nBitsPixel is neither kind, or memory runs out.
CWceUiGenericBitmap* WceUiConvertBitmap(CWceUiGenericBitmap* pSrc, int nBitsPixel);
