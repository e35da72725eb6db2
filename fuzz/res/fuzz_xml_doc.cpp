// XML documents: syntax, includes (two include files exist beside the document) and the lookups.
#include "FuzzDevice.h"
#include "wceui/res/WceUiXmlDoc.h"

#include <cstdint>

namespace {

void Walk(const CWceUiXmlDoc& doc, const CWceUiXmlElem* elem, int depth) {
    if (depth > WCEUI_XML_MAX_DEPTH) {
        abort();
    }
    doc.GetElemName(elem);
    doc.GetAttrValue(elem, u"name");
    doc.FindChildElem(elem, u"a");
    for (const CWceUiXmlAttr* attr = doc.GetFirstAttr(elem); attr; attr = doc.GetNextAttr(attr)) {
        // Names repeat in no loaded tag, whatever their case: each name finds its own value.
        if (doc.GetAttrValue(elem, attr->pName) != attr->pValue) {
            abort();
        }
    }
    int count = 0;
    for (const CWceUiXmlElem* child = doc.GetFirstChild(elem); child; child = doc.GetNextSibling(child)) {
        Walk(doc, child, depth + 1);
        ++count;
    }
    if (count != doc.GetChildCount(elem)) {
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        const char include[] = "\xFF\xFE<\0b\0/\0>\0";
        FuzzWriteFile("inc/a.xml", include, sizeof(include) - 1);
        FuzzWriteFile("b.xml", "\xFF\xFE", 2);
        return true;
    }();
    (void)ready;
    CWceUiXmlDoc doc;
    if (doc.LoadXmlBuffer(u"\\d.xml", data, static_cast<DWORD>(size), size > 0 && (data[size - 1] & 1))) {
        Walk(doc, doc.GetRootElem(), 0);
    }
    return 0;
}
