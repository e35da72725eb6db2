// A layer that swaps between up to three styles while the pen presses it and tells its notify target
// (OnCommand) when the pen is released over it.
#pragma once

#include "wceui/ui/WceUiLayer.h"

#include <memory>
#include <string>

// The button's states: at rest, pressed with the pen on it, pressed with the pen slid off it.
#define WCEUI_BUTTON_STATE_NORMAL 1
#define WCEUI_BUTTON_STATE_DOWN 2
#define WCEUI_BUTTON_STATE_OUT 3

// Room of a style name, terminator included.
#define WCEUI_BUTTON_STYLE_NAME_LEN 64

class CWceUiButton : public CWceUiLayer {
public:
    CWceUiButton();
    ~CWceUiButton() override;

    // The layer's own properties, then "style", "down.style" and "focus.style".
    BOOL SetProperties(CWceUiXmlElem* pCreateElem) override;
    void OnLoseCapture() override;
    void OnLButtonDown(UINT nFlags, POINT point) override;
    void OnLButtonUp(UINT nFlags, POINT point) override;
    void OnMouseMove(UINT nFlags, POINT point) override;

    // Each setter keeps at most 63 units and applies the style at once when the button is in the state
    // the name belongs to. Null stands for an empty name.
    void SetNormalStyle(LPCWSTR pStyleName);
    void SetDownStyle(LPCWSTR pStyleName);
    void SetOutStyle(LPCWSTR pStyleName);
    LPCWSTR GetNormalStyle() const;
    LPCWSTR GetDownStyle() const;
    LPCWSTR GetOutStyle() const;

    // WCEUI_BUTTON_STATE_*.
    int GetState() const;
    BOOL IsPressed() const;

    // What the layer-tree dump adds after a button's common fields: " state=normal|down|out".
    std::u16string GetDumpInfo() const;
    void AppendDumpInfo(std::string* line, std::vector<std::string>* extraLines) const override;

    struct BtnData;
    BtnData* GetBtnData() const;

private:
    void SetStyleName(int nState, LPCWSTR pStyleName);
    void ApplyIfSet(int nState);

    std::unique_ptr<BtnData> m_pBtnData;
};

WCEUI_DYNCREATE_BEGIN(CWceUiButton, CWceUiLayer)
WCEUI_DYNCREATE_END(CWceUiButton)
