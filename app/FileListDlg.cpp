#include "app/FileListDlg.h"

#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/style/WceUiLoadString.h"
#include "wceui/ui/RealGenericWnd.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/widgets/WceUiListBox.h"

#include <memory>
#include <new>
#include <vector>

namespace {

const LPCWSTR kRoots[] = {u"SDMMC", u"ResidentFlash"};
const WORD kTimerFirstListing = 1;
// A tree deeper than this is not searched further (a folder that loops back into itself on the host
// would otherwise never end the search).
const int kMaxSearchDepth = 64;

bool IsDots(const WIN32_FIND_DATAW& fd) {
    return 0 == WStrCmp(fd.cFileName, u".") || 0 == WStrCmp(fd.cFileName, u"..");
}

// The lower-cased text after the last "." of a name; empty when there is none.
std::u16string ExtensionOf(LPCWSTR pFileName) {
    LPCWSTR pDot = WStrRChr(pFileName, u'.');
    std::u16string ext = NULL == pDot ? std::u16string() : std::u16string(pDot + 1);
    for (char16_t& c : ext) {
        c = WCharLower(c);
    }
    return ext;
}

bool HasAcceptedBelow(const std::vector<std::u16string>& exts, const std::u16string& path, int depth) {
    if (depth > kMaxSearchDepth) {
        return false;
    }
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((path + u"\\*.*").c_str(), &fd);
    if (INVALID_HANDLE_VALUE == hFind) {
        return false;
    }
    bool found = false;
    do {
        if (IsDots(fd)) {
            continue;
        }
        if (0 != (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            found = HasAcceptedBelow(exts, path + u"\\" + fd.cFileName, depth + 1);
        } else {
            const std::u16string ext = ExtensionOf(fd.cFileName);
            for (const std::u16string& accepted : exts) {
                if (ext == accepted && NULL != WStrRChr(fd.cFileName, u'.')) {
                    found = true;
                    break;
                }
            }
        }
    } while (!found && FindNextFileW(hFind, &fd));
    FindClose(hFind);
    return found;
}

} // namespace

struct CFileListDlg::Data {
    CWceUiListBox* pListBox = nullptr;
    CWceUiLoadBitmap upLevelImage;
    CWceUiLoadBitmap folderImage;
    CWceUiLoadString upLevelText;
    std::vector<std::u16string> extensions;
    std::vector<std::u16string> itemImages;
    std::vector<std::unique_ptr<CWceUiLoadBitmap>> loadedImages;
    std::u16string expectedPath;
    // The records of the items shown, owned here: the list box may be gone before the dialog is.
    std::vector<std::unique_ptr<FileListItem>> records;
};

CFileListDlg::CFileListDlg() : m_pData(WceUiNewRecord<Data>("CFileListDlg")) {
    SetClassName(WCEUI_CLASS_NAME(CFileListDlg));
    if (NULL != m_pData) {
        m_pData->upLevelText.SetTextResID(u"uplevel_folder");
    }
}

CFileListDlg::~CFileListDlg() = default;

CFileListDlg::Data* CFileListDlg::GetData() const {
    return m_pData.get();
}

BOOL CFileListDlg::SetProperties(CWceUiXmlElem* pCreateElem) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CFileListDlg::SetProperties", NULL != pCreateElem)) {
        return FALSE;
    }
    if (LPCWSTR p = pCreateElem->pDoc->GetAttrValue(pCreateElem, u"uplevel_image")) {
        pData->upLevelImage.SetBitmapFromRes(p);
    }
    if (LPCWSTR p = pCreateElem->pDoc->GetAttrValue(pCreateElem, u"folder_image")) {
        pData->folderImage.SetBitmapFromRes(p);
    }
    return CWceUiDlg::SetProperties(pCreateElem);
}

void CFileListDlg::AddAcceptedType(LPCWSTR pExtension, LPCWSTR pImageID) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CFileListDlg::AddAcceptedType", NULL != pExtension)) {
        return;
    }
    std::u16string ext(pExtension);
    for (char16_t& c : ext) {
        c = WCharLower(c);
    }
    pData->extensions.push_back(ext);
    pData->itemImages.push_back(NULL == pImageID ? u"" : pImageID);
    auto pLoader = std::make_unique<CWceUiLoadBitmap>();
    if (NULL != pImageID && 0 != pImageID[0]) {
        pLoader->SetBitmapFromRes(pImageID);
    }
    pData->loadedImages.push_back(std::move(pLoader));
}

