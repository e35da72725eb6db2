// A dialog that walks the unit's storage in a list box and lets the user pick a file of an accepted
// type. Only what leads to such a file is listed: a folder when an accepted file lies somewhere below
// it, a file when its extension is accepted. The two storage roots are the SD card and the resident
// flash.
#pragma once

#include "wceui/ui/WceUiDlg.h"

#include <memory>
#include <string>

class CWceUiListBox;

// Item kinds of the list records.
#define FILELIST_KIND_ROOT 0
#define FILELIST_KIND_FOLDER 1
#define FILELIST_KIND_FILE 2
#define FILELIST_KIND_UPLEVEL 3

// Messages the dialog listens to: an item of the list box was activated, the window is closing.
#define FILELIST_MSG_ACTIVATE (0x8000 + 0x3E8)
#define FILELIST_MSG_CLOSE (0x8000 + 0x3E9)

// The record attached to each list item as its data (zero-filled when made). For the up-level item the
// path is the folder being shown, not its parent.
struct FileListItem {
    WCHAR szPath[MAX_PATH];
    int nKind;
};

class CFileListDlg : public CWceUiDlg {
public:
    CFileListDlg();
    ~CFileListDlg() override;

    BOOL SetProperties(CWceUiXmlElem* pCreateElem) override;
    void OnTimer(WORD wTimerNum) override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnCommand(CWceUiLayer* pSender) override;
    void OnInitDialog() override;
    // A file item was activated.
    virtual void OnFileChosen(CWceUiListBox* pListBox);
    // The list was refilled by activating a root, folder or up-level item.
    virtual void OnFolderChanged(CWceUiListBox* pListBox);

    // Accepts files with this extension (without the dot, any case), drawn with the named bitmap
    // (none when empty). Set before the dialog runs.
    void AddAcceptedType(LPCWSTR pExtension, LPCWSTR pImageID);
    // A file whose folder is opened first; empty starts at the roots.
    void SetExpectedPath(LPCWSTR pPath);
    LPCWSTR GetExpectedPath() const;

    CWceUiListBox* GetFileListBox() const;
    // The record of an item, or null out of range.
    const FileListItem* GetItemRecord(int nIndex) const;

    void ShowRoots();
    void ShowFolder(LPCWSTR pPath);
    void ClearList();
    BOOL IsAccepted(LPCWSTR pFileName) const;
    BOOL FolderHasAccepted(LPCWSTR pPath) const;
    // The loaded image of the file's extension, or null.
    CWceUiObject* ImageForFile(LPCWSTR pFileName) const;

protected:
    // Handles the activation of the list box's current selection.
    void ActivateSelection();

private:
    struct Data;
    Data* GetData() const;
    int AddItem(LPCWSTR pText, CWceUiObject* pImage, int nKind, LPCWSTR pPath);
    void RepaintHost();

    std::unique_ptr<Data> m_pData;
};
