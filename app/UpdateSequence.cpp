// One update run of the main dialog: check the chosen package, clear the old application, unpack the
// new one with a progress display, copy the factory configuration, tell the system the run has ended,
// report a failure, and after a success hand the unit back.
//
// The old application is deleted only once the package is known to unpack: after Open, the whole
// package is decoded once in memory (Verify), its root must be the application folder the delete
// clears and it must hold a file, and the space the unpack needs is compared with the space the flash
// will have, so a damaged, refused, misdirected, empty or oversized package leaves the unit with its
// old application.
#include "app/MsgBox.h"
#include "app/TravlekDlg.h"
#include "app/TravlekDlgData.h"
#include "package/MskUnpacker.h"
#include "wceui/core/FhScramble.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/ui/WceUiRealWnd.h"
#include "wceui/widgets/WceUiListBox.h"
#include "wceui/widgets/WceUiSlider.h"

namespace {

const LPCWSTR kDestFolder = u"\\Residentflash2";
const LPCWSTR kAppFolder = u"\\Residentflash2\\app";
const LPCWSTR kAppRootName = u"app"; // the package's root folder that lands on kAppFolder
const LPCWSTR kDeletePattern = u"\\Residentflash2\\app\\*.*";
const LPCWSTR kFactoryConfigSource = u"\\SDMMC\\FactoryConfig.xml";
const LPCWSTR kFactoryConfigTarget = u"\\Residentflash2\\app\\config\\FactoryConfig.xml";
const LPCWSTR kLaunchArgument = u"_K~Q!R_B7M3M8_*Z";
const WORD kShellFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
const LPCWSTR kGreyedLayers[] = {u"update", u"reboot", u"back", u"calibrate", u"listbox"};
const COLORREF kGreyText = RGB(0x80, 0x80, 0x80);

// Whole allocation blocks of a file of this size.
ULONGLONG Blocks(ULONGLONG ullSize, ULONGLONG ullBlock) {
    return (ullSize + ullBlock - 1) / ullBlock * ullBlock;
}

// Space the files below a folder (its subfolders included) take in whole blocks; the folders
// themselves are not counted, as a volume may keep them without blocks of their own. A folder that
// cannot be read counts 0.
ULONGLONG FolderSize(const std::u16string& folder, ULONGLONG ullBlock, int depth) {
    if (depth > 64) {
        return 0;
    }
    ULONGLONG total = 0;
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((folder + u"\\*.*").c_str(), &fd);
    if (INVALID_HANDLE_VALUE == hFind) {
        return 0;
    }
    do {
        if (0 == WStrCmp(fd.cFileName, u".") || 0 == WStrCmp(fd.cFileName, u"..")) {
            continue;
        }
        if (0 != (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            total += FolderSize(folder + u"\\" + fd.cFileName, ullBlock, depth + 1);
        } else {
            total += Blocks((static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow, ullBlock);
        }
    } while (FindNextFileW(hFind, &fd));
    FindClose(hFind);
    return total;
}

// FALSE with "error_disk_full" when the package's entries would not fit into the flash once the old
// application is gone. Sizes count in the flash's allocation blocks: many small files need far more
// than their bytes, and a check by bytes alone would let the unpack fill the flash after the delete.
// Every new folder counts one block. When the free space cannot be read, the unpack itself is left to
// find out; an unknown block size counts bytes.
BOOL CheckFreeSpace(const CMskUnpacker& unpacker, std::u16string& errorOut) {
    ULARGE_INTEGER freeAvail;
    ULARGE_INTEGER total;
    ULARGE_INTEGER totalFree;
    if (!GetDiskFreeSpaceExW(kDestFolder, &freeAvail, &total, &totalFree)) {
        WceUiLog(WCEUI_LOG_WARNING, "CTravlekDlg::DoUpdate, free space unknown, GetLastError is %d",
                 static_cast<int>(GetLastError()));
        return TRUE;
    }
    CE_VOLUME_INFO volume = {};
    volume.cbSize = sizeof(volume);
    const ULONGLONG ullBlock =
        CeGetVolumeInfoW(kDestFolder, CeVolumeInfoLevelStandard, &volume) && 0 != volume.dwBlockSize
            ? volume.dwBlockSize
            : 1;
    ULONGLONG ullNeeded = 0;
    for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
        const MskEntry* pEntry = unpacker.GetEntry(i);
        ullNeeded += MSK_ENTRY_FILE == pEntry->type ? Blocks(pEntry->unpackedSize, ullBlock) : ullBlock;
    }
    const ULONGLONG ullAfterDelete = freeAvail.QuadPart + FolderSize(kAppFolder, ullBlock, 0);
    if (ullNeeded > ullAfterDelete) {
        WceUiLog(
            WCEUI_LOG_ERROR,
            "CTravlekDlg::DoUpdate, the package needs %llu bytes in blocks of %llu, the flash will have %llu",
            static_cast<unsigned long long>(ullNeeded), static_cast<unsigned long long>(ullBlock),
            static_cast<unsigned long long>(ullAfterDelete));
        errorOut = u"error_disk_full";
        return FALSE;
    }
    return TRUE;
}

// FALSE with "invalid_msk_file" when the package could not replace what the delete clears: the
// delete empties the application folder, so a package that unpacks into another root folder, or
// holds no file at all, would leave the unit without any application while the run reports success.
BOOL CheckReplacesTheApplication(const CMskUnpacker& unpacker, std::u16string& errorOut) {
    const LPCWSTR pRoot = unpacker.GetRootName();
    BOOL bHasFile = FALSE;
    for (int i = 0; i < unpacker.GetEntryCount() && !bHasFile; ++i) {
        bHasFile = MSK_ENTRY_FILE == unpacker.GetEntry(i)->type;
    }
    if (NULL == pRoot || 0 != WStrICmp(pRoot, kAppRootName)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CTravlekDlg::DoUpdate, the package unpacks into '%s', not into '%s'",
                  NULL == pRoot ? u"" : pRoot, kAppFolder);
    } else if (!bHasFile) {
        WceUiLog(WCEUI_LOG_ERROR, "CTravlekDlg::DoUpdate, the package holds no file");
    } else {
        return TRUE;
    }
    errorOut = u"invalid_msk_file";
    return FALSE;
}

BOOL ShellOperation(HWND hOwner, UINT wFunc, LPCWSTR pFrom, LPCWSTR pTo) {
    // The source list ends with an empty entry.
    std::u16string from(pFrom);
    from.push_back(u'\0');
    SHFILEOPSTRUCTW op = {};
    op.hwnd = hOwner;
    op.wFunc = wFunc;
    op.pFrom = from.c_str();
    op.pTo = pTo;
    op.fFlags = kShellFlags;
    return 0 == SHFileOperationW(&op);
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
    if (NULL != pData->pProgress) {
        pData->pProgress->SetPos(0);
    }
    SetStatusText(u"");
    RepaintNow();

    const std::u16string package(pItem->szPath); // the list may change while the update runs
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
    const DWORD dwKey = FhPasswordToKey(IsMainNavigationUnit() ? u"pwd_ruv" : u"pwd_tanzo");
    CWceUiRealWnd* pWnd = GetRealWnd();
    if (NULL != pWnd) {
        pWnd->EnableWindow(FALSE);
    }
    HCURSOR hOldCursor = SetCursor(LoadCursorW(NULL, IDC_WAIT));
    SetButtonsEnabledLook(FALSE);

    CMskUnpacker unpacker(&CTravlekDlg::MskProgress, this);
    std::u16string errorText;
    BOOL bResult = unpacker.Open(pPackagePath, dwKey, errorText);
    if (bResult) {
        // Every stream is decoded once before anything is deleted; the bar moves only for the unpack.
        SetStatusText(u"Verify...");
        RepaintNow();
        unpacker.SetProgressCallback(NULL, NULL);
        bResult = unpacker.Verify(pPackagePath, dwKey, errorText) &&
                  CheckReplacesTheApplication(unpacker, errorText) && CheckFreeSpace(unpacker, errorText);
        unpacker.SetProgressCallback(&CTravlekDlg::MskProgress, this);
    }
    if (bResult) {
        SetStatusText(u"Delete...");
        RepaintNow();
        ShellOperation(NULL == pWnd ? NULL : pWnd->GetSafeHwnd(), FO_DELETE, kDeletePattern, NULL);
        SetStatusText(u"");
        RepaintNow();
        bResult = unpacker.Unpack(pPackagePath, kDestFolder, dwKey, errorText);
        if (bResult) {
            HKEY hKey = NULL;
            if (ERROR_SUCCESS == RegOpenKeyExW(HKEY_CURRENT_USER, u"OEM", 0, 0x2001F, &hKey)) {
                RegDeleteKeyW(hKey, u"ShellEx");
                RegCloseKey(hKey);
            }
            ShellOperation(NULL, FO_COPY, kFactoryConfigSource, kFactoryConfigTarget);
        }
    } else {
        SetStatusText(u"");
    }

    if (NULL != pWnd) {
        pWnd->EnableWindow(TRUE);
    }
    SetCursor(hOldCursor);
    SetButtonsEnabledLook(TRUE);
    RepaintNow();

    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(u"TRAVLEK_FINISHED"), bResult ? 1 : 0, 0);
    if (!bResult) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CTravlekDlg::DoUpdate, %s: %s", pPackagePath, errorText.c_str());
        const std::u16string message = TravlekUpdateErrorMessage(errorText);
        if (!message.empty()) {
            ShowMessage(message.c_str(), TRAVLEK_BOX_ERROR);
        }
    }
    return bResult;
}
