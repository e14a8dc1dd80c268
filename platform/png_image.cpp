// Decoding a PNG held in memory with libpng, for both backends: any colour
// type and bit depth becomes 8-bit straight RGBA, which goes to StoreImage.
#include <png.h>

#include <cstring>
#include <vector>

#include "platform/toolkit.h"

namespace tk {
namespace {

// Larger pictures are refused rather than allocated: the program's own
// images are small.
constexpr png_uint_32 MaxSide = 16384;

struct MemoryReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->at) png_error(png, "read past the end of the image data");
    std::memcpy(out, reader->data + reader->at, length);
    reader->at += length;
}

// A broken image is a failed decoding, told by the result: no messages,
// neither for errors nor for warnings (an unusual colour profile, say).
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// Everything that libpng may leave by a long jump lives in the caller, so
// no object with a destructor is skipped.
bool Decode(png_structp png, png_infop info, MemoryReader& reader, std::vector<unsigned char>& pixels,
            std::vector<png_bytep>& rows, png_uint_32& width, png_uint_32& height) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_set_user_limits(png, MaxSide, MaxSide);
    png_read_info(png, info);

    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);

    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    // Opaque images get an alpha of 255 after each pixel.
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    if (png_get_rowbytes(png, info) != std::size_t(width) * 4) png_error(png, "unexpected row layout");
    pixels.assign(std::size_t(width) * height * 4, 0);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels.data() + std::size_t(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool DecodePngImage(int image, const unsigned char* png, std::size_t size) {
    if (png == nullptr || size < 8 || png_sig_cmp(png, 0, 8) != 0) return false;
    png_structp reading = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    if (reading == nullptr) return false;
    png_infop info = png_create_info_struct(reading);
    if (info == nullptr) {
        png_destroy_read_struct(&reading, nullptr, nullptr);
        return false;
    }
    MemoryReader reader{png, size, 0};
    std::vector<unsigned char> pixels;
    std::vector<png_bytep> rows;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    const bool decoded = Decode(reading, info, reader, pixels, rows, width, height);
    png_destroy_read_struct(&reading, &info, nullptr);
    if (!decoded || width == 0 || height == 0) return false;
    StoreImage(image, int(width), int(height), pixels.data());
    return true;
}

}  // namespace tk
