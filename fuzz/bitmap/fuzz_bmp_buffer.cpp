// BMP buffers and bitmap descriptions. An input is a description and a BMP file: two bytes give the
// description's length (little-endian), the description follows, and the rest is the BMP file, which
// also serves as its own ".alpha" plane. Whatever loads is then drawn on, so that odd sizes reach the
// pixel loops.
#include "platform/Platform.h"
#include "wceui/bitmap/ReadBitmapConfInfo.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/bitmap/WceUiBitmapFile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

// A device root of our own; the program folder does not exist, so the framework's log stays closed.
const std::string& DeviceRoot() {
    static const std::string root = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "wceui-fuzz-bmp-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            abort();
        }
        PlatformSetDeviceRoot(pattern);
        PlatformMount(u"\\Program", pattern + "/no-program-folder");
        return pattern;
    }();
    return root;
}

void WriteFile(const char* name, const uint8_t* data, size_t size) {
    std::ofstream out(DeviceRoot() + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Exercise(CWceUiGenericBitmap* pBmp) {
    if (!pBmp) {
        return;
    }
    std::unique_ptr<CWceUiGenericBitmap> owned(pBmp);
    const int w = pBmp->GetWidth(), h = pBmp->GetHeight();
    pBmp->MixColor(1, 1, w, h, 0x00123456, 100);
    pBmp->MixColor(0, 0, w, h, 0, 128);
    pBmp->SetHSLOffsetHue(45);
    const BLENDFUNCTION bf = {AC_SRC_OVER, 0, 77, (BYTE)(pBmp->HasPerPixelAlpha() ? AC_SRC_ALPHA : 0)};
    pBmp->AlphaBlend(-1, 1, w, h, pBmp, 0, 0, bf);
    CWceUiGenericBitmap* pRotated = nullptr;
    if (pBmp->Rotate(WCEUI_ROTATE_90, &pRotated)) {
        delete pRotated;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DeviceRoot();
    size_t nDesc = size >= 2 ? (size_t)(data[0] | (data[1] << 8)) : 0;
    const uint8_t* pDesc = data + (size >= 2 ? 2 : size);
    const size_t nAfter = size >= 2 ? size - 2 : 0;
    nDesc = nDesc < nAfter ? nDesc : nAfter;
    const uint8_t* pBmp = pDesc + nDesc;
    const size_t nBmp = nAfter - nDesc;

    BYTE info[44];
    const BYTE* pBits = nullptr;
    if (nBmp > 0) {
        GetBitmapInfoFromBuffer(pBmp, (DWORD)nBmp, info, &pBits);
    }
    WriteFile("x.conf", pDesc, nDesc);
    WriteFile("x.bmp", pBmp, nBmp);
    WriteFile("x.alpha", pBmp, nBmp);
    Exercise(WceUiLoadBmpFromFile(u"\\x.bmp", FALSE, nullptr));
    Exercise(WceUiLoadBmpFromFile(u"\\x.bmp", TRUE, u"\\x.alpha"));
    CReadBitmapConfInfo conf;
    if (conf.LoadBitmapConfFile(u"\\x.conf")) {
        COLORREF cr;
        int nAlpha;
        conf.GetTransColor(&cr);
        conf.GetConstantAlpha(&nAlpha);
        conf.GetAlphaFullPath();
    }
    Exercise(FhLoadBitmapFromConfFile(u"\\x.conf"));
    return 0;
}
