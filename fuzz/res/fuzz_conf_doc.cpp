// Configuration documents, with and without escapes.
#include "FuzzDevice.h"
#include "wceui/res/FhConfDoc.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzDeviceRoot();
    for (BOOL escapes : {FALSE, TRUE}) {
        CFhConfDoc doc;
        if (doc.LoadBuffer(u"\\c.conf", data, static_cast<DWORD>(size), escapes)) {
            doc.GetValue(u"height");
            doc.GetValue(u"facename");
            doc.GetValue(u"");
        }
    }
    return 0;
}
