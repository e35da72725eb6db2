// The updater's screen: the file list of the SD card and the resident flash, a progress bar, a status
// line and the buttons "update", "reboot", "calibrate" and "back". On a unit whose configured
// application is the main navigation application it shows only the progress and the status line;
// on every unit it starts the update by itself once the expected package is in the list.
#pragma once

#include "app/FileListDlg.h"

#include <memory>
#include <string>

class CWceUiSlider;
class CWceUiRealWnd;

// Timer of the automatic start, 10 ms after the first listing.
#define TRAVLEK_TIMER_AUTOSTART 108

class CTravlekDlg : public CFileListDlg {
public:
    CTravlekDlg();
    ~CTravlekDlg() override;

    void OnTimer(WORD wTimerNum) override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(CWceUiLayer* pSender) override;
    void OnInitDialog() override;
    void OnFileChosen(CWceUiListBox* pListBox) override;

    // The "update" action: runs the update on the selected list item and, after a success, hands the
    // unit back (launch of the configured application, or calibration, message and reset).
    void StartUpdate();
    // The same on a package given by its path.
    void StartUpdateOn(LPCWSTR pPackagePath);
    // Runs the update sequence on one package; TRUE when it was unpacked.
    BOOL DoUpdate(LPCWSTR pPackagePath);
    // Starts the update once the expected package is in the list; on a unit whose last update was cut
    // while the application folder was being refilled, re-runs that package's update at once, or says
    // which package the unit needs.
    void AutoStart();
    void CompactLayout();
    BOOL RunTouchCalibration();

    LPCWSTR GetConfiguredApp() const;
    BOOL IsMainNavigationUnit() const;
    CWceUiSlider* GetProgress() const;

    // The progress callback of the unpacker (context: the dialog).
    static BOOL MskProgress(LPVOID pContext, LONG nIndex, LPCWSTR pEntryPath, LONG nTotal);

protected:
    // Greys the text of the buttons and the list while an update runs; with bEnabled the colours of
    // their styles come back.
    void SetButtonsEnabledLook(BOOL bEnabled);

private:
    struct Data;
    Data* GetData() const;
    CWceUiRealWnd* GetRealWnd() const;
    void SetStatusText(LPCWSTR pText);
    void RepaintNow();
    void ShowMessage(LPCWSTR pText, UINT uFlags);
    void OnProgress(LONG nIndex, LONG nTotal);

    std::unique_ptr<Data> m_pTravlekData;
};

// Enters CFileListDlg and CTravlekDlg in the framework's class registry (see TravlekRegister).
void TravlekRegisterMainDialog();

// The message shown for an error text of the unpacker (empty for a cancel, which shows nothing).
std::u16string TravlekUpdateErrorMessage(const std::u16string& errorText);
