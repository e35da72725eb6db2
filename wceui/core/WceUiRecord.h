// The private data record of a framework class. The framework survives running out of memory by
// failing softly, so a record is made without throwing: an object whose record could not be made
// lives on without it (its GetData() is null and its methods do nothing or return their failure).
// The failure is logged here, once, instead of at every later use.
#pragma once

#include "wceui/core/WceUiLog.h"

#include <memory>
#include <new>

template <class T> std::unique_ptr<T> WceUiNewRecord(const char* pOwner) {
    std::unique_ptr<T> p(new (std::nothrow) T);
    if (!p) {
        WceUiLog(WCEUI_LOG_ERROR, "%s, no memory for its data", pOwner);
    }
    return p;
}
