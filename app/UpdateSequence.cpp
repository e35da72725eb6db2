// One update run of the main dialog: check the chosen package, install it with a progress display,
// tell the system the run has ended, report a failure, and after a success hand the unit back.
//
// The package is opened once and read from that one handle: the whole package is decoded (Verify),
// its root must be the application folder and it must hold a file, every path must fit the device's
// path limit in the application folder, and the flash must hold it, all before anything on the flash
// changes. The install then stages the new tree beside the old one and switches by renames, so a
// failure or a power cut leaves a complete application (see MskInstall.h); only a flash too small for
// both trees clears the old application first, and then the run is recorded until it completes.
#include "app/MsgBox.h"
#include "app/TravlekDlg.h"
#include "app/TravlekDlgData.h"
#include "app/TravlekApp.h"
#include "app/TravlekFlash.h"
#include "app/TravlekSignatureCheck.h"
#include "app/TravlekRunReport.h"
#include "package/MskInstall.h"
#include "wceui/core/FhScramble.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/style/FhLanguage.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/ui/WceUiRealWnd.h"
#include "wceui/widgets/WceUiListBox.h"
#include "wceui/widgets/WceUiSlider.h"

namespace {

const LPCWSTR kAppRootName = u"app"; // the package's root folder that lands on the application folder
const LPCWSTR kFactoryConfigSource = u"\\SDMMC\\FactoryConfig.xml";
// Inside the application folder: \Residentflash2\app\config\FactoryConfig.xml.
const LPCWSTR kFactoryConfigTarget = u"config\\FactoryConfig.xml";
const LPCWSTR kLaunchArgument = u"_K~Q!R_B7M3M8_*Z";
const LPCWSTR kGreyedLayers[] = {u"update", u"reboot", u"back", u"calibrate", u"listbox"};
const COLORREF kGreyText = RGB(0x80, 0x80, 0x80);

// FALSE when the package could not replace what the delete clears: the delete empties the
// application folder, so a package that unpacks into another root folder, or holds no file at all,
// would leave the unit without any application while the run reports success.
BOOL CheckReplacesTheApplication(const CMskUnpacker& unpacker, MskResult& resultOut) {
    const LPCWSTR pRoot = unpacker.GetRootName();
    BOOL bHasFile = FALSE;
    for (int i = 0; i < unpacker.GetEntryCount() && !bHasFile; ++i) {
        bHasFile = MSK_ENTRY_FILE == unpacker.GetEntry(i)->type;
    }
    if (NULL == pRoot || 0 != WStrICmp(pRoot, kAppRootName)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CTravlekDlg::DoUpdate, the package unpacks into '%s', not into '%s'",
                  NULL == pRoot ? u"" : pRoot, TRAVLEK_APP_FOLDER);
    } else if (!bHasFile) {
        WceUiLog(WCEUI_LOG_ERROR, "CTravlekDlg::DoUpdate, the package holds no file");
    } else {
        return TRUE;
    }
    resultOut = MskResult();
    resultOut.failure = MskFailure::WrongRoot;
    resultOut.path = TRAVLEK_APP_FOLDER;
    return FALSE;
}

// FALSE, as the unpack would fail, when a path would not fit the device's path limit once it is in
// the application folder: the unpack would refuse it after the flash had changed.
BOOL CheckPathsFit(const CMskUnpacker& unpacker, MskResult& resultOut) {
    const MskEntry* pTooLong = unpacker.FindTooLongEntry(TRAVLEK_APP_FOLDER);
    if (NULL == pTooLong) {
        return TRUE;
    }
    WceUiLogW(WCEUI_LOG_ERROR, u"CTravlekDlg::DoUpdate, %s\\%s is too long for the device",
              TRAVLEK_APP_FOLDER, pTooLong->path.c_str());
    resultOut = MskResult();
    resultOut.failure = MskFailure::PathTooLong;
    resultOut.path = TRAVLEK_APP_FOLDER;
    resultOut.entry = pTooLong->path;
    return FALSE;
}

} // namespace

