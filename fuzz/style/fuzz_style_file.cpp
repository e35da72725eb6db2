// Style files: the file is loaded, GetStyleData runs for every style (bases and the cache included),
// the styles are combined and their colours read, and every animation is made. Whatever a style took
// from the caches must be back when the styles go.
#include "res/FuzzDevice.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/style/FhResLoaders.h"
#include "wceui/style/FhStyleFile.h"
#include "wceui/style/WceUiBgItem.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/style/WceUiStyleCtrls.h"

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        // A colour table, so that colour identifiers resolve; bitmaps and fonts are missing.
        const char colors[] = "\xFF\xFEr\0e\0d\0=\0F\0F\0\x30\0\x30\0\x30\0\x30\0\n\0";
        FuzzWriteFile("res/color/wceui.color", colors, sizeof(colors) - 1);
        CFhGlobalData::Instance().SetResDir(u"\\res\\");
        return true;
    }();
    (void)ready;
    {
        CFhStyleFile file;
        if (!file.LoadStyleBuffer(u"\\f.style.xml", data, static_cast<DWORD>(size))) {
            return 0;
        }
        CWceUiStyle previous;
        for (int i = 0; i < file.GetStyleCount(); ++i) {
            CWceUiStyle style;
            if (file.GetStyleData(file.GetStyleName(i), &style)) {
                style.GetTextColorValue();
                style.GetBgColorCtrl()->GetColor();
                style.GetMixColorFilterCtrl()->GetColor();
                for (CWceUiBgItem* pItem = style.GetBgItemCtrl()->GetHead(); pItem;
                     pItem = style.GetBgItemCtrl()->GetNext(pItem)) {
                    pItem->GetBitmap();
                }
                CWceUiStyle combined;
                combined.Combine(style, previous);
                previous.DoCopy(combined);
            }
        }
        const CWceUiXmlDoc& doc = file.GetXmlDoc();
        CWceUiXmlElem* pAnimate = doc.FindChildElem(doc.GetRootElem(), u"animate");
        for (CWceUiXmlElem* pItem = doc.GetFirstChild(pAnimate); pItem; pItem = doc.GetNextSibling(pItem)) {
            LPCWSTR pName = doc.GetElemName(pItem);
            if (pName && *pName) {
                std::unique_ptr<CWceUiWndAnimate> pAni(file.GetWndAnimate(pName));
            }
        }
    }
    if (CFhBitmapResLoader::Instance().GetCount() != 0 || CFhColorResLoader::Instance().GetCount() != 0 ||
        CFhFontResLoader::Instance().GetCount() != 0) {
        abort();
    }
    return 0;
}
