#include "app/TravlekMessages.h"

#include "platform/Platform.h"
#include "wceui/core/WceUiLog.h"

namespace {

struct TravlekMessage {
    LPCWSTR pName;
    UINT uNumber;
};
const TravlekMessage kMessages[] = {
    {u"QN_WM_SDNOTIFY", TRAVLEK_WM_SDNOTIFY},
    {u"SCAN_CODE_MENU", TRAVLEK_WM_SCAN_CODE_MENU},
    {u"TRAVLEK_FINISHED", TRAVLEK_WM_FINISHED},
};

} // namespace

BOOL TravlekRegisterMessages() {
    BOOL bResult = TRUE;
    for (const TravlekMessage& message : kMessages) {
        if (0 == PlatformRegisterWindowMessageAt(message.pName, message.uNumber)) {
            WceUiLogW(WCEUI_LOG_ERROR, u"TravlekRegisterMessages, the number of %s is taken", message.pName);
            bResult = FALSE;
        }
    }
    return bResult;
}
