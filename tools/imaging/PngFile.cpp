#include "tools/imaging/PngFile.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

// libpng reports errors by calling back and jumping out; the message is kept here for the caller.
struct ReadState {
    char szError[200];
};

void OnPngError(png_structp png, png_const_charp pMessage) {
    ReadState* pState = static_cast<ReadState*>(png_get_error_ptr(png));
    snprintf(pState->szError, sizeof(pState->szError), "%s", pMessage);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    bool bAlpha;
};

// Reads the header and sets the transforms to 8-bit RGBA with the stored values: palette and grey
// expanded, 16-bit samples scaled to 8 bits, a transparent colour made into alpha, no gamma applied.
// Only trivially destructible locals live here, since an error leaves by longjmp.
bool ReadHeader(png_structp png, png_infop info, PngHeader* pHeader) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_info(png, info);
    pHeader->width = png_get_image_width(png, info);
    pHeader->height = png_get_image_height(png, info);
    const int nColorType = png_get_color_type(png, info);
    const bool bTrns = 0 != png_get_valid(png, info, PNG_INFO_tRNS);
    pHeader->bAlpha = 0 != (nColorType & PNG_COLOR_MASK_ALPHA) || bTrns;
    if (PNG_COLOR_TYPE_PALETTE == nColorType) {
        png_set_palette_to_rgb(png);
    }
    if (0 == (nColorType & PNG_COLOR_MASK_COLOR)) {
        png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    if (bTrns) {
        png_set_tRNS_to_alpha(png);
    }
    png_set_scale_16(png);
    if (!pHeader->bAlpha) {
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    // Interlaced images are gathered into whole rows by libpng, pass by pass.
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != (size_t)pHeader->width * 4) {
        png_error(png, "unexpected row layout after the conversion to RGBA");
    }
    return true;
}

bool ReadRows(png_structp png, png_infop info, png_bytepp ppRows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, ppRows);
    png_read_end(png, info);
    return true;
}

// libpng's own words for a file that ends before the image does say nothing of the cause.
std::string ReadFailure(const char* pMessage, FILE* f) {
    if (0 != strcmp(pMessage, "Read Error")) {
        return pMessage;
    }
    const long nSize = 0 == fseek(f, 0, SEEK_END) ? ftell(f) : -1;
    if (0 == nSize) {
        return "the file is empty";
    }
    return "the file ends early" +
           (nSize > 0 ? ", after " + std::to_string(nSize) + " bytes," : std::string()) +
           " before the image is complete (cut short, or still being written)";
}

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

} // namespace

bool CheckImageSize(unsigned long long width, unsigned long long height, std::string* pError) {
    if (width <= kMaxImageSide && height <= kMaxImageSide && width * height <= kMaxImagePixels) {
        return true;
    }
    *pError = "the image is " + std::to_string(width) + " x " + std::to_string(height) +
              ", larger than bmptool takes (" + std::to_string(kMaxImageSide) + " pixels a side and " +
              std::to_string(kMaxImagePixels) + " pixels in all)";
    return false;
}

bool ReadPng(const std::string& hostPath, RgbaImage* pImage, std::string* pError) {
    std::unique_ptr<FILE, FileCloser> file(fopen(hostPath.c_str(), "rb"));
    if (!file) {
        *pError = std::string("cannot open the file: ") + strerror(errno);
        return false;
    }
    ReadState state;
    state.szError[0] = 0;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : NULL;
    if (NULL == info) {
        png_destroy_read_struct(&png, NULL, NULL);
        *pError = "out of memory";
        return false;
    }
    struct Cleanup {
        png_structp* pp;
        png_infop* pi;
        ~Cleanup() { png_destroy_read_struct(pp, pi, NULL); }
    } cleanup{&png, &info};
    png_init_io(png, file.get());

    PngHeader header = {0, 0, false};
    if (!ReadHeader(png, info, &header)) {
        *pError = ReadFailure(state.szError, file.get());
        return false;
    }
    // The size is checked before anything is allocated for the pixels.
    if (!CheckImageSize(header.width, header.height, pError)) {
        return false;
    }
    std::vector<png_bytep> rows;
    try {
        pImage->pixels.assign((size_t)header.width * header.height * 4, 0);
        rows.resize(header.height);
    } catch (const std::bad_alloc&) {
        *pError = "out of memory for " + std::to_string(header.width) + " x " +
                  std::to_string(header.height) + " pixels";
        return false;
    }
    for (png_uint_32 y = 0; y < header.height; ++y) {
        rows[y] = pImage->pixels.data() + (size_t)y * header.width * 4;
    }
    if (!ReadRows(png, info, rows.data())) {
        *pError = ReadFailure(state.szError, file.get());
        return false;
    }
    pImage->width = (int)header.width;
    pImage->height = (int)header.height;
    pImage->hasAlpha = header.bAlpha;
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