void CFileListDlg::SetExpectedPath(LPCWSTR pPath) {
    if (Data* pData = GetData()) {
        pData->expectedPath = NULL == pPath ? u"" : pPath;
    }
}

LPCWSTR CFileListDlg::GetExpectedPath() const {
    Data* pData = GetData();
    return NULL == pData ? u"" : pData->expectedPath.c_str();
}

CWceUiListBox* CFileListDlg::GetFileListBox() const {
    Data* pData = GetData();
    return NULL == pData ? NULL : pData->pListBox;
}

const FileListItem* CFileListDlg::GetItemRecord(int nIndex) const {
    CWceUiListBox* pList = GetFileListBox();
    if (NULL == pList || nIndex < 0 || nIndex >= pList->GetCount()) {
        return NULL;
    }
    return static_cast<const FileListItem*>(pList->GetItemData(nIndex));
}

void CFileListDlg::OnInitDialog() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    RegisterMsg(FILELIST_MSG_CLOSE);
    RegisterMsg(FILELIST_MSG_ACTIVATE);
    pData->pListBox = dynamic_cast<CWceUiListBox*>(GetChildByName(u"listbox"));
    if (NULL == pData->pListBox) {
        WceUiLog(WCEUI_LOG_ERROR, "CFileListDlg::OnInitDialog, no list box named listbox");
    }
    SetLayerTimer(kTimerFirstListing, 1);
}

void CFileListDlg::OnTimer(WORD wTimerNum) {
    Data* pData = GetData();
    if (NULL == pData || kTimerFirstListing != wTimerNum) {
        return;
    }
    KillLayerTimer(kTimerFirstListing);
    if (!pData->expectedPath.empty()) {
        WIN32_FIND_DATAW fd;
        HANDLE hFind = FindFirstFileW(pData->expectedPath.c_str(), &fd);
        if (INVALID_HANDLE_VALUE != hFind) {
            FindClose(hFind);
            const size_t slash = pData->expectedPath.rfind(u'\\');
            const std::u16string folder =
                std::u16string::npos == slash ? std::u16string() : pData->expectedPath.substr(0, slash);
            ClearList();
            ShowFolder(folder.c_str());
            return;
        }
    }
    ShowRoots();
}

LRESULT CFileListDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (FILELIST_MSG_CLOSE == uMsg) {
        EndDialog(0);
        return 0;
    }
    if (FILELIST_MSG_ACTIVATE == uMsg && 1 == wParam) {
        ActivateSelection();
    }
    return CWceUiDlg::OnMessage(uMsg, wParam, lParam);
}

void CFileListDlg::ActivateSelection() {
    CWceUiListBox* pList = GetFileListBox();
    if (NULL == pList) {
        return;
    }
    const FileListItem* pItem = GetItemRecord(pList->GetCurSel());
    if (NULL == pItem) {
        return;
    }
    switch (pItem->nKind) {
        case FILELIST_KIND_ROOT:
        case FILELIST_KIND_FOLDER: {
            const std::u16string path(pItem->szPath); // the record goes with the list
            ClearList();
            ShowFolder(path.c_str());
            OnFolderChanged(pList);
            break;
        }
        case FILELIST_KIND_FILE:
            OnFileChosen(pList);
            break;
        case FILELIST_KIND_UPLEVEL: {
            const std::u16string path(pItem->szPath);
            const size_t slash = path.rfind(u'\\');
            ClearList();
            if (std::u16string::npos == slash) {
                ShowRoots();
            } else {
                ShowFolder(path.substr(0, slash).c_str());
            }
            OnFolderChanged(pList);
            break;
        }
        default:
            break;
    }
}

void CFileListDlg::OnCommand(CWceUiLayer* pSender) {
    if (NULL != pSender && pSender->IsEqualName(u"back")) {
        ClearList();
        EndDialog(0);
    }
}

void CFileListDlg::OnFileChosen(CWceUiListBox*) {}

