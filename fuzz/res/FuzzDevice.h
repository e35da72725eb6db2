// A device folder of its own for a fuzzer: a fresh temporary root, and a program folder that does not
// exist so that the framework's log stays closed instead of growing with every input.
#pragma once

#include "platform/Platform.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline const std::string& FuzzDeviceRoot() {
    static const std::string root = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "wceui-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            abort();
        }
        PlatformSetDeviceRoot(pattern);
        PlatformMount(u"\\Program", pattern + "/no-program-folder");
        return pattern;
    }();
    return root;
}

inline void FuzzWriteFile(const std::string& relative, const void* data, size_t size) {
    const std::filesystem::path path = std::filesystem::path(FuzzDeviceRoot()) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}
