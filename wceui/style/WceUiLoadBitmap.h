// A bitmap handle: a bitmap identifier loaded through the bitmap cache on first use, or a copy of a
// bitmap the application gives. It gives back what it took when it is cleaned, set again or destroyed.
#pragma once

#include "platform/WinCe.h"

#include <memory>

class CWceUiGenericBitmap;

class CWceUiLoadBitmap {
public:
    CWceUiLoadBitmap();
    ~CWceUiLoadBitmap();
    CWceUiLoadBitmap(const CWceUiLoadBitmap&) = delete;
    CWceUiLoadBitmap& operator=(const CWceUiLoadBitmap&) = delete;

    // Remembers the identifier; the bitmap is loaded by GetBitmap. The identifier the handle already
    // has (ignoring case) changes nothing; an empty one leaves the handle empty.
    BOOL SetBitmapFromRes(LPCWSTR pBitmapID);
    // Keeps a copy of the bitmap (the caller keeps its own); null or an unloaded bitmap empties the
    // handle.
    BOOL SetBitmapFromApp(CWceUiGenericBitmap* pBitmap);
    // The bitmap: loaded now if it comes from an identifier and was not yet (null when that fails, and
    // the next call tries again).
    CWceUiGenericBitmap* GetBitmap();
    // Gives back the loaded bitmap or deletes the own copy; the handle is then empty.
    void Clean();
    // This handle takes the other's identifier (and loads on its own) or a copy of its bitmap.
    BOOL DoCopy(const CWceUiLoadBitmap& rhs);

    BOOL IsFromRes() const;
    // The identifier, empty when the handle holds its own bitmap or nothing.
    LPCWSTR GetBitmapID() const;

private:
    struct Data;
    Data* GetData() const;

    std::unique_ptr<Data> m_pData;
};
