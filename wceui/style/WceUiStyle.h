// The visual properties of a layer (position, flags, text, font, background, filters), with a flag per
// group that tells whether the style defines it, so that styles can be copied and combined group by
// group.
#pragma once

#include "platform/WinCe.h"

#include <memory>

class CWceUiLoadColor;
class CWceUiFontCtrl;
class CWceUiDrawTextCtrl;
class CWceUiBgColorCtrl;
class CWceUiBgItemCtrl;
class CWceUiMixColorFilterCtrl;

// The groups of a style, for its set flags.
enum {
    WCEUI_STYLE_POSITION = 1 << 0,
    WCEUI_STYLE_VISIBILITY = 1 << 1,
    WCEUI_STYLE_DISABILITY = 1 << 2,
    WCEUI_STYLE_CONTAINER = 1 << 3,
    WCEUI_STYLE_TEXT_COLOR = 1 << 4,
    WCEUI_STYLE_TEXT_RES_ID = 1 << 5,
    WCEUI_STYLE_NO_DRAW = 1 << 6,
    WCEUI_STYLE_NO_INPUT = 1 << 7,
    WCEUI_STYLE_FONT = 1 << 8,
    WCEUI_STYLE_TEXT_LAYOUT = 1 << 9,
    WCEUI_STYLE_BG_COLOR = 1 << 10,
    WCEUI_STYLE_BG_ITEMS = 1 << 11,
    WCEUI_STYLE_ALPHA_FILTER = 1 << 12,
    WCEUI_STYLE_MIX_COLOR_FILTER = 1 << 13,
    WCEUI_STYLE_ALL_GROUPS = (1 << 14) - 1,
};

// What a style needs of the layer it stands for. While a layer is attached, the position and the five
// flags are set through the layer (which moves, shows, redraws as it must and stores the value back
// with the style's Store... calls) instead of in the style itself.
class CWceUiStyleOwner {
public:
    virtual void OnStyleSetPosition(LPCRECT lpRect, BOOL bRelative) = 0;
    virtual void OnStyleSetVisible(BOOL bVisible) = 0;
    virtual void OnStyleSetEnabled(BOOL bEnabled) = 0;
    virtual void OnStyleSetContainer(BOOL bContainer) = 0;
    virtual void OnStyleSetNoDraw(BOOL bNoDraw) = 0;
    virtual void OnStyleSetNoInput(BOOL bNoInput) = 0;

protected:
    ~CWceUiStyleOwner() = default;
};

class CWceUiStyle {
public:
    // Empty position, absolute, visible, enabled, no container, drawn, taking input, no text, no font,
    // the default text layout, no background, filters off, nothing set.
    CWceUiStyle();
    ~CWceUiStyle();
    CWceUiStyle(const CWceUiStyle&) = delete;
    CWceUiStyle& operator=(const CWceUiStyle&) = delete;

    struct Data;
    Data* GetData() const;

    // Set flags (WCEUI_STYLE_*).
    BOOL IsSet(UINT nGroup) const;
    void SetSetFlag(UINT nGroup, BOOL bSet);
    UINT GetSetFlags() const;
    void SetSetFlags(UINT nFlags);

    // Position and flags; through the attached layer when there is one.
    BOOL SetPosition(LPCRECT lpRect, BOOL bRelative);
    BOOL GetPosition(LPRECT lpRect, BOOL* pbRelative = NULL) const;
    BOOL IsRelative() const;
    void SetVisible(BOOL bVisible);
    BOOL IsVisible() const;
    void SetEnabled(BOOL bEnabled);
    BOOL IsEnabled() const;
    void SetContainer(BOOL bContainer);
    BOOL IsContainer() const;
    void SetNoDraw(BOOL bNoDraw);
    BOOL IsNoDraw() const;
    void SetNoInput(BOOL bNoInput);
    BOOL IsNoInput() const;

    // The same, stored in the style only: for the attached layer.
    BOOL StorePosition(LPCRECT lpRect, BOOL bRelative);
    void StoreVisible(BOOL bVisible);
    void StoreEnabled(BOOL bEnabled);
    void StoreContainer(BOOL bContainer);
    void StoreNoDraw(BOOL bNoDraw);
    void StoreNoInput(BOOL bNoInput);

    void AttachLayer(CWceUiStyleOwner* pLayer);
    CWceUiStyleOwner* GetAttachedLayer() const;

    // Text.
    BOOL SetTextColor(LPCWSTR pColorID);
    void SetTextColorValue(COLORREF crColor);
    // The text colour (black when its identifier cannot be loaded).
    COLORREF GetTextColorValue();
    CWceUiLoadColor* GetTextColor();
    BOOL SetTextResID(LPCWSTR pTextResID);
    LPCWSTR GetTextResID() const;
    CWceUiFontCtrl* GetFontCtrl();
    CWceUiDrawTextCtrl* GetDrawTextCtrl();

    // Background.
    CWceUiBgColorCtrl* GetBgColorCtrl();
    CWceUiBgItemCtrl* GetBgItemCtrl();

    // Filters: the alpha filter's opacity is 0..255 when enabled, -1 when off.
    void SetAlphaFilter(BOOL bEnabled, int nOpacity);
    BOOL IsAlphaFilterEnabled() const;
    int GetAlphaFilterOpacity() const;
    CWceUiMixColorFilterCtrl* GetMixColorFilterCtrl();

    // Every value, the background items (deep) and the set flags of the other style.
    BOOL DoCopy(const CWceUiStyle& rhs);
    // Group by group, the preferred style's values where it sets the group, else the fallback's; the
    // background items and the set flags always come from the fallback.
    BOOL Combine(const CWceUiStyle& preferred, const CWceUiStyle& fallback);

private:
    // Copies one group (WCEUI_STYLE_* bit) from another style; the set flags are left alone.
    BOOL CopyGroup(UINT nGroup, const CWceUiStyle& src);

    std::unique_ptr<Data> m_pData;
};
