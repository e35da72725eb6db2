// Dialogs: the first byte splits the rest into a dialog file and a style file; the dialog is created by
// the layer controller, drawn once into a small window bitmap, and deleted. Every layer and every
// cached resource must be gone afterwards.
#include "res/FuzzDevice.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/style/FhResLoaders.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/ui/WceUiWindowlessHost.h"

#include <cstdint>
#include <memory>

namespace {} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        // One image, so that background items have something to draw.
        const uint8_t bmp[] = {
            'B', 'M', 70,   0, 0, 0, 0,    0, 0,  0, 66,   0,    0,    0,    40,   0,    0,    0,   2,    0,
            0,   0,   2,    0, 0, 0, 1,    0, 16, 0, 3,    0,    0,    0,    8,    0,    0,    0,   0,    0,
            0,   0,   0,    0, 0, 0, 0,    0, 0,  0, 0,    0,    0,    0,    0,    0,    0,    0,   0xF8, 0,
            0,   0,   0xE0, 7, 0, 0, 0x1F, 0, 0,  0, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF};
        FuzzWriteFile("res/bitmap/i.bmp", bmp, sizeof(bmp));
        const char conf[] = "\xFF\xFEs\0r\0c\0=\0i\0.\0b\0m\0p\0\n\0";
        FuzzWriteFile("res/bitmap/i.conf", conf, sizeof(conf) - 1);
        CFhGlobalData::Instance().SetResDir(u"\\res\\");
        CFhGlobalData::Instance().SetWndDir(u"\\wnd\\");
        return true;
    }();
    (void)ready;
    if (size < 1) {
        return 0;
    }
    const size_t split = 1 + (size - 1) * data[0] / 255;
    FuzzWriteFile("wnd/CWceUiDlg.dlg.xml", data + 1, split - 1);
    FuzzWriteFile("wnd/CWceUiDlg.style.xml", data + split, size - split);
    {
        CWceUiWindowlessHost host;
        CWceUiLayerCtrl ctrl;
        ctrl.SetWindow(&host);
        std::unique_ptr<CWceUiGenericBitmap> pWnd(WceUiCreateBitmapObject(16));
        if (!pWnd || !pWnd->CreateDIB(64, 48)) {
            abort();
        }
        if (CWceUiDlg* pDlg = ctrl.CreateDlg(u"CWceUiDlg")) {
            if (pDlg->RunModeless()) {
                RECT rc = {0, 0, 64, 48};
                ctrl.Draw(pWnd.get(), &rc);
                pDlg->EndModeless();
            }
            ctrl.DeleteLayer(pDlg);
        }
        if (ctrl.GetLayerCount() != 1) {
            abort();
        }
    }
    if (CFhBitmapResLoader::Instance().GetCount() != 0 || CFhColorResLoader::Instance().GetCount() != 0 ||
        CFhFontResLoader::Instance().GetCount() != 0) {
        abort();
    }
    return 0;
}
