// Creating a folder together with every missing parent.
#pragma once

#include "platform/WinCe.h"

// Succeeds at once when the path is an existing folder. Otherwise asks the platform to create each
// prefix that ends before a "\" or "/" (failures ignored), then the whole path, and succeeds when the
// path is a folder afterwards. Paths of MAX_PATH units or more are refused without creating anything.
BOOL WceUiCreateDirectories(LPCWSTR pPath);
