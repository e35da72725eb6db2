#include "tools/wceui-gallery/GalleryDlg.h"

#include "tools/wceui-gallery/GalleryMsgDlg.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/WceUiLayerCtrl.h"
// The widgets the skin names by class: their headers register them.
#include "wceui/widgets/WceUiButton.h"
#include "wceui/widgets/WceUiEditBox.h"
#include "wceui/widgets/WceUiListBox.h"
#include "wceui/widgets/WceUiSlider.h"

#include <string>

namespace {

// More cities than fit, so that the list scrolls.
const char16_t* const kCities[] = {
    u"Amsterdam", u"Athens",   u"Berlin",    u"Bratislava", u"Brussels", u"Budapest", u"Copenhagen",
    u"Dublin",    u"Helsinki", u"Lisbon",    u"Ljubljana",  u"Madrid",   u"Oslo",     u"Paris",
    u"Prague",    u"Rome",     u"Stockholm", u"Tallinn",    u"Vienna",   u"Warsaw",
};
const int kCityCount = static_cast<int>(sizeof kCities / sizeof kCities[0]);
const char16_t kNameText[] = u"Ada Lovelace";
const char16_t kNoteText[] =
    u"Tap a box to type into it. This one wraps long lines at words, scrolls once the text is "
    u"longer than the box and keeps at most 500 lines.\nA line break starts a new line.";

const int kSliderMax = 100;
const int kSliderStart = 40;

std::u16string ToText(int n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

template <typename T> T* ChildOfKind(CWceUiDlg* pDlg, LPCWSTR pName, LPCWSTR pClass) {
    CWceUiLayer* pLayer = pDlg->GetChildByName(pName);
    if (NULL == pLayer || !pLayer->IsKindOf(pClass)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CGalleryDlg, no %s \"%s\" in the skin", pClass, pName);
        return NULL;
    }
    return static_cast<T*>(pLayer);
}

} // namespace

CGalleryDlg::CGalleryDlg() {
    SetClassName(WCEUI_CLASS_NAME(CGalleryDlg));
}

void CGalleryDlg::OnInitDialog() {
    CWceUiDlg::OnInitDialog();
    m_pSlider = ChildOfKind<CWceUiSlider>(this, u"slider", WCEUI_CLASS_NAME(CWceUiSlider));
    m_pName = ChildOfKind<CWceUiEditBox>(this, u"name", WCEUI_CLASS_NAME(CWceUiEditBox));
    m_pNote = ChildOfKind<CWceUiEditBox>(this, u"note", WCEUI_CLASS_NAME(CWceUiEditBox));
    m_pCities = ChildOfKind<CWceUiListBox>(this, u"cities", WCEUI_CLASS_NAME(CWceUiListBox));
    m_pValue = GetChildByName(u"value");
    m_pNameFrame = GetChildByName(u"name_frame");
    m_pNoteFrame = GetChildByName(u"note_frame");
    m_pStatus = GetChildByName(u"status");

    if (NULL != m_pSlider) {
        m_pSlider->SetRange(0, kSliderMax, FALSE);
        m_pSlider->SetPos(kSliderStart);
    }
    if (NULL != m_pValue) {
        m_pValue->SetText(ToText(kSliderStart).c_str());
    }
    if (NULL != m_pName) {
        m_pName->SetEditText(kNameText);
    }
    if (NULL != m_pNote) {
        m_pNote->SetEditText(kNoteText);
    }
    if (NULL != m_pCities) {
        for (int i = 0; i < kCityCount; ++i) {
            m_pCities->AddString(kCities[i], FALSE);
        }
        m_pCities->InvalidateLayer();
    }
    SetStatus(u"Tap the button, drag the slider, pick a city or type into a box.");

    RegisterMsg(GALLERY_WM_END);
    RegisterMsg(WCEUI_WM_SLIDER_NOTIFY);
    RegisterMsg(WCEUI_LB_MSG_ITEM_ACTIVATE);
    RegisterMsg(WM_CHAR);
    RegisterMsg(WM_KEYDOWN);
}

void CGalleryDlg::OnCommand(CWceUiLayer* pSender) {
    if (NULL != pSender && pSender->IsEqualName(u"show")) {
        ShowMessageBox();
    }
}

LRESULT CGalleryDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case GALLERY_WM_END:
            if (NULL != m_pMsgDlg) {
                m_pMsgDlg->EndDialog(0);
            }
            EndDialog(0);
            return 0;
        case WCEUI_WM_SLIDER_NOTIFY:
            if (NULL != m_pSlider && reinterpret_cast<WPARAM>(m_pSlider) == wParam) {
                OnSliderChanged();
            }
            return 0;
        case WCEUI_LB_MSG_ITEM_ACTIVATE:
            if (1 == wParam && NULL != m_pCities && reinterpret_cast<LPARAM>(m_pCities) == lParam) {
                OnCityPicked();
            }
            return 0;
        case WM_CHAR:
        case WM_KEYDOWN:
            OnTyped();
            return 0;
        default:
            return CWceUiDlg::OnMessage(uMsg, wParam, lParam);
    }
}

