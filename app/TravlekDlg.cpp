#include "app/TravlekDlg.h"

#include "app/MsgBox.h"
#include "app/TravlekApp.h"
#include "app/TravlekConfiguredApp.h"
#include "app/TravlekFlash.h"
#include "app/TravlekDlgData.h"
#include "app/TravlekRunReport.h"
#include "package/MskInstall.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/ui/WceUiRealWnd.h"
#include "wceui/widgets/WceUiButton.h" // the dialog file creates its buttons by class name
#include "wceui/widgets/WceUiListBox.h"
#include "wceui/widgets/WceUiSlider.h"

#include <new>

namespace {

const WORD kTimerFirstListing = 1;
// Message the platform's SD driver sends on its own; registered so that it reaches the dialog.
const UINT kMsgDriver = 0x7001;

struct CompactPlace {
    int width; // 0: any other width
    RECT status;
    int progressShift;
};
const CompactPlace kCompactPlaces[] = {
    {800, {630, 200, 797, 270}, 200},
    {480, {390, 135, 480, 155}, 100},
    {0, {270, 113, 320, 133}, 100},
};

} // namespace

void TravlekRegisterMainDialog() {
    WceUiRegisterClass(WCEUI_CLASS_NAME(CFileListDlg), WCEUI_CLASS_NAME(CWceUiDlg),
                       []() -> CWceUiObject* { return new (std::nothrow) CFileListDlg; });
    WceUiRegisterClass(WCEUI_CLASS_NAME(CTravlekDlg), WCEUI_CLASS_NAME(CFileListDlg),
                       []() -> CWceUiObject* { return new (std::nothrow) CTravlekDlg; });
}

CTravlekDlg::CTravlekDlg() : m_pTravlekData(WceUiNewRecord<Data>("CTravlekDlg")) {
    SetClassName(WCEUI_CLASS_NAME(CTravlekDlg));
}

CTravlekDlg::~CTravlekDlg() = default;

CTravlekDlg::Data* CTravlekDlg::GetData() const {
    return m_pTravlekData.get();
}

CWceUiRealWnd* CTravlekDlg::GetRealWnd() const {
    return dynamic_cast<CWceUiRealWnd*>(GetWindow());
}

LPCWSTR CTravlekDlg::GetConfiguredApp() const {
    Data* pData = GetData();
    return NULL == pData ? u"" : pData->configuredApp.c_str();
}

BOOL CTravlekDlg::IsMainNavigationUnit() const {
    return TravlekIsMainNavigationApp(GetConfiguredApp());
}

CWceUiSlider* CTravlekDlg::GetProgress() const {
    Data* pData = GetData();
    return NULL == pData ? NULL : pData->pProgress;
}

void CTravlekDlg::OnInitDialog() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    RegisterMsg(WCEUI_WM_SLIDER_NOTIFY);
    RegisterMsg(TRAVLEK_WM_SDNOTIFY);
    RegisterMsg(kMsgDriver);
    CFileListDlg::OnInitDialog();

    pData->pListBox = dynamic_cast<CWceUiListBox*>(GetChildByName(u"listbox"));
    pData->pProgress = dynamic_cast<CWceUiSlider*>(GetChildByName(u"progress"));
    if (NULL != pData->pProgress) {
        pData->pProgress->SetRange(0, 100, TRUE);
    } else {
        WceUiLog(WCEUI_LOG_ERROR, "CTravlekDlg::OnInitDialog, no slider named progress");
    }

    // The same reader as start-up's, so that the package the unit expects and the way this screen
    // treats the unit never disagree.
    WCHAR szApp[TRAVLEK_APP_PATH_LEN];
    TravlekReadConfiguredApp(szApp);
    pData->configuredApp = szApp;
    if (IsMainNavigationUnit()) {
        CompactLayout();
    }
}

void CTravlekDlg::CompactLayout() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    if (NULL != pData->pListBox) {
        pData->pListBox->ShowLayer(FALSE);
        pData->pListBox->InvalidateLayer();
    }
    for (LPCWSTR pName : {u"calibrate", u"update", u"reboot", u"back", u"background"}) {
        if (CWceUiLayer* pLayer = GetChildByName(pName)) {
            pLayer->ShowLayer(FALSE);
            InvalidateLayer();
        }
    }
    const int nWidth = CFhGlobalData::Instance().GetScreenWidth();
    const CompactPlace* pPlace = &kCompactPlaces[2];
    for (const CompactPlace& place : kCompactPlaces) {
        if (place.width == nWidth) {
            pPlace = &place;
            break;
        }
    }
    // The skin's line asking the person not to switch the unit off, if it has one.
    if (CWceUiLayer* pNotice = GetChildByName(u"notice")) {
        pNotice->ShowLayer(TRUE);
        pNotice->InvalidateLayer();
    }
    if (CWceUiLayer* pStatus = GetChildByName(u"status")) {
        pStatus->MoveLayer(&pPlace->status, TRUE);
        if (CWceUiStyle* pStyle = pStatus->GetStyle()) {
            pStyle->SetTextColorValue(RGB(0xFF, 0xFF, 0xFF));
        }
        pStatus->InvalidateLayer();
    }
    RECT rcProgress;
    if (NULL != pData->pProgress && pData->pProgress->GetWindowRect(&rcProgress)) {
        OffsetRect(&rcProgress, 0, -pPlace->progressShift);
        pData->pProgress->MoveLayer(&rcProgress, TRUE);
    }
}

