// A font description file: a configuration document whose keys set the fields of a LOGFONTW record;
// absent keys keep the values of the platform's system font.
#pragma once

#include "platform/WinCe.h"

class CReadFontConfInfo {
public:
    CReadFontConfInfo();

    BOOL LoadFontConfFile(LPCWSTR pFontConfFile);
    // Copies the record; FALSE when nothing is loaded or pLogFont is null.
    BOOL GetLogFont(LOGFONTW* pLogFont) const;
    BOOL IsLoaded() const { return m_bLoaded; }

private:
    void Reset();

    LOGFONTW m_font;
    BOOL m_bLoaded;
};
