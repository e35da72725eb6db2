// The updater's skinned message box: one text, one of four icons, and either "ok" or the pair
// "yes"/"no", run modally over whatever the host window shows. Flags and results are those of the
// platform's message box, so callers read like ordinary message-box code.
#pragma once

#include "platform/Platform.h"
#include "wceui/ui/WceUiDlg.h"

// The platform's message-box flags and results this box understands.
#ifndef MB_OK
#define MB_OK 0x00000000
#define MB_YESNO 0x00000004
#define MB_ICONHAND 0x00000010
#define MB_ICONQUESTION 0x00000020
#define MB_ICONEXCLAMATION 0x00000030
#define MB_ICONASTERISK 0x00000040
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0
#endif
#ifndef IDYES
#define IDYES 6
#define IDNO 7
#endif

class CWceUiButton;

class CMsgBoxDlg : public CWceUiDlg {
public:
    enum { MAX_TEXT = 256 };

    CMsgBoxDlg();

    // Takes at most 255 units of pText, then runs the box until a button ends it. nTextMode 0 shows
    // pText as the message layer's own text; any other value makes it the text identifier of the
    // layer's style (a key of the language file). Returns IDYES for "yes" and "ok", IDNO for "no".
    int ShowMessage(LPCWSTR pText, int nTextMode, UINT uFlags);
    // What ShowMessage does before it runs the box: the text and flags the box opens with. A tool that
    // draws the box without running it calls this before the dialog starts.
    void SetMessage(LPCWSTR pText, int nTextMode, UINT uFlags);

    void OnInitDialog() override;
    void OnCommand(CWceUiLayer* pSender) override;

    LPCWSTR GetMessageText() const { return m_szText; }

private:
    CWceUiLayer* m_pYes;
    CWceUiLayer* m_pNo;
    CWceUiLayer* m_pOk;
    CWceUiLayer* m_pMsg;
    CWceUiLayer* m_pInfoIcon;
    CWceUiLayer* m_pQuestionIcon;
    CWceUiLayer* m_pWarningIcon;
    CWceUiLayer* m_pErrorIcon;
    WCHAR m_szText[MAX_TEXT];
    int m_nTextMode;
    UINT m_uFlags;
};

// Enters CMsgBoxDlg in the framework's class registry (see TravlekRegister).
void TravlekRegisterMessageBox();
