// The pixel store behind every bitmap object: a DIB section (and, for 565 bitmaps, an optional alpha
// plane) shared copy-on-write between the objects that copy one another.
#pragma once

#include "platform/WinCe.h"

// One store. Shared by every object whose handle points to it.
struct FhBmpData {
    LONG nRefs;      // 1 or more while shareable; -1 while locked (a raw handle or pointer is out)
    HBITMAP hBitmap; // the DIB section; null: not loaded
    LPVOID pBits;    // its pixels
    BITMAP bmpInfo;  // its description as the platform reports it (width, height, bits per pixel)
    LPBYTE pAlpha;   // 565 only: one byte per pixel, 0..63, rows as the pixels; may be null
};

// The handle that a bitmap object owns.
class CFhBmp {
public:
    // A new handle holds the process-wide empty store.
    CFhBmp();
    ~CFhBmp();
    CFhBmp(const CFhBmp&) = delete;
    CFhBmp& operator=(const CFhBmp&) = delete;

    FhBmpData* GetData() const { return m_pData; }
    BOOL IsEmptyStore() const { return m_pData == GetEmptyData(); }
    BOOL IsLocked() const { return -1 == m_pData->nRefs; }

    // Releases the current store and attaches a new zeroed one with count 1.
    BOOL AllocNew();
    // Drops this handle's reference (freeing the store with the last one); the handle then holds the
    // empty store.
    void Release();
    // Makes the store unique (copying it when shared) and marks it locked. FALSE, with the shared store
    // kept, when the copy cannot be made.
    BOOL LockBuffer();
    void UnlockBuffer();
    // Makes the store unique and shareable again before its pixels change. FALSE when a shared store
    // could not be copied; the pixels must then not be written.
    BOOL CopyBeforeWrite();
    // Attaches to another handle's store (which must not be locked), counting the new reference.
    void Share(const CFhBmp& other);
    // Deep copy of another store into this handle's store.
    BOOL Copy(const FhBmpData* pSrcData);
    // Loads any platform bitmap into a new DIB section of 16 or 32 bits per pixel in this store.
    BOOL CopyHBitmap(int nDstBitsPixel, HBITMAP hBitmap);

    // The store that stands for "not loaded": no platform bitmap, never freed, never counted.
    static FhBmpData* GetEmptyData();

private:
    static void FreeData(FhBmpData* pData);

    FhBmpData* m_pData;
};

// Empty bottom-up DIB sections: 565 with the bit-field masks, or plain 32-bit. Null on failure (the
// platform's last error tells why).
HBITMAP CreateEmptyDIB565(int nWidth, int nHeight, LPVOID* ppBits);
HBITMAP CreateEmptyDIB32(int nWidth, int nHeight, LPVOID* ppBits);

// Deep copies of a store's pixels (and 565 plane) into another store record.
BOOL CopyBmpData565(FhBmpData* pDstData, const FhBmpData* pSrcData);
BOOL CopyBmpData32(FhBmpData* pDstData, const FhBmpData* pSrcData);

// Bytes of the 565 alpha plane: the width rounded up to even, times the height.
DWORD FhGetAlphaPlaneLen(int nWidth, int nHeight);
