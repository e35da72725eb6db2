// The colour parts of a style: the background colour and the mix-colour filter.
#pragma once

#include "platform/WinCe.h"

#include <memory>

class CWceUiLoadColor;

// A layer's background colour: none, transparent, or a colour (a value or a colour identifier).
class CWceUiBgColorCtrl {
public:
    CWceUiBgColorCtrl();
    ~CWceUiBgColorCtrl();
    CWceUiBgColorCtrl(const CWceUiBgColorCtrl&) = delete;
    CWceUiBgColorCtrl& operator=(const CWceUiBgColorCtrl&) = delete;

    // Each of the three gives the layer a background colour.
    void SetColor(COLORREF crColor);
    BOOL SetColorFromRes(LPCWSTR pColorID);
    void SetTransparent();
    // Back to no background colour.
    void Clean();
    BOOL DoCopy(const CWceUiBgColorCtrl& rhs);

    BOOL IsHasBgColor() const { return m_bHasColor; }
    BOOL IsTransparent() const { return m_bTransparent; }
    // The colour (black when its identifier cannot be loaded).
    COLORREF GetColor();
    CWceUiLoadColor* GetLoadColor() { return m_pColor.get(); }
    const CWceUiLoadColor* GetLoadColor() const { return m_pColor.get(); }

private:
    BOOL m_bHasColor;
    BOOL m_bTransparent;
    std::unique_ptr<CWceUiLoadColor> m_pColor;
};

// Tints a layer towards a colour by an opacity of 0..255; -1 and not enabled mean off.
class CWceUiMixColorFilterCtrl {
public:
    CWceUiMixColorFilterCtrl();
    ~CWceUiMixColorFilterCtrl();
    CWceUiMixColorFilterCtrl(const CWceUiMixColorFilterCtrl&) = delete;
    CWceUiMixColorFilterCtrl& operator=(const CWceUiMixColorFilterCtrl&) = delete;

    void SetFilter(BOOL bEnabled, int nOpacity);
    BOOL IsEnabled() const { return m_bEnabled; }
    int GetOpacity() const { return m_nOpacity; }
    void SetColor(COLORREF crColor);
    BOOL SetColorFromRes(LPCWSTR pColorID);
    COLORREF GetColor();
    CWceUiLoadColor* GetLoadColor() { return m_pColor.get(); }
    BOOL DoCopy(const CWceUiMixColorFilterCtrl& rhs);

private:
    std::unique_ptr<CWceUiLoadColor> m_pColor;
    int m_nOpacity;
    BOOL m_bEnabled;
};
