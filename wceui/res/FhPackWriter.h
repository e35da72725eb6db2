// Builds resource packs (the layout that CFhPackFile reads): items sorted by their lower-case,
// backslash-separated paths, one zlib stream each, the directory scrambled with the password's key.
#pragma once

#include "platform/WinCe.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

class CFhPackWriter {
public:
    CFhPackWriter();

    // The password whose key scrambles the directory; null (the default) for an absent password,
    // which is what the framework reads packs with.
    void SetPassword(LPCWSTR pPassword);
    // The name stored in the directory (at most 258 units); by default empty.
    BOOL SetPackName(LPCWSTR pName);
    // The check word; by default one derived from the whole content, so that a pack with other
    // content gets another check word and readers reload its directory.
    void SetCheckWord(DWORD dwCheckWord);

    // Adds one item. The path is relative to the pack, "/" or "\" separated; it is stored lower-cased
    // with "\" separators. Refused (with a reason in *pError) when it is empty, absolute, has an empty,
    // "." or ".." component, is 259 units or longer, or names an item that is already there.
    BOOL AddItem(LPCWSTR pPath, const void* pData, size_t nLength, std::string* pError);
    size_t GetItemCount() const { return m_items.size(); }

    // Compresses every item and lays out the file. progress(done, total) is called after each item.
    using Progress = std::function<void(size_t done, size_t total)>;
    BOOL Build(std::vector<BYTE>* pOut, std::string* pError, const Progress& progress = Progress());

    // The stored form of an item path ("Img/A.bmp" -> "img\a.bmp").
    static std::u16string NormalizeItemPath(LPCWSTR pPath);

private:
    struct Item {
        std::u16string path;
        std::vector<BYTE> data;
    };
    std::vector<Item> m_items;
    std::set<std::u16string> m_paths;
    std::u16string m_password;
    bool m_bHasPassword;
    std::u16string m_name;
    DWORD m_dwCheckWord;
    bool m_bHasCheckWord;
};
