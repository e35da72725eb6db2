// The process-wide caches of bitmaps, colours and fonts: each object is loaded once from the resource
// directory by its identifier, shared by every user and counted; the last release frees it. Whatever
// is still held when a loader goes (at process exit) is reported, one line per identifier.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/FhStringMap.h"
#include "wceui/res/FhConfDoc.h"

class CWceUiObject;
class CWceUiGenericBitmap;
class CWceUiColor;
class CWceUiFont;

// What the three loaders share: identifier -> (object, reference count).
class CFhResLoader {
public:
    CFhResLoader(const CFhResLoader&) = delete;
    CFhResLoader& operator=(const CFhResLoader&) = delete;

    // References held on the object of an identifier (0 when it is not loaded).
    LONG GetRefCount(LPCWSTR pID) const;
    // How many identifiers are loaded.
    int GetCount() const { return m_map.GetCount(); }
    // Logs "<id> is not released, reference count is <n>. call <release> to release" for each entry.
    void ReportLeaks() const;

protected:
    explicit CFhResLoader(LPCWSTR pReleaseName);
    // Forgets every entry without freeing its object (the report has been made by then).
    ~CFhResLoader();

    struct Entry {
        CWceUiObject* pObject;
        LONG nRef;
    };
    // The object of an identifier with one reference more, or null when it is not loaded.
    CWceUiObject* AddRef(LPCWSTR pID);
    // Enters a freshly loaded object with one reference. FALSE (the object deleted) when memory runs out.
    BOOL Enter(LPCWSTR pID, CWceUiObject* pObject);
    // Takes one reference away from the entry of the object; at zero deletes it. FALSE when no entry
    // holds the object.
    BOOL Release(const CWceUiObject* pObject);
    // The loaded objects come from the resource directory: resdir + folder + id. Null paths (with the
    // reason logged) when there is no resource directory or the path would not fit in MAX_PATH.
    static BOOL MakeResPath(LPCWSTR pFolder, LPCWSTR pID, LPWSTR pPath);
    // Copies an identifier (shorter than MAX_PATH), with "/" turned into "\" when asked.
    static BOOL CopyID(LPCWSTR pID, bool bSlashToBackslash, LPWSTR pCopy);

    CFhStringMap<Entry> m_map;
    LPCWSTR m_pReleaseName;
};

class CFhBitmapResLoader : public CFhResLoader {
public:
    static CFhBitmapResLoader& Instance();
    CFhBitmapResLoader();
    ~CFhBitmapResLoader();

    CWceUiGenericBitmap* GetBitmap(LPCWSTR pBitmapID);
    void ReleaseBitmap(CWceUiGenericBitmap* pBitmap);
};

class CFhColorResLoader : public CFhResLoader {
public:
    static CFhColorResLoader& Instance();
    CFhColorResLoader();
    ~CFhColorResLoader();

    CWceUiColor* GetColor(LPCWSTR pColorID);
    void ReleaseColor(CWceUiColor* pColor);
    // Drops the colour table so that the next request reads "wceui.color" again.
    void FreeColorTable() { m_colorTable.Clean(); }

private:
    CFhConfDoc m_colorTable;
};

class CFhFontResLoader : public CFhResLoader {
public:
    static CFhFontResLoader& Instance();
    CFhFontResLoader();
    ~CFhFontResLoader();

    CWceUiFont* GetFont(LPCWSTR pFontID);
    void ReleaseFont(CWceUiFont* pFont);
};

// The only way in and out of the caches: every Get that returns an object adds a reference, which the
// caller gives back exactly once with the matching Release. Identifiers are paths under the resource
// directory's "bitmap\" and "font\" folders ("/" and "\" alike) and keys of "color\wceui.color".
CWceUiGenericBitmap* WceUiGetBitmap(LPCWSTR pBitmapID);
void WceUiReleaseBitmap(CWceUiGenericBitmap* pBitmap);
CWceUiColor* WceUiGetColor(LPCWSTR pColorID);
void WceUiReleaseColor(CWceUiColor* pColor);
CWceUiFont* WceUiGetFont(LPCWSTR pFontID);
void WceUiReleaseFont(CWceUiFont* pFont);
