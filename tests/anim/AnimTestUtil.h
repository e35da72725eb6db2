// Helpers of the animation suites: "animate" elements parsed from text, and animations made by name.
#pragma once

#include "support/TestSupport.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/res/WceUiXmlDoc.h"

#include <memory>
#include <string>

namespace animtest {

// Parses one element (the whole document) the way a style file's items are parsed.
inline const CWceUiXmlElem* ParseElem(CWceUiXmlDoc& doc, const std::u16string& xml) {
    const std::string bytes = std::string("\xFF\xFE", 2) + testsupport::Utf16Bytes(xml);
    EXPECT_TRUE(doc.LoadXmlBuffer(u"\\test.style.xml", (const BYTE*)bytes.data(), (DWORD)bytes.size()))
        << "cannot parse the element";
    return doc.GetRootElem();
}

inline std::unique_ptr<CWceUiWndAnimate> Create(LPCWSTR pClassName) {
    CWceUiObject* pObject = WceUiCreateObject(pClassName);
    EXPECT_NE(nullptr, pObject) << "cannot create the animation";
    if (pObject && !pObject->IsKindOf(u"CWceUiWndAnimate")) {
        ADD_FAILURE() << "not an animation";
        delete pObject;
        return nullptr;
    }
    return std::unique_ptr<CWceUiWndAnimate>(static_cast<CWceUiWndAnimate*>(pObject));
}

// Creates by class name and runs Init with the element written as XML; null when either fails.
inline std::unique_ptr<CWceUiWndAnimate> CreateFromXml(LPCWSTR pClassName, const std::u16string& xml) {
    CWceUiXmlDoc doc;
    const CWceUiXmlElem* pElem = ParseElem(doc, xml);
    auto pAnimate = Create(pClassName);
    if (!pAnimate || !pElem || !pAnimate->Init(pElem)) {
        return nullptr;
    }
    return pAnimate;
}

} // namespace animtest