void CTravlekDlg::OnTimer(WORD wTimerNum) {
    if (kTimerFirstListing == wTimerNum) {
        SetLayerTimer(TRAVLEK_TIMER_AUTOSTART, 10);
    } else if (TRAVLEK_TIMER_AUTOSTART == wTimerNum) {
        KillLayerTimer(TRAVLEK_TIMER_AUTOSTART);
        AutoStart();
    }
    CFileListDlg::OnTimer(wTimerNum);
}

void CTravlekDlg::AutoStart() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    const MskPhaseRecord record = MskReadPhaseRecord(MskInstallLayoutFor(TRAVLEK_APP_FOLDER));
    if (MSK_PHASE_UNPACKING == record.phase) {
        // Only the package whose unpack was cut can make the application whole again.
        const DWORD dwAttributes = GetFileAttributesW(record.package.c_str());
        if (INVALID_FILE_ATTRIBUTES != dwAttributes && 0 == (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            WceUiLogW(WCEUI_LOG_WARNING, u"CTravlekDlg::AutoStart, completing the cut update from %s",
                      record.package.c_str());
            StartUpdateOn(record.package.c_str());
        } else {
            ShowMessage(WFormat(u"The application is incomplete. Insert the SD card with %s to complete "
                                u"the update.",
                                record.package.c_str())
                            .c_str(),
                        TRAVLEK_BOX_ERROR);
        }
        return;
    }
    const std::u16string expected(GetExpectedPath());
    if (expected.empty()) {
        return;
    }
    CWceUiListBox* pList = pData->pListBox;
    const int nCount = NULL == pList ? 0 : pList->GetCount();
    for (int i = 0; i < nCount; ++i) {
        const FileListItem* pItem = GetItemRecord(i);
        if (NULL != pItem && FILELIST_KIND_FILE == pItem->nKind &&
            0 == WStrICmp(pItem->szPath, expected.c_str())) {
            pList->SetSel(i, TRUE);
            OnFileChosen(pList);
            StartUpdate();
            return;
        }
    }
    if (IsMainNavigationUnit()) {
        ShowMessage(u"Cannot find the MSK file.", TRAVLEK_BOX_ERROR);
    }
}

LRESULT CTravlekDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    Data* pData = GetData();
    if (WCEUI_WM_SLIDER_NOTIFY == uMsg && NULL != pData && NULL != pData->pProgress &&
        reinterpret_cast<WPARAM>(static_cast<CWceUiLayer*>(pData->pProgress)) == wParam) {
        return 0; // the bar shows progress; moving it by hand means nothing
    }
    return CFileListDlg::OnMessage(uMsg, wParam, lParam);
}

void CTravlekDlg::OnCommand(CWceUiLayer* pSender) {
    if (NULL != pSender) {
        if (pSender->IsEqualName(u"calibrate")) {
            RunTouchCalibration();
        } else if (pSender->IsEqualName(u"reboot")) {
            SetSystemPowerState(NULL, POWER_STATE_RESET, POWER_FORCE);
            EndDialog(0);
        } else if (pSender->IsEqualName(u"update")) {
            StartUpdate();
        }
    }
    CFileListDlg::OnCommand(pSender);
}

void CTravlekDlg::OnFileChosen(CWceUiListBox* pListBox) {
    if (NULL != pListBox) {
        pListBox->SetSel(pListBox->GetCurSel(), TRUE);
    }
}

BOOL CTravlekDlg::RunTouchCalibration() {
    HMODULE hCoreDll = LoadLibraryW(u"coredll.dll");
    if (NULL == hCoreDll) {
        return FALSE;
    }
    if (FARPROC pTouchCalibrate = GetProcAddressW(hCoreDll, u"TouchCalibrate")) {
        pTouchCalibrate(); // returns when the platform's calibration screen is done
    }
    FreeLibrary(hCoreDll);
    return TRUE;
}

void CTravlekDlg::ShowMessage(LPCWSTR pText, UINT uFlags) {
    TravlekReportMessage(pText);
    BOOL bShown = FALSE;
    TravlekMessageBox(GetRealWnd(), pText, uFlags, &bShown);
    if (!bShown) {
        // A skin without a usable message box still tells the user: the status line takes the text.
        WceUiLogW(WCEUI_LOG_ERROR, u"CTravlekDlg::ShowMessage, no message box, the status line shows: %s",
                  pText);
        SetStatusText(pText);
        RepaintNow();
    }
}