std::u16string TravlekUpdateErrorMessage(const std::u16string& errorText) {
    if (u"invalid_msk_file" == errorText) {
        return u"Invalid MSK file. Update fail.";
    }
    if (u"file_format_error" == errorText) {
        return u"MSK file format error. Update fail.";
    }
    if (u"crc_check_fail" == errorText) {
        return u"MSK file type error or file is modified. Update fail.";
    }
    if (u"error_disk_full" == errorText) {
        return u"There is not enough space on the disk. Update fail.";
    }
    if (u"user_cancel" == errorText) {
        return u"";
    }
    // The texts of the signature refusals come from the skin's language file.
    if (TRAVLEK_ERROR_NOT_SIGNED == errorText || TRAVLEK_ERROR_UPDATE_KEY == errorText) {
        if (LPCWSTR pText = CFhLanguage::Instance().GetText(errorText.c_str())) {
            return pText;
        }
    }
    return u"Update fail. \n(" + errorText + u")";
}

void CTravlekDlg::SetStatusText(LPCWSTR pText) {
    if (CWceUiLayer* pStatus = GetChildByName(u"status")) {
        pStatus->SetText(pText);
    }
}

void CTravlekDlg::RepaintNow() {
    InvalidateLayer();
    if (CWceUiRealWnd* pWnd = GetRealWnd()) {
        pWnd->UpdateWindow();
    }
}

void CTravlekDlg::SetButtonsEnabledLook(BOOL bEnabled) {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    if (bEnabled) {
        // The style's own colour comes back: a fixed colour could be unreadable on the skin's rows.
        for (const auto& saved : pData->savedColors) {
            if (CWceUiStyle* pStyle = saved.first->GetStyle()) {
                pStyle->SetTextColorValue(saved.second);
            }
        }
        pData->savedColors.clear();
    } else if (pData->savedColors.empty()) {
        for (LPCWSTR pName : kGreyedLayers) {
            CWceUiLayer* pLayer = GetChildByName(pName);
            CWceUiStyle* pStyle = NULL == pLayer ? NULL : pLayer->GetStyle();
            if (NULL != pStyle) {
                pData->savedColors.emplace_back(pLayer, pStyle->GetTextColorValue());
                pStyle->SetTextColorValue(kGreyText);
            }
        }
    }
    InvalidateLayer();
}

BOOL CTravlekDlg::MskProgress(LPVOID pContext, LONG nIndex, LPCWSTR, LONG nTotal) {
    if (CTravlekDlg* pDlg = static_cast<CTravlekDlg*>(pContext)) {
        pDlg->OnProgress(nIndex, nTotal);
    }
    return TRUE; // a running unpack cannot be cancelled
}

void CTravlekDlg::OnProgress(LONG nIndex, LONG nTotal) {
    CWceUiSlider* pProgress = GetProgress();
    if (NULL == pProgress || nTotal <= 0) {
        return;
    }
    const int nPercent = static_cast<int>((static_cast<long long>(nIndex) + 1) * 100 / nTotal);
    if (nPercent == pProgress->GetPos() || 0 != nPercent % 5) {
        return;
    }
    pProgress->SetPos(nPercent);
    SetStatusText(WFormat(u"%d%%", pProgress->GetPos()).c_str());
    RepaintNow();
    TravlekReportProgress(nPercent);
    // A unit found half updated tells from its log how far the unpack got.
    WceUiLog(WCEUI_LOG_INFO, "CTravlekDlg::OnProgress, %d%% (entry %ld of %ld)", nPercent,
             static_cast<long>(nIndex) + 1, static_cast<long>(nTotal));
}

void CTravlekDlg::StartUpdate() {
    Data* pData = GetData();
    if (NULL == pData || NULL == pData->pListBox) {
        return;
    }
    const int nSel = pData->pListBox->GetCurSel();
    const FileListItem* pItem = GetItemRecord(nSel);
    if (nSel < 0 || NULL == pItem) {
        return;
    }
    const std::u16string package(pItem->szPath); // the list may change while the update runs
    StartUpdateOn(package.c_str());
}

