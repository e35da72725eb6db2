// A colour handle: a colour value of its own, or a colour identifier loaded through the colour cache on
// first use. A colour that cannot be loaded is black.
#pragma once

#include "platform/WinCe.h"

#include <memory>

class CWceUiColor;

class CWceUiLoadColor {
public:
    // Black, of its own.
    CWceUiLoadColor();
    ~CWceUiLoadColor();
    CWceUiLoadColor(const CWceUiLoadColor&) = delete;
    CWceUiLoadColor& operator=(const CWceUiLoadColor&) = delete;

    void SetColor(COLORREF crColor);
    // Remembers the identifier; the colour is loaded by GetColor. The identifier the handle already has
    // (ignoring case) changes nothing; an empty one leaves the handle black.
    BOOL SetColorFromRes(LPCWSTR pColorID);
    // The colour value; black (with a message at every call) when the identifier cannot be loaded.
    COLORREF GetColor();
    // The colour object behind GetColor, with its brush.
    CWceUiColor* GetColorObject();
    // Gives back a loaded colour; the handle is then black, of its own.
    void Clean();
    // Takes the other's identifier or its own value.
    BOOL DoCopy(const CWceUiLoadColor& rhs);

    BOOL IsFromRes() const;
    // The identifier, empty when the handle holds its own value.
    LPCWSTR GetColorID() const;

private:
    struct Data;
    Data* GetData() const;

    std::unique_ptr<Data> m_pData;
};
