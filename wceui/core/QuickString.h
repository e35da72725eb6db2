// An owned UTF-16 string that keeps short texts in an inline buffer and only goes to the heap for
// longer ones.
#pragma once

#include "platform/WinCe.h"

#include <new>

template <size_t N> class CQuickStringT {
public:
    CQuickStringT() { m_inline[0] = 0; }
    explicit CQuickStringT(LPCWSTR text) : CQuickStringT() { SetString(text); }
    CQuickStringT(const CQuickStringT& other) : CQuickStringT() { SetString(other.m_pText); }
    CQuickStringT& operator=(const CQuickStringT& other) {
        if (this != &other)
            SetString(other.m_pText);
        return *this;
    }
    ~CQuickStringT() { FreeHeap(); }

    // Copies the text (null counts as empty). Returns FALSE when the heap buffer could not be had;
    // the string is then empty.
    BOOL SetString(LPCWSTR text) {
        if (!text)
            text = u"";
        size_t needed = WStrLen(text) + 1;
        if (needed > N) {
            WCHAR* heap = new (std::nothrow) WCHAR[needed];
            if (!heap) {
                FreeHeap();
                m_inline[0] = 0;
                return FALSE;
            }
            for (size_t i = 0; i < needed; ++i)
                heap[i] = text[i];
            FreeHeap();
            m_pText = heap;
            return TRUE;
        }
        // The text may be a part of this very string: copy it out before the old buffer goes.
        WCHAR copy[N];
        for (size_t i = 0; i < needed; ++i)
            copy[i] = text[i];
        FreeHeap();
        for (size_t i = 0; i < needed; ++i)
            m_inline[i] = copy[i];
        return TRUE;
    }

    LPCWSTR GetString() const { return m_pText; }
    operator LPCWSTR() const { return m_pText; }
    size_t GetLength() const { return WStrLen(m_pText); }
    bool IsEmpty() const { return m_pText[0] == 0; }
    bool IsInline() const { return m_pText == m_inline; }
    static constexpr size_t InlineCapacity() { return N; }

private:
    void FreeHeap() {
        if (m_pText != m_inline)
            delete[] m_pText;
        m_pText = m_inline;
    }

    WCHAR m_inline[N];
    WCHAR* m_pText = m_inline;
};

typedef CQuickStringT<16> CQuickString;
typedef CQuickStringT<32> CQuickString32;
