// The gallery's one screen: a button that opens a message box, a slider with its value, a single-line
// and a multi-line edit box, and a list of cities, with a status line that says what the last touch
// or keystroke did. Layer names are those of the gallery's skin (CGalleryDlg.dlg.xml).
#pragma once

#include "wceui/ui/WceUiDlg.h"

#include <string>

class CWceUiEditBox;
class CWceUiListBox;
class CWceUiSlider;

// Posted by the host window when the platform asks it to close; the gallery ends on it.
#define GALLERY_WM_END (WM_APP + 0x3F0)

class CGalleryDlg : public CWceUiDlg {
public:
    CGalleryDlg();

    // Finds the widgets, fills the list and the edit boxes, and registers for the widgets' messages
    // and for the keys the edit boxes take (after the boxes, so it sees the edited text).
    void OnInitDialog() override;
    // The button "show" opens the message box.
    void OnCommand(CWceUiLayer* pSender) override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    // Escape ends the gallery.
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;

    // The host calls these around routing a pen press and a release. A press on another edit box
    // takes the focus from the box that has it (there is one caret), a release shows on the frames
    // which box has the focus now.
    void OnPenDown(CWceUiLayer* pHit);
    void OnPenUp();

private:
    // Runs the message box (the edit box with the focus gives it up meanwhile); its result.
    int ShowMessageBox();
    // The message the box shows: it names the slider's value and the picked city.
    std::u16string MessageText() const;
    CWceUiEditBox* GetFocusedBox() const;
    void SetStatus(const std::u16string& text);
    void ShowFocus();
    void OnSliderChanged();
    void OnCityPicked();
    void OnTyped();

    CWceUiSlider* m_pSlider = nullptr;
    CWceUiLayer* m_pValue = nullptr;
    CWceUiEditBox* m_pName = nullptr;
    CWceUiEditBox* m_pNote = nullptr;
    CWceUiLayer* m_pNameFrame = nullptr;
    CWceUiLayer* m_pNoteFrame = nullptr;
    CWceUiListBox* m_pCities = nullptr;
    CWceUiLayer* m_pStatus = nullptr;
    // The message box while it runs, so that closing the window can end it too.
    CWceUiDlg* m_pMsgDlg = nullptr;
    // Which frame shows the focus: 0 none, 1 the name box, 2 the note box.
    int m_nFocusShown = 0;
};

WCEUI_DYNCREATE_BEGIN(CGalleryDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CGalleryDlg)
