#include "BmpToolFiles.h"
#include "tools/imaging/RgbaBitmaps.h"

#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/bitmap/WceUiBitmapFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace bmptool {

int Fail(const std::string& why) {
    fprintf(stderr, "bmptool: %s\n", why.c_str());
    return 1;
}

int LogLines::Fail(const std::string& why) const {
    fprintf(stderr, "bmptool: %s\n", why.c_str());
    Print("  ");
    return 1;
}

bool EndsWith(const std::string& s, const char* pTail) {
    const size_t n = strlen(pTail);
    if (s.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (tolower((unsigned char)s[s.size() - n + i]) != pTail[i]) {
            return false;
        }
    }
    return true;
}

std::string AlphaPathOf(const std::string& bmpPath) {
    return bmpPath.substr(0, bmpPath.size() - 4) + ".alpha";
}

bool ParseInt(const std::string& s, long lMin, long lMax, int* pOut) {
    if (s.empty()) {
        return false;
    }
    char* pEnd = nullptr;
    const long l = strtol(s.c_str(), &pEnd, 10);
    if (*pEnd || l < lMin || l > lMax) {
        return false;
    }
    *pOut = (int)l;
    return true;
}

bool ParseInts(const std::string& s, size_t nCount, std::vector<int>* pOut) {
    std::stringstream in(s);
    std::string part;
    pOut->clear();
    while (std::getline(in, part, ',')) {
        int n;
        if (!ParseInt(part, -1000000, 1000000, &n)) {
            return false;
        }
        pOut->push_back(n);
    }
    return pOut->size() == nCount;
}

// ---- loading and saving BMP files the framework's way ----

std::unique_ptr<CWceUiGenericBitmap> LoadBmp(const std::string& hostPath, const LogLines& log, int* pExit) {
    *pExit = 0;
    if (!EndsWith(hostPath, ".bmp")) {
        *pExit = Fail(hostPath + ": not a .bmp file");
        return nullptr;
    }
    const std::u16string dev = DevicePath(hostPath);
    if (dev.empty()) {
        *pExit = Fail(hostPath + ": cannot be reached");
        return nullptr;
    }
    const std::string alphaHost = AlphaPathOf(hostPath);
    const bool bPlane = fs::is_regular_file(alphaHost);
    const std::u16string alphaDev = DevicePath(alphaHost);
    std::unique_ptr<CWceUiGenericBitmap> pBmp(
        WceUiLoadBmpFromFile(dev.c_str(), bPlane ? TRUE : FALSE, bPlane ? alphaDev.c_str() : NULL));
    if (!pBmp) {
        *pExit = log.Fail("cannot load " + hostPath);
        return nullptr;
    }
    if (32 == pBmp->GetBitsPixel()) {
        pBmp->SetPerPixelAlpha(TRUE);
    }
    return pBmp;
}

// Saves with the bitmap's own SaveFile; a 565 bitmap's plane goes beside the file, and a plane left
// there from before is removed when the result has none, so that the pair always loads as written.
int SaveBmp(CWceUiGenericBitmap& bmp, const std::string& hostPath, const LogLines& log) {
    if (!EndsWith(hostPath, ".bmp")) {
        return Fail(hostPath + ": the output must be a .bmp file");
    }
    bool bRemoved = false;
    std::string error;
    if (!imaging::SaveBitmapFiles(bmp, hostPath, &bRemoved, &error)) {
        return log.Fail(error);
    }
    if (bRemoved) {
        fprintf(stderr, "bmptool: removed %s: the result has no alpha plane\n",
                AlphaPathOf(hostPath).c_str());
    }
    return 0;
}

} // namespace bmptool
