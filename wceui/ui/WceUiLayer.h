// The node of a window's retained layer tree: a rectangle, a style (colours, images, text, filters,
// flags), a name, an optional text and children. Layers draw themselves into the window bitmap when the
// layer controller asks and receive the pen, key, timer and message events the host window routes to
// them. Dialogs and every widget are layers; the controller creates, owns and deletes them.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/WceUiObject.h"
#include "wceui/style/WceUiStyle.h"

#include <memory>
#include <string>
#include <vector>

class CWceUiLayerCtrl;
class CWceUiLayerHost;
class CWceUiDlg;
class CWceUiBgItem;
class CWceUiGenericBitmap;
struct CWceUiXmlNode;
typedef CWceUiXmlNode CWceUiXmlElem;

// Position ways: the position rectangle in window coordinates, or relative to the parent's window
// rectangle.
#define WCEUI_POS_WAY_WINDOW 0
#define WCEUI_POS_WAY_RELATIVE 1

// Room of the explicit stacks that walk layer trees and dialog files: a tree may be at most this many
// layers deep below where a walk starts.
#define WCEUI_LAYER_STACK_SIZE 64

// The flags the text of every layer is drawn with on top of the style's own.
#define WCEUI_TEXT_ALWAYS_FLAGS DT_END_ELLIPSIS

class CWceUiLayer : public CWceUiObject, public CWceUiStyleOwner {
public:
    CWceUiLayer();
    ~CWceUiLayer() override;
    CWceUiLayer(const CWceUiLayer&) = delete;
    CWceUiLayer& operator=(const CWceUiLayer&) = delete;

