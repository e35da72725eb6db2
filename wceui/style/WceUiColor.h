// A colour value with a platform brush made from it on demand.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/WceUiObject.h"

class CWceUiColor : public CWceUiObject {
public:
    explicit CWceUiColor(COLORREF crColor = 0);
    ~CWceUiColor() override;
    CWceUiColor(const CWceUiColor&) = delete;
    CWceUiColor& operator=(const CWceUiColor&) = delete;

    // A new value frees the brush made from the old one.
    void SetColor(COLORREF crColor);
    COLORREF GetColor() const { return m_crColor; }
    // A solid brush of the colour, kept until the value changes or the object goes; null when the
    // platform cannot make one.
    HBRUSH GetBrush();

private:
    void DeleteBrush();

    COLORREF m_crColor;
    HBRUSH m_hBrush;
};

// Reads a colour written as hexadecimal RRGGBB, with or without "0x" (reading stops at the first
// other character, bits above 23 are dropped), into a platform colour value.
COLORREF FhHexToColorRef(LPCWSTR pHex);
