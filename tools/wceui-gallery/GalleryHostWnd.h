// The gallery's full-screen window: it runs the gallery dialog, turns the platform's close request
// into the dialog's own way of ending, and tells the dialog about pen presses and releases so that
// one edit box at most holds the focus.
#pragma once

#include "wceui/ui/WceUiRealWnd.h"

class CGalleryDlg;

#define GALLERY_WINDOW_TITLE u"WCEUI_GALLERY"

class CGalleryHostWnd : public CWceUiRealWnd {
public:
    CGalleryHostWnd();

    // Titles the window, creates and runs the gallery dialog, deletes it and ends the window's own
    // modal run with 0.
    void OnInitDialog() override;
    void OnClose() override;
    void OnLButtonDown(UINT nFlags, int x, int y) override;
    void OnLButtonUp(UINT nFlags, int x, int y) override;

    // Whether the gallery dialog could be made from the skin.
    bool RanGallery() const { return m_bRan; }

private:
    CGalleryDlg* m_pGallery = nullptr;
    bool m_bRan = false;
};

WCEUI_DYNCREATE_BEGIN(CGalleryHostWnd, CWceUiRealWnd)
WCEUI_DYNCREATE_END(CGalleryHostWnd)