void CFileListDlg::OnFolderChanged(CWceUiListBox*) {}

int CFileListDlg::AddItem(LPCWSTR pText, CWceUiObject* pImage, int nKind, LPCWSTR pPath) {
    CWceUiListBox* pList = GetFileListBox();
    if (NULL == pList) {
        return -1;
    }
    auto pItem = std::make_unique<FileListItem>();
    pItem->nKind = nKind;
    WStrCpyN(pItem->szPath, MAX_PATH, pPath);
    const int nIndex = pList->AddString(pText, FALSE);
    if (nIndex < 0) {
        return -1;
    }
    pList->SetItemData(nIndex, pItem.get());
    GetData()->records.push_back(std::move(pItem));
    if (NULL != pImage) {
        pList->SetItemImage(nIndex, pImage);
    }
    return nIndex;
}

void CFileListDlg::ShowRoots() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    ClearList();
    for (LPCWSTR pRoot : kRoots) {
        if (FolderHasAccepted(pRoot)) {
            AddItem(pRoot, pData->folderImage.GetBitmap(), FILELIST_KIND_ROOT, pRoot);
        }
    }
    RepaintHost();
}

void CFileListDlg::ShowFolder(LPCWSTR pPath) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CFileListDlg::ShowFolder", NULL != pPath)) {
        return;
    }
    const std::u16string folder(pPath);
    LPCWSTR pUpText = pData->upLevelText.GetText();
    AddItem(NULL == pUpText ? u"" : pUpText, pData->upLevelImage.GetBitmap(), FILELIST_KIND_UPLEVEL, pPath);
    std::vector<std::u16string> files;
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((folder + u"\\*.*").c_str(), &fd);
    if (INVALID_HANDLE_VALUE != hFind) {
        do {
            if (IsDots(fd)) {
                continue;
            }
            const std::u16string full = folder + u"\\" + fd.cFileName;
            if (0 != (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                if (FolderHasAccepted(full.c_str())) {
                    AddItem(fd.cFileName, pData->folderImage.GetBitmap(), FILELIST_KIND_FOLDER, full.c_str());
                }
            } else if (IsAccepted(fd.cFileName)) {
                files.push_back(full);
            }
        } while (FindNextFileW(hFind, &fd));
        FindClose(hFind);
    }
    for (const std::u16string& full : files) {
        const std::u16string name = full.substr(full.rfind(u'\\') + 1);
        AddItem(name.c_str(), ImageForFile(name.c_str()), FILELIST_KIND_FILE, full.c_str());
    }
    RepaintHost();
}

void CFileListDlg::ClearList() {
    Data* pData = GetData();
    if (NULL == pData || NULL == pData->pListBox) {
        return;
    }
    pData->pListBox->ResetContent();
    pData->records.clear();
}

BOOL CFileListDlg::IsAccepted(LPCWSTR pFileName) const {
    Data* pData = GetData();
    if (NULL == pData || NULL == pFileName || NULL == WStrRChr(pFileName, u'.')) {
        return FALSE;
    }
    const std::u16string ext = ExtensionOf(pFileName);
    for (const std::u16string& accepted : pData->extensions) {
        if (ext == accepted) {
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CFileListDlg::FolderHasAccepted(LPCWSTR pPath) const {
    Data* pData = GetData();
    if (NULL == pData || NULL == pPath) {
        return FALSE;
    }
    return HasAcceptedBelow(pData->extensions, pPath, 0) ? TRUE : FALSE;
}

CWceUiObject* CFileListDlg::ImageForFile(LPCWSTR pFileName) const {
    Data* pData = GetData();
    if (NULL == pData || NULL == pFileName) {
        return NULL;
    }
    const std::u16string ext = ExtensionOf(pFileName);
    for (size_t i = 0; i < pData->extensions.size(); ++i) {
        if (ext == pData->extensions[i]) {
            return pData->loadedImages[i]->GetBitmap();
        }
    }
    return NULL;
}

void CFileListDlg::RepaintHost() {
    InvalidateLayer();
    if (CRealGenericWnd* pWnd = dynamic_cast<CRealGenericWnd*>(GetWindow())) {
        pWnd->UpdateWindow();
    }
}