void CGalleryDlg::OnKeyDown(UINT nChar, UINT, UINT) {
    if (VK_ESCAPE == nChar) {
        EndDialog(0);
    }
}

void CGalleryDlg::OnPenDown(CWceUiLayer* pHit) {
    CWceUiEditBox* pFocused = GetFocusedBox();
    if (NULL != pFocused && pHit != pFocused && (pHit == m_pName || pHit == m_pNote)) {
        pFocused->SetFocused(FALSE);
    }
}

void CGalleryDlg::OnPenUp() {
    ShowFocus();
}

CWceUiEditBox* CGalleryDlg::GetFocusedBox() const {
    if (NULL != m_pName && m_pName->IsFocused()) {
        return m_pName;
    }
    if (NULL != m_pNote && m_pNote->IsFocused()) {
        return m_pNote;
    }
    return NULL;
}

std::u16string CGalleryDlg::MessageText() const {
    std::u16string text = u"A dialog of its own, run modally over the gallery. The slider is at ";
    text += ToText(NULL == m_pSlider ? 0 : m_pSlider->GetPos());
    const int nSel = NULL == m_pCities ? -1 : m_pCities->GetCurSel();
    if (nSel >= 0) {
        text += u" and ";
        text += m_pCities->GetItemText(nSel);
        text += u" is picked.";
    } else {
        text += u"; no city is picked yet.";
    }
    return text;
}

int CGalleryDlg::ShowMessageBox() {
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    CWceUiDlg* pDlg = NULL == pCtrl ? NULL : pCtrl->CreateDlg(WCEUI_CLASS_NAME(CGalleryMsgDlg));
    if (NULL == pDlg) {
        SetStatus(u"The message box could not be made (see the log).");
        return 0;
    }
    // Characters reach every edit box that registered for them, also under a modal box: the box with
    // the focus gives it up while the message box runs.
    CWceUiEditBox* pFocused = GetFocusedBox();
    if (NULL != pFocused) {
        pFocused->SetFocused(FALSE);
        ShowFocus();
    }
    if (pDlg->IsKindOf(WCEUI_CLASS_NAME(CGalleryMsgDlg))) {
        static_cast<CGalleryMsgDlg*>(pDlg)->SetMessage(MessageText());
    }
    SetStatus(u"The message box is open.");
    m_pMsgDlg = pDlg;
    const int nResult = pDlg->DoModal();
    m_pMsgDlg = NULL;
    pCtrl->DeleteLayer(pDlg);
    SetStatus(u"The message box was closed.");
    if (NULL != pFocused) {
        pFocused->SetFocused(TRUE);
        ShowFocus();
    }
    return nResult;
}

void CGalleryDlg::SetStatus(const std::u16string& text) {
    if (NULL != m_pStatus) {
        m_pStatus->SetText(text.c_str());
    }
}

void CGalleryDlg::ShowFocus() {
    CWceUiEditBox* pFocused = GetFocusedBox();
    const int nFocus = pFocused == m_pName ? 1 : (pFocused == m_pNote ? 2 : 0);
    if (nFocus == m_nFocusShown) {
        return;
    }
    m_nFocusShown = nFocus;
    if (NULL != m_pNameFrame) {
        m_pNameFrame->SetStyle(1 == nFocus ? u"sfield_focus" : u"sfield");
    }
    if (NULL != m_pNoteFrame) {
        m_pNoteFrame->SetStyle(2 == nFocus ? u"mfield_focus" : u"mfield");
    }
}

void CGalleryDlg::OnSliderChanged() {
    const std::u16string value = ToText(m_pSlider->GetPos());
    if (NULL != m_pValue) {
        m_pValue->SetText(value.c_str());
    }
    SetStatus(u"Slider: " + value);
}

void CGalleryDlg::OnCityPicked() {
    const int nSel = m_pCities->GetCurSel();
    if (nSel < 0) {
        return;
    }
    // The check mark follows the tapped row.
    m_pCities->SetSel(nSel, TRUE);
    SetStatus(std::u16string(u"Picked: ") + m_pCities->GetItemText(nSel));
}

void CGalleryDlg::OnTyped() {
    CWceUiEditBox* pFocused = GetFocusedBox();
    if (NULL == pFocused) {
        return;
    }
    // The status line is one line: line breaks show as " / ".
    std::u16string text;
    for (char16_t c : pFocused->GetEditText()) {
        if (u'\n' == c) {
            text += u" / ";
        } else {
            text += c;
        }
    }
    SetStatus((pFocused == m_pName ? u"Single-line box: " : u"Multi-line box: ") + text);
}
