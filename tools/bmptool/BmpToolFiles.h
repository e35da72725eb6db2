// What bmptool's commands share: BMP files loaded and saved the framework's way, the framework's log
// lines for failures, and option values.
#pragma once

#include "tools/common/ToolSupport.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"

#include <memory>
#include <string>
#include <vector>

namespace bmptool {

// Prints "bmptool: WHY" to stderr; returns the failure exit status 1.
int Fail(const std::string& why);

// The framework's messages while it lives, printed when an operation fails.
class LogLines : public tooling::LogLines {
public:
    int Fail(const std::string& why) const;
};

using tooling::DevicePath;

// Whether s ends in pTail (lower case) ignoring case.
bool EndsWith(const std::string& s, const char* pTail);
// The ".alpha" path beside a ".bmp" path.
std::string AlphaPathOf(const std::string& bmpPath);
// A decimal integer in lMin..lMax, nothing else.
bool ParseInt(const std::string& s, long lMin, long lMax, int* pOut);
// Exactly nCount comma-separated integers.
bool ParseInts(const std::string& s, size_t nCount, std::vector<int>* pOut);

// Loads a BMP with the framework's loader: a 565 file has per-pixel alpha exactly when its ".alpha"
// stands beside it; a 32-bit file always has. Null with *pExit set on failure.
std::unique_ptr<CWceUiGenericBitmap> LoadBmp(const std::string& hostPath, const LogLines& log, int* pExit);
// Saves with the bitmap's own SaveFile, a 565 plane beside it; returns the exit status.
int SaveBmp(CWceUiGenericBitmap& bmp, const std::string& hostPath, const LogLines& log);

} // namespace bmptool
