#include "wceui/ui/FhIgnoreMsg.h"
#include "wceui/core/WceUiLog.h"

CFhIgnoreMsg& CFhIgnoreMsg::Instance() {
    static CFhIgnoreMsg s_instance;
    return s_instance;
}

CFhIgnoreMsg::CFhIgnoreMsg() : m_aMsgs{}, m_nMsgs(0), m_aHwnds{}, m_nHwnds(0) {
    AddIgnoreMsg(WM_LBUTTONDOWN);
    AddIgnoreMsg(WM_MOUSEMOVE);
    AddIgnoreMsg(WM_LBUTTONUP);
}

BOOL CFhIgnoreMsg::AddIgnoreMsg(UINT nMsg) {
    if (m_nMsgs >= MAX_IGNORE_MSGS) {
        WceUiLog(WCEUI_LOG_ERROR, "In CFhIgnoreMsg::AddIgnoreMsg, Too many ignore messages");
        return FALSE;
    }
    m_aMsgs[m_nMsgs++] = nMsg;
    return TRUE;
}

BOOL CFhIgnoreMsg::AddHwndTime(HWND hWnd, DWORD dwTime) {
    if (m_nHwnds >= MAX_IGNORE_HWNDS) {
        WceUiLog(WCEUI_LOG_ERROR, "In CFhIgnoreMsg::AddHwndTime, Too many ignore HWNDs");
        return FALSE;
    }
    m_aHwnds[m_nHwnds].hWnd = hWnd;
    m_aHwnds[m_nHwnds].dwTime = dwTime;
    m_nHwnds++;
    return TRUE;
}

BOOL CFhIgnoreMsg::IsIgnoreMsg(const MSG* pMsg) {
    if (m_nHwnds == 0 || !pMsg)
        return FALSE;
    bool bListed = false;
    for (int i = 0; i < m_nMsgs && !bListed; i++)
        bListed = m_aMsgs[i] == pMsg->message;
    if (!bListed)
        return FALSE;
    for (int i = m_nHwnds - 1; i >= 0; i--) {
        if (m_aHwnds[i].hWnd != pMsg->hwnd)
            continue;
        if (m_aHwnds[i].dwTime >= pMsg->time)
            return TRUE;
        // The first newer pen message: this window's pairs are done with.
        int nKept = 0;
        for (int j = 0; j < m_nHwnds; j++)
            if (m_aHwnds[j].hWnd != pMsg->hwnd)
                m_aHwnds[nKept++] = m_aHwnds[j];
        m_nHwnds = nKept;
        return FALSE;
    }
    return FALSE;
}
