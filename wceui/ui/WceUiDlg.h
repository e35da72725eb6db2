// A layer that stands for one screen: made from a dialog file (its layers) and a style file (the
// named styles and window animations the screen uses), created by the layer controller.
#pragma once

#include "platform/WinCe.h"
#include "wceui/ui/WceUiLayer.h"

#include <memory>

class CWceUiWndAnimate;
class CWceUiXmlDoc;
class CFhStyleFile;

// How a dialog runs.
#ifndef DLG_RUN_IN_MODELESS
#define DLG_RUN_IN_MODELESS 1
#define DLG_RUN_IN_MODAL 2
#define DLG_RUN_NOT_RUNNING 3
#endif

class CWceUiDlg : public CWceUiLayer {
public:
    CWceUiDlg();
    ~CWceUiDlg() override;

    BOOL SetProperties(CWceUiXmlElem* pCreateElem) override;
    // Called by the modal run once the dialog and its layers are set up.
    virtual void OnInitDialog();
    // The pen went down where no layer takes it.
    virtual void OnBlankLButtonDown(UINT nFlags, POINT point);
    // The window animation "in" (entering) or "out" (leaving) of the style file: Apply keeps the
    // window's picture before the change, Play shows the change. Both FALSE when there is none.
    virtual BOOL ApplyWndAnimate(BOOL bEntering);
    virtual BOOL PlayWndAnimate(BOOL bEntering);
    // Runs the dialog on top of the window's dialogs until EndDialog; returns its result (-1 when the
    // loop ended otherwise).
    virtual int DoModal();
    BOOL EndDialog(int nResult);

    // Loads both files and creates the dialog's layers.
    BOOL Init(LPCWSTR pDlgFileFullPath, LPCWSTR pStyleFileFullPath);
    // Copies a named style of the dialog's style file; FALSE leaves pStyle as it was.
    BOOL GetStyleData(LPCWSTR pStyleName, CWceUiStyle* pStyle);
    // A new window animation of the style file, which the caller deletes; null when there is none.
    CWceUiWndAnimate* GetWndAnimate(LPCWSTR pName);
    BOOL DoesHaveAnimate(LPCWSTR pName);
    // OnLoad (OnInitLayer) of the dialog, then of every layer below it, parents before children.
    void SendOnLoad();
    void SendOnInitLayer();
    // Puts the dialog under an empty root as a dialog that runs without its own message loop.
    BOOL RunModeless();
    BOOL EndModeless();
    int GetRunWay() const;
    // The host window's rectangle while this is the first dialog ("windowrect"); FALSE when unset.
    BOOL GetDlgWindowRect(LPRECT lpRect) const;
    CWceUiXmlDoc* GetDlgDoc() const;
    CFhStyleFile* GetStyleFile() const;

    struct DlgData;
    DlgData* GetDlgData() const;

protected:
    void SetRunWay(int nRunWay);

private:
    // Calls the handler of this dialog and of every layer under it; pOperation names the call in the
    // log.
    void SendToAll(void (CWceUiLayer::*pHandler)(), const char* pOperation);
    std::unique_ptr<DlgData> m_pDlgData;
};

WCEUI_DYNCREATE_BEGIN(CWceUiDlg, CWceUiLayer)
WCEUI_DYNCREATE_END(CWceUiDlg)