void CTravlekDlg::StartUpdateOn(LPCWSTR pPackagePath) {
    Data* pData = GetData();
    if (NULL == pData || NULL == pPackagePath) {
        return;
    }
    if (NULL != pData->pProgress) {
        pData->pProgress->SetPos(0);
    }
    SetStatusText(u"");
    RepaintNow();

    const std::u16string package(pPackagePath);
    if (!DoUpdate(package.c_str())) {
        return;
    }
    if (!IsMainNavigationUnit()) {
        std::u16string commandLine(kLaunchArgument);
        PROCESS_INFORMATION pi = {};
        if (CreateProcessW(GetConfiguredApp(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, NULL,
                           &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        EndDialog(0);
        return;
    }
    RunTouchCalibration();
    CWceUiLoadBitmap buttonDown; // the box's pressed button is ready before it shows
    buttonDown.SetBitmapFromRes(u"messagebox\\button_down.565a.conf");
    ShowMessage(u"Update application OK, please remove SD card.", TRAVLEK_BOX_INFO);
    SetSystemPowerState(NULL, POWER_STATE_RESET, POWER_FORCE);
    EndDialog(0);
}

BOOL CTravlekDlg::DoUpdate(LPCWSTR pPackagePath) {
    if (!WCEUI_CHECK("CTravlekDlg::DoUpdate", NULL != pPackagePath)) {
        return FALSE;
    }
    TravlekReportUpdateStarted(pPackagePath);
    const DWORD dwKey = FhPasswordToKey(IsMainNavigationUnit() ? u"pwd_ruv" : u"pwd_tanzo");
    CWceUiRealWnd* pWnd = GetRealWnd();
    if (NULL != pWnd) {
        pWnd->EnableWindow(FALSE);
    }
    HCURSOR hOldCursor = SetCursor(LoadCursorW(NULL, IDC_WAIT));
    SetButtonsEnabledLook(FALSE);

    CMskUnpacker unpacker(&CTravlekDlg::MskProgress, this);
    CMskInstaller installer(unpacker, TRAVLEK_APP_FOLDER);
    installer.AddExtraFile({kFactoryConfigSource, kFactoryConfigTarget});
    MskInstallMode mode = MSK_INSTALL_STAGED;
    CTravlekSignatureCheck signature;
    MskResult result;
    // The signature's refusals are the unit's own keys, not failures of the package's form.
    std::u16string signatureError;
    BOOL bResult = unpacker.Open(pPackagePath, dwKey, result);
    if (bResult) {
        // The signature, when the unit asks for one, before anything of the package is decoded; then
        // every stream is decoded once before anything changes. The bar moves only for the unpack.
        SetStatusText(u"Verify...");
        RepaintNow();
        unpacker.SetProgressCallback(NULL, NULL);
        bResult = signature.CheckOpened(unpacker, pPackagePath, dwKey, signatureError) &&
                  unpacker.VerifyOpened(result) && signature.MatchesVerified(unpacker, signatureError) &&
                  CheckReplacesTheApplication(unpacker, result) && CheckPathsFit(unpacker, result) &&
                  installer.Plan(&mode, result);
        unpacker.SetProgressCallback(&CTravlekDlg::MskProgress, this);
    }
    SetStatusText(u"");
    if (bResult) {
        RepaintNow();
        MskInstallHooks hooks;
        hooks.beforeClear = [this] {
            SetStatusText(u"Delete...");
            RepaintNow();
        };
        hooks.afterClear = [this] {
            SetStatusText(u"");
            RepaintNow();
        };
        bResult = installer.Install(mode, pPackagePath, hooks, result);
        if (bResult) {
            TravlekRemoveShellEx();
        }
    }
    unpacker.Close();

    if (NULL != pWnd) {
        pWnd->EnableWindow(TRUE);
    }
    SetCursor(hOldCursor);
    SetButtonsEnabledLook(TRUE);
    RepaintNow();

    // The unit's key or message is made here, where it is logged and shown.
    const std::u16string errorText =
        bResult ? std::u16string() : (signatureError.empty() ? MskResultKey(result) : signatureError);
    PostMessageW(HWND_BROADCAST, TRAVLEK_WM_FINISHED, bResult ? 1 : 0, 0);
    TravlekReportUpdateFinished(bResult, errorText);
    if (!bResult) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CTravlekDlg::DoUpdate, %s: %s", pPackagePath, errorText.c_str());
        const std::u16string message = TravlekUpdateErrorMessage(errorText);
        if (!message.empty()) {
            ShowMessage(message.c_str(), TRAVLEK_BOX_ERROR);
        }
    }
    return bResult;
}
