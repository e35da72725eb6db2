// The window registry: the framework's one window class "WceUiWnd", registered once per process,
// and the table from window handle to window object that its window procedure dispatches through.
#pragma once

#include "platform/WinCe.h"

#include <memory>

class CRealWnd;

class CXiWndHelper {
public:
    enum { HASH_SIZE = 17, POOL_BLOCK = 10 };

    static CXiWndHelper& Instance();

    // Registers "WceUiWnd" unless it is; TRUE when it is registered afterwards.
    BOOL RegisterClassOnce();
    BOOL IsClassRegistered() const { return m_bRegistered; }
    static LPCWSTR GetClassName() { return u"WceUiWnd"; }

    BOOL AddWnd(HWND hWnd, CRealWnd* pWnd);
    BOOL RemoveWnd(HWND hWnd);
    CRealWnd* FindWnd(HWND hWnd) const;
    int GetCount() const { return m_nCount; }

    // The window procedure of "WceUiWnd".
    static LRESULT WndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

    CXiWndHelper();
    ~CXiWndHelper();
    CXiWndHelper(const CXiWndHelper&) = delete;
    CXiWndHelper& operator=(const CXiWndHelper&) = delete;

private:
    struct Entry {
        HWND hWnd;
        CRealWnd* pWnd;
        Entry* pNext;
    };
    // Entries are taken POOL_BLOCK at a time; the blocks stay until the registry goes.
    struct Block {
        std::unique_ptr<Block> pNext;
        Entry entries[POOL_BLOCK];
    };
    static size_t Bucket(HWND hWnd) { return (reinterpret_cast<uintptr_t>(hWnd) >> 4) % HASH_SIZE; }
    Entry* NewEntry();

    BOOL m_bRegistered;
    Entry* m_apBuckets[HASH_SIZE];
    Entry* m_pFree; // entries not in use, taken from the blocks
    std::unique_ptr<Block> m_pBlocks;
    int m_nCount;
};
