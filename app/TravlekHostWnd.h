// The updater's full-screen window: it carries the main dialog for the whole run and turns the
// platform's close request into the main dialog's own way of ending.
#pragma once

#include "wceui/ui/WceUiRealWnd.h"

#include <string>

// The message the main dialog ends on (WM_APP + 0x3E9); the close handler posts it.
#define TRAVLEK_WM_END_MAIN_DLG (WM_APP + 0x3E9)

class CTravlekHostWnd : public CWceUiRealWnd {
public:
    CTravlekHostWnd();

    // Posts TRAVLEK_WM_END_MAIN_DLG to itself; the window is not destroyed here.
    void OnClose() override;
    // Titles the window, creates and prepares the main dialog, runs it, deletes it and ends the
    // window's own modal run with 0.
    void OnInitDialog() override;

    // The main dialog's result, or -2 when it could not be created.
    int GetMainDlgResult() const { return m_nMainResult; }

private:
    int m_nMainResult;
};

WCEUI_DYNCREATE_BEGIN(CTravlekHostWnd, CWceUiRealWnd)
WCEUI_DYNCREATE_END(CTravlekHostWnd)
