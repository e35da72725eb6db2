// bmptool's BMP reader on hostile bytes: the headers, every layout, the masks and palettes, and the
// account of how the framework would take the file. The input also serves as a 16-bit file's plane.
#include "tools/bmptool/BmpInput.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    BmpLayout layout;
    std::string error;
    if (ParseBmp(bytes, &layout, &error)) {
        FrameworkMisreadings(bytes, layout);
        DescribeLayout(layout);
    }
    RgbaImage image;
    if (ReadBmp(bytes, nullptr, &image, &error) &&
        image.pixels.size() != (size_t)image.width * image.height * 4) {
        __builtin_trap();
    }
    ReadBmp(bytes, &bytes, &image, &error);
    return 0;
}
