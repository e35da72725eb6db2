// The input-ignore filter every modal loop passes its messages through: after a window animation,
// pen input that was given while the animation ran (and so aimed at a picture that is gone) is
// swallowed until the first newer pen message of that window arrives.
#pragma once

#include "platform/WinCe.h"

class CFhIgnoreMsg {
public:
    enum { MAX_IGNORE_MSGS = 64, MAX_IGNORE_HWNDS = 128 };

    // The process's tables, created on first use and destroyed at exit.
    static CFhIgnoreMsg& Instance();
    // Fresh tables with the pen down, move and up messages (tests may make their own).
    CFhIgnoreMsg();

    // A message number subject to ignoring; FALSE when the table is full.
    BOOL AddIgnoreMsg(UINT nMsg);
    // Ignore the window's listed messages up to and including this time; FALSE when the table is full.
    BOOL AddHwndTime(HWND hWnd, DWORD dwTime);
    // TRUE when the message is to be swallowed. A message of a window with a recorded time that is
    // newer than the latest recorded time ends the ignoring for that window.
    BOOL IsIgnoreMsg(const MSG* pMsg);

    int GetIgnoreMsgCount() const { return m_nMsgs; }
    int GetHwndTimeCount() const { return m_nHwnds; }

private:
    struct HwndTime {
        HWND hWnd;
        DWORD dwTime;
    };
    UINT m_aMsgs[MAX_IGNORE_MSGS];
    int m_nMsgs;
    HwndTime m_aHwnds[MAX_IGNORE_HWNDS];
    int m_nHwnds;
};
