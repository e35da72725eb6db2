// Where and how a layer or widget draws its text: a rectangle and the platform's text-drawing flags.
#pragma once

#include "platform/WinCe.h"

class CWceUiDrawTextCtrl {
public:
    // The unbounded rectangle, centred horizontally and vertically on a single line (DT_CENTER |
    // DT_VCENTER | DT_SINGLELINE = 37).
    CWceUiDrawTextCtrl();
    CWceUiDrawTextCtrl(const CWceUiDrawTextCtrl& other) = default;
    CWceUiDrawTextCtrl& operator=(const CWceUiDrawTextCtrl& other);

    BOOL SetRect(LPCRECT lpRect);
    BOOL GetRect(LPRECT lpRect) const;
    LPCRECT GetRectPtr() const { return &m_rcText; }

    void SetFormat(UINT uFormat) { m_uFormat = uFormat; }
    UINT GetFormat() const { return m_uFormat; }

private:
    RECT m_rcText;
    UINT m_uFormat;
};
