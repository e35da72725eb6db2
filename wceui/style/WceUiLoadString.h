// A text handle: a text identifier looked up in the language file when its text is first read, and
// again after every change of language.
#pragma once

#include "platform/WinCe.h"

#include <memory>

class CFhLanguage;

class CWceUiLoadString {
public:
    // Registers with the process's language (or the given one, which must outlive the handle).
    CWceUiLoadString();
    explicit CWceUiLoadString(CFhLanguage* pLanguage);
    ~CWceUiLoadString();
    CWceUiLoadString(const CWceUiLoadString&) = delete;
    CWceUiLoadString& operator=(const CWceUiLoadString&) = delete;

    BOOL SetTextResID(LPCWSTR pTextResID);
    LPCWSTR GetTextResID() const;
    // The text of the identifier; empty (never null) for an empty identifier or one the language does
    // not have.
    LPCWSTR GetText();

    // Set by the language when its texts change.
    void MarkStale();

private:
    friend class CFhLanguage;
    struct Data;
    Data* GetData() const;

    std::unique_ptr<Data> m_pData;
    CFhLanguage* m_pLanguage;
    CWceUiLoadString* m_pNextItem; // the language's list of handles
};
