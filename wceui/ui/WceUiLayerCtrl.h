// The layer tree of one host window: the root layer "__root_of_body__" with one child per running
// dialog (the last is the topmost), creation of layers and dialogs by class name, 16-bit layer
// identifiers, and the draw, input and paint lists derived from the tree.
#pragma once

#include "platform/WinCe.h"
#include <memory>

class CWceUiLayer;
class CWceUiDlg;
class CWceUiGenericBitmap;
class CWceUiWndAnimate;

// The window that hosts a layer tree, as the layers see it. The host window implements it; tests may
// stand in for it.
class CWceUiLayerHost {
public:
    // Asks for a repaint of a window rectangle (the whole window when null).
    virtual void InvalidateWndRect(LPCRECT lpRect, BOOL bErase) = 0;
    // A platform timer on the window; the identifier carries the layer identifier in its low 16 bits
    // and the layer's timer number in the high 16 bits.
    virtual BOOL SetWndTimer(UINT_PTR uIDEvent, UINT uElapse) = 0;
    virtual BOOL KillWndTimer(UINT_PTR uIDEvent) = 0;
    // The layer receives OnMessage for the window message until it unregisters.
    virtual BOOL RegisterMsg(UINT uMsg, CWceUiLayer* pLayer) = 0;
    virtual BOOL UnRegisterMsg(UINT uMsg, CWceUiLayer* pLayer) = 0;
    // Makes the layer the one that takes the pen until released; the previous holder gets
    // OnLoseCapture. Returns the previous holder.
    virtual CWceUiLayer* SetCapture(CWceUiLayer* pLayer) = 0;
    // Lets the capture go if this layer holds it.
    virtual void ReleaseCapture(CWceUiLayer* pLayer) = 0;
    virtual CWceUiLayer* GetCaptureLayer() const = 0;

    // What running dialogs need of their window.
    // Moves and sizes the window (repainting it) to a dialog's window rectangle.
    virtual BOOL MoveWnd(LPCRECT lpRect) = 0;
    // Keeps a picture of the window (the one given, or the window drawn now when null) as the start of
    // the next animation.
    virtual BOOL Apply(CWceUiGenericBitmap* pFromBitmap) = 0;
    // Plays animations from the applied picture to the window's picture now; with bIgnoreInput the pen
    // input given meanwhile is discarded.
    virtual BOOL Play(CWceUiWndAnimate** ppWndAnimate, int nWndAnimate, BOOL bIgnoreInput) = 0;
    // Runs the thread's messages until *pbEnd is set; FALSE when the loop ended because no message can
    // come any more or the queue failed.
    virtual BOOL RunModalLoop(const BOOL* pbEnd) = 0;
    // Wakes a waiting loop so that it looks at its end flag (an empty message).
    virtual void WakeUp() = 0;

protected:
    ~CWceUiLayerHost() = default;
};

// Hands out layer identifiers 1..65534; once the counter has run to the end, the lowest free one.
class CWUniqueID {
public:
    enum { INVALID_ID = 65535, TABLE_STEP = 128 };
    CWUniqueID();
    ~CWUniqueID();
    CWUniqueID(const CWUniqueID&) = delete;
    CWUniqueID& operator=(const CWUniqueID&) = delete;
    // INVALID_ID (after an error line) when all are in use.
    DWORD GetID();
    void ReleaseID(DWORD dwID);
    BOOL IsInUse(DWORD dwID) const;
    int GetUsedCount() const;

private:
    struct Data;
    std::unique_ptr<Data> m_pData;
};

class CWceUiLayerCtrl {
public:
    CWceUiLayerCtrl();
    ~CWceUiLayerCtrl();
    CWceUiLayerCtrl(const CWceUiLayerCtrl&) = delete;
    CWceUiLayerCtrl& operator=(const CWceUiLayerCtrl&) = delete;

    CWceUiLayerHost* GetWindow() const;
    BOOL SetWindow(CWceUiLayerHost* pWindow);
    CWceUiLayer* RootLayer() const;

    // Gives a layer a new identifier, enters it in the identifier map and names it.
    BOOL InitLayerInfo(CWceUiLayer* pNode, LPCWSTR pName);
    // Creates a layer of a registered class under a parent (never the root): appended, identified,
    // named, and told OnLoad. Null (with an error line) on failure.
    CWceUiLayer* CreateLayer(CWceUiLayer* pParent, LPCWSTR pType, LPCWSTR pName);
    // Creates and initialises a dialog from "<window directory><path>.dlg.xml" and ".style.xml"; it is
    // not yet in the tree. The caller deletes it with DeleteLayer.
    CWceUiDlg* CreateDlg(LPCWSTR pDlgPath);
    // Deletes a layer and its whole subtree.
    void DeleteLayer(CWceUiLayer* pNode);
    CWceUiLayer* GetLayerByID(DWORD dwID) const;
    int GetLayerCount() const;

    void ReBuildDrawList();
    void ReBuildInputList();
    void ReBuildAllList();
    // The draw list, from the root up to the topmost layer.
    CWceUiLayer* GetDrawHead() const;
    CWceUiLayer* GetDrawNext(CWceUiLayer* pCurLayer) const;
    // The input list, topmost first.
    CWceUiLayer* GetInputHead() const;
    CWceUiLayer* GetInputNext(CWceUiLayer* pCurLayer) const;
    // The first layer of the input list whose window rectangle holds the point.
    CWceUiLayer* HitTest(POINT pt) const;
    // Builds the paint list of a dirty window rectangle; its layers, bottom first.
    void BuildPaintList(LPCRECT lpDirty);
    CWceUiLayer* GetPaintHead() const;
    CWceUiLayer* GetPaintNext(CWceUiLayer* pCurLayer) const;
    int GetPaintCount() const;
    // Draws the layers of the dirty rectangle into the window bitmap.
    BOOL Draw(CWceUiGenericBitmap* pWndBmp, LPCRECT lpDirty);

    // The class name of a dialog path: the part after the last separator.
    static LPCWSTR GetDlgLayerClassName(LPCWSTR pDlgPath);

    struct Data;
    Data* GetData() const;

private:
    void InitBody();
    CWceUiLayer* impCreateLayer(CWceUiLayer* pParent, LPCWSTR pType);
    void impDeleteElement(CWceUiLayer* pNode);
    std::unique_ptr<Data> m_pData;
};
