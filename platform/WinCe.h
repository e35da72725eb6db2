// Everything the framework uses of the platform, in one include.
#pragma once

#include "platform/WinTypes.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"
#include "platform/WinFile.h"
#include "platform/WinRegistry.h"
#include "platform/WinRect.h"
#include "platform/WinGdi.h"
#include "platform/text/WinText.h"
#include "platform/windows/WinUser.h"
#include "platform/system/WinProcess.h"
