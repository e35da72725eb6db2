// The language file (keys are text identifiers, values the texts) and every live text handle, so that
// a change of language reaches each of them.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiHList.h"
#include "wceui/res/FhConfDoc.h"

class CWceUiLoadString;

class CFhLanguage {
public:
    // The process's language, made on first use and kept to the very end, since text handles may live
    // in statics of their own.
    static CFhLanguage& Instance();

    CFhLanguage();
    ~CFhLanguage();
    CFhLanguage(const CFhLanguage&) = delete;
    CFhLanguage& operator=(const CFhLanguage&) = delete;

    // Loads the language file (relative paths start at the program's folder), with the configuration
    // document's escapes when asked. On success every text handle reads its text again; on failure the
    // language is empty and FALSE is returned.
    BOOL SetLanguage(LPCWSTR pLangeFilePath, BOOL bEscapes);
    // The text of an identifier, or null when there is none (or no language).
    LPCWSTR GetText(LPCWSTR pTextResID) const;
    // The path given to the last successful SetLanguage (empty before).
    LPCWSTR GetLanguagePath() const { return m_strFilePath.GetString(); }
    BOOL IsLoaded() const { return m_doc.IsLoaded(); }

    void AddLoadStringItem(CWceUiLoadString* pLoadStringItem);
    void DelLoadStringItem(CWceUiLoadString* pLoadStringItem);
    int GetLoadStringCount() const { return m_items.GetCount(); }

private:
    CQuickString m_strFilePath;
    CFhConfDoc m_doc;
    CWceUiHList m_items;
};

// The process's language file; see CFhLanguage::SetLanguage.
BOOL WceUiSetLanguage(LPCWSTR pLangeFilePath, BOOL bEscapes);
