// A font handle: a font record of its own, or a font identifier loaded through the font cache on first
// use. A font that cannot be loaded is the system font. CWceUiFontCtrl is the same handle as styles
// hold it.
#pragma once

#include "platform/WinCe.h"

#include <memory>

class CWceUiFont;

class CWceUiLoadFont {
public:
    // The system font, of its own.
    CWceUiLoadFont();
    ~CWceUiLoadFont();
    CWceUiLoadFont(const CWceUiLoadFont&) = delete;
    CWceUiLoadFont& operator=(const CWceUiLoadFont&) = delete;

    // Remembers the identifier; the font is loaded by GetFont. The identifier the handle already has
    // (ignoring case) changes nothing; an empty one leaves the handle on the system font.
    BOOL SetFontFromRes(LPCWSTR pFontID);
    void SetLogFont(const LOGFONTW& logFont);
    // The platform font; the system font (with a message at every call) when the identifier cannot be
    // loaded.
    HFONT GetFont();
    // The font object behind GetFont (loaded now if need be).
    CWceUiFont* GetFontObject();
    // Gives back a loaded font; the handle is then the system font, of its own.
    void Clean();
    // Takes the other's identifier or a copy of its own record.
    BOOL DoCopy(const CWceUiLoadFont& rhs);

    BOOL IsFromRes() const;
    // The identifier, empty when the handle holds its own record.
    LPCWSTR GetFontID() const;

private:
    struct Data;
    Data* GetData() const;

    std::unique_ptr<Data> m_pData;
};

class CWceUiFontCtrl : public CWceUiLoadFont {
public:
    BOOL SetFontFromRes(LPCWSTR pFontID);
    BOOL DoCopy(const CWceUiFontCtrl& rhs);
};
