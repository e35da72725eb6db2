#include "PngFile.h"

#include <png.h>

#include <cstring>

bool ReadPng(const std::string& hostPath, RgbaImage* pImage, std::string* pError) {
    png_image image;
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, hostPath.c_str())) {
        *pError = image.message;
        return false;
    }
    pImage->hasAlpha = 0 != (image.format & PNG_FORMAT_FLAG_ALPHA);
    image.format = PNG_FORMAT_RGBA;
    pImage->width = (int)image.width;
    pImage->height = (int)image.height;
    pImage->pixels.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, NULL, pImage->pixels.data(), 0, NULL)) {
        *pError = image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

bool WritePng(const std::string& hostPath, const RgbaImage& source, std::string* pError) {
    png_image image;
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)source.width;
    image.height = (png_uint_32)source.height;
    std::vector<uint8_t> rgb;
    const void* pRows = source.pixels.data();
    if (source.hasAlpha) {
        image.format = PNG_FORMAT_RGBA;
    } else {
        image.format = PNG_FORMAT_RGB;
        rgb.reserve((size_t)source.width * source.height * 3);
        for (size_t i = 0; i < source.pixels.size(); i += 4) {
            rgb.insert(rgb.end(), source.pixels.begin() + i, source.pixels.begin() + i + 3);
        }
        pRows = rgb.data();
    }
    if (!png_image_write_to_file(&image, hostPath.c_str(), 0, pRows, 0, NULL)) {
        *pError = image.message;
        return false;
    }
    return true;
}
