// A map from UTF-16 names to values: chained buckets, keys compared exactly (case-sensitive) and
// copied into the map, so callers may pass temporary strings.
#pragma once

#include "platform/WinCe.h"

#include <new>

template <typename T> class CFhStringMap {
public:
    explicit CFhStringMap(size_t nBuckets = 17) : m_nBuckets(nBuckets ? nBuckets : 1) {
        m_ppBuckets = new Entry*[m_nBuckets]();
    }
    ~CFhStringMap() {
        RemoveAll();
        delete[] m_ppBuckets;
    }
    CFhStringMap(const CFhStringMap&) = delete;
    CFhStringMap& operator=(const CFhStringMap&) = delete;

    static DWORD Hash(LPCWSTR pKey) {
        DWORD hash = 0;
        for (; *pKey; ++pKey)
            hash = hash * 33 + static_cast<WORD>(*pKey);
        return hash;
    }

    // The value stored under the key, or null.
    T* Find(LPCWSTR pKey) const {
        Entry* pEntry = FindEntry(pKey);
        return pEntry ? &pEntry->value : nullptr;
    }

    // Stores a value under a key that is not yet in the map; null when memory runs out.
    T* Insert(LPCWSTR pKey, const T& value) {
        size_t nLength = WStrLen(pKey);
        Entry* pEntry = new (std::nothrow) Entry;
        WCHAR* pCopy = new (std::nothrow) WCHAR[nLength + 1];
        if (!pEntry || !pCopy) {
            delete pEntry;
            delete[] pCopy;
            return nullptr;
        }
        WStrCpy(pCopy, pKey);
        pEntry->pKey = pCopy;
        pEntry->hash = Hash(pKey);
        pEntry->value = value;
        Entry*& pHead = m_ppBuckets[pEntry->hash % m_nBuckets];
        pEntry->pNext = pHead;
        pHead = pEntry;
        ++m_nCount;
        return &pEntry->value;
    }

    BOOL Remove(LPCWSTR pKey) {
        DWORD hash = Hash(pKey);
        for (Entry** ppLink = &m_ppBuckets[hash % m_nBuckets]; *ppLink; ppLink = &(*ppLink)->pNext) {
            Entry* pEntry = *ppLink;
            if (pEntry->hash == hash && WStrCmp(pEntry->pKey, pKey) == 0) {
                *ppLink = pEntry->pNext;
                FreeEntry(pEntry);
                --m_nCount;
                return TRUE;
            }
        }
        return FALSE;
    }

    void RemoveAll() {
        for (size_t i = 0; i < m_nBuckets; ++i) {
            while (Entry* pEntry = m_ppBuckets[i]) {
                m_ppBuckets[i] = pEntry->pNext;
                FreeEntry(pEntry);
            }
        }
        m_nCount = 0;
    }

    int GetCount() const { return m_nCount; }

    // Calls visit(key, value) for every entry, bucket by bucket; stops when visit returns false.
    template <typename F> void ForEach(F visit) const {
        for (size_t i = 0; i < m_nBuckets; ++i) {
            for (Entry* pEntry = m_ppBuckets[i]; pEntry; pEntry = pEntry->pNext) {
                if (!visit(static_cast<LPCWSTR>(pEntry->pKey), pEntry->value))
                    return;
            }
        }
    }

private:
    struct Entry {
        Entry* pNext = nullptr;
        DWORD hash = 0;
        WCHAR* pKey = nullptr;
        T value{};
    };

    Entry* FindEntry(LPCWSTR pKey) const {
        DWORD hash = Hash(pKey);
        for (Entry* pEntry = m_ppBuckets[hash % m_nBuckets]; pEntry; pEntry = pEntry->pNext) {
            if (pEntry->hash == hash && WStrCmp(pEntry->pKey, pKey) == 0)
                return pEntry;
        }
        return nullptr;
    }
    static void FreeEntry(Entry* pEntry) {
        delete[] pEntry->pKey;
        delete pEntry;
    }

    Entry** m_ppBuckets;
    size_t m_nBuckets;
    int m_nCount = 0;
};
