// The gallery's message box: a title, a message and "OK", run modally over the gallery. It is built
// from the framework alone, so the gallery stays free of the updater.
#pragma once

#include "wceui/ui/WceUiDlg.h"

#include <string>

class CGalleryMsgDlg : public CWceUiDlg {
public:
    // What DoModal returns once "OK" ends the box.
    enum { RESULT_OK = 1 };

    CGalleryMsgDlg();

    // The text the layer "msg" shows; set before DoModal.
    void SetMessage(const std::u16string& text) { m_strMessage = text; }
    const std::u16string& GetMessage() const { return m_strMessage; }

    void OnInitDialog() override;
    // "ok" ends the box.
    void OnCommand(CWceUiLayer* pSender) override;
    // Return and Escape end it as "ok" does, for a keyboard on the simulator.
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;

private:
    std::u16string m_strMessage;
};

WCEUI_DYNCREATE_BEGIN(CGalleryMsgDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CGalleryMsgDlg)
