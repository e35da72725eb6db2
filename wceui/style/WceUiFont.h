// A font record (the platform's LOGFONTW) with a platform font made from it on demand.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/WceUiObject.h"

class CWceUiFont : public CWceUiObject {
public:
    // Holds the platform's system font.
    CWceUiFont();
    ~CWceUiFont() override;
    CWceUiFont(const CWceUiFont&) = delete;
    CWceUiFont& operator=(const CWceUiFont&) = delete;

    // A record equal to the current one (fixed fields and face name) changes nothing; another one
    // frees the platform font made from the old record.
    void SetLogFont(const LOGFONTW& logFont);
    BOOL GetLogFont(LOGFONTW* pLogFont) const;
    const LOGFONTW& GetLogFontRef() const { return m_logFont; }
    // Back to the system font.
    void ResetToSystemFont();
    // The platform font of the record, made on first use; null when the platform refuses the record.
    HFONT GetFont();

    // Whether two records describe the same font: every fixed field and the whole face name.
    static bool IsSameLogFont(const LOGFONTW& a, const LOGFONTW& b);

private:
    void DeleteFont();

    LOGFONTW m_logFont;
    HFONT m_hFont;
};

// Loads a font from its description file, without caching; the caller owns the result. Null (after
// "load file %s failed") when the description cannot be read.
CWceUiFont* FhLoadFontFromConfFile(LPCWSTR pFontConfFullPath);