    // Event and drawing hooks, all empty by default.
    virtual BOOL SetProperties(CWceUiXmlElem* pCreateElem);
    virtual void OnLoad();
    virtual void OnInitLayer();
    virtual void OnTimer(WORD wTimerNum);
    virtual void OnLoseCapture();
    virtual LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // A message a layer may want before its own handling; the framework itself never asks.
    virtual BOOL OnPreMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Pen events, in window coordinates.
    virtual void OnLButtonDown(UINT nFlags, POINT point);
    virtual void OnLButtonUp(UINT nFlags, POINT point);
    virtual void OnLButtonDblClk(UINT nFlags, POINT point);
    virtual void OnMouseMove(UINT nFlags, POINT point);
    // Keys reach the topmost dialog only.
    virtual void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    // A control tells its parent that something happened to it.
    virtual void OnCommand(CWceUiLayer* pSender);
    virtual void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnSetFocus();
    virtual void OnKillFocus();
    // Reloads the display text from the style's text identifier unless a text was set directly.
    virtual void RefreshText();
    // Draws the layer into the window bitmap; lpNeedDraw is the part that must be right afterwards.
    virtual void OnDraw(CWceUiGenericBitmap* pWndBitmap, LPCRECT lpNeedDraw);
    // The steps of OnDraw. bClient: drawing into the layer's own bitmap (client coordinates) rather
    // than into the window bitmap (window coordinates).
    virtual void OnDrawBackGround(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient);
    virtual void OnDrawBgImgs(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient);
    virtual void OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient);
    virtual void OnDrawExtra(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient);
    // What the layer-tree dump says beyond the common fields: " key=value" pairs appended to the
    // layer's line, and lines of their own (without indent; the dump puts them one level below the
    // layer). The plain layer adds nothing.
    virtual void AppendDumpInfo(std::string* line, std::vector<std::string>* extraLines) const;
    // The text the dump shows for the layer: its own text, or what a widget holds in its place.
    virtual LPCWSTR GetDumpText() const;

    void OnDrawMixColorFilter(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient);
    BOOL DrawOneBgImg(CWceUiBgItem* pBgItem, CWceUiGenericBitmap* pDrawBitmap, BOOL bClient);
    // Whether what lies under the layer may show through it (a transparent background, an image with
    // alpha, the alpha filter); any other layer hides its whole window rectangle.
    BOOL IsSeeThrough();
    BOOL IsReDraw() const;
    void SetReDraw(BOOL bReDraw);

    // Tree.
    BOOL AppendChild(CWceUiLayer* pNewChild);
    BOOL RemoveChild(CWceUiLayer* pChild);
    BOOL RemoveTail();
    CWceUiLayer* GetFirstChild() const;
    CWceUiLayer* GetLastChild() const;
    CWceUiLayer* NextChild(CWceUiLayer* pChild) const;
    CWceUiLayer* PreChild(CWceUiLayer* pChild) const;
    int GetChildCount() const;
    CWceUiLayer* GetParent() const;
    CWceUiLayer* GetChildByName(LPCWSTR pName) const;
    // The name compared ignoring case; two empty names are equal.
    BOOL IsEqualName(LPCWSTR pName) const;
    CWceUiDlg* GetDlg();
    // The layer a control tells of its commands: its parent, or itself when the parent is the root;
    // null for a layer without a parent.
    CWceUiLayer* GetNotifyTarget();
    CWceUiLayerCtrl* GetLayerCtrl() const;
    void SetLayerCtrl(CWceUiLayerCtrl* pLayerCtrl);
    WORD GetLayerID() const;
    CWceUiLayerHost* GetWindow() const;

    // Geometry.
    BOOL GetClientRect(LPRECT lpRect) const;
    BOOL GetWindowRect(LPRECT lpRect) const;
    void ClientToWindow(LPRECT lpRect) const;
    void ClientToWindow(LPPOINT lpPoint) const;
    void WindowToClient(LPRECT lpRect) const;
    void WindowToClient(LPPOINT lpPoint) const;
    // The position rectangle as the style holds it, and its way.
    BOOL GetLayerPosition(LPRECT lpRect, int* pnPosWay = NULL) const;
    BOOL SetLayerPosition(LPCRECT lpRect, int nPosWay, BOOL bRedraw);
    BOOL MoveLayer(LPCRECT lpWindowRect, BOOL bRedraw);

    // State.
    void ShowLayer(BOOL bShow, BOOL bRemember = TRUE);
    void EnableLayer(BOOL bEnable, BOOL bRemember = TRUE);
    void SetLayerContainer(BOOL bContainer);
    void SetLayerNoDraw(BOOL bNoDraw);
    void SetLayerNoInput(BOOL bNoInput);
    BOOL IsLayerVisible() const;
    BOOL IsLayerEnabled() const;
    BOOL IsLayerContainer() const;
    BOOL IsLayerNoDraw() const;
    BOOL IsLayerNoInput() const;

    BOOL SetName(LPCWSTR pName);
    LPCWSTR GetName() const;
    BOOL SetText(LPCWSTR pText);
    BOOL SetTextResID(LPCWSTR pTextResID);
    // The display text as last set or refreshed.
    LPCWSTR GetText() const;
    BOOL IsTextSet() const;

    BOOL SetStyle(LPCWSTR pStyleName);
    BOOL SetCommonStyle(LPCWSTR pStyleName);
    // Creates the layers an element describes below this layer; *ppFirstLayer gets the first one.
    BOOL CreateAllChilds(CWceUiXmlElem* pElem, CWceUiLayer** ppFirstLayer = NULL);
    // The effective style (what is drawn) and the layer's own settings that SetStyle keeps.
    CWceUiStyle* GetStyle() const;
    CWceUiStyle* GetOwnStyle() const;

    void GetNeedDrawRect(LPRECT lpRect) const;
    void SetNeedDrawRect(LPCRECT lpRect);

    // Services of the host window.
    void InvalidateLayer(LPCRECT lpWindowRect = NULL);
    BOOL SetLayerTimer(WORD wTimerNum, UINT uElapse);
    BOOL KillLayerTimer(WORD wTimerNum);
    BOOL RegisterMsg(UINT uMsg);
    BOOL SetLayerCapture();
    BOOL ReleaseLayerCapture();
    BOOL HasCapture() const;

    // Style callbacks: settings of position and flags on the effective style go through the layer.
    void OnStyleSetPosition(LPCRECT lpRect, BOOL bRelative) override;
    void OnStyleSetVisible(BOOL bVisible) override;
    void OnStyleSetEnabled(BOOL bEnabled) override;
    void OnStyleSetContainer(BOOL bContainer) override;
    void OnStyleSetNoDraw(BOOL bNoDraw) override;
    void OnStyleSetNoInput(BOOL bNoInput) override;

    struct Data;
    Data* GetData() const;

private:
    friend class CWceUiLayerCtrl;
    void SetLayerID(WORD wID);
    void RebuildLists(BOOL bDraw, BOOL bInput);
    BOOL CalcWindowRect(LPCRECT lpPos, int nPosWay, LPRECT lpOut, const char* pOperation) const;
    std::unique_ptr<CWceUiGenericBitmap>& LayerBitmapRef();
    BOOL PrepareLayerBitmap(CWceUiGenericBitmap* pWndBitmap);

    // Links of the controller's lists and of the parent's child list.
    CWceUiLayer* m_pDrawPre;
    CWceUiLayer* m_pDrawNext;
    CWceUiLayer* m_pPaintNext;
    CWceUiLayer* m_pSiblingPre;
    CWceUiLayer* m_pSiblingNext;
    CWceUiLayer* m_pInputNext;
    std::unique_ptr<Data> m_pData;
};

WCEUI_DYNCREATE_BEGIN(CWceUiLayer, CWceUiObject)
WCEUI_DYNCREATE_END(CWceUiLayer)
