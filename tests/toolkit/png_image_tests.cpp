// The shared PNG decoder: every colour type and bit depth comes out as
// straight 8-bit RGBA, and broken data is refused without a crash.
#include <png.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/toolkit.h"

namespace {

struct StoredImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;
};

std::map<int, StoredImage> storedImages;

using Bytes = std::vector<unsigned char>;

void WriteToMemory(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

struct PngPicture {
    int colourType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    int width = 0;
    int height = 0;
    std::vector<Bytes> rows;  // the samples exactly as the file holds them
    std::vector<png_color> palette;
    Bytes paletteAlpha;            // tRNS of a palette picture
    int transparentGray = -1;      // tRNS of a gray picture
    bool interlaced = false;
};

PngPicture Picture(int colourType, int bitDepth, int width, int height, std::vector<Bytes> rows) {
    PngPicture picture;
    picture.colourType = colourType;
    picture.bitDepth = bitDepth;
    picture.width = width;
    picture.height = height;
    picture.rows = std::move(rows);
    return picture;
}

PngPicture WithPalette(PngPicture picture, std::vector<png_color> palette, Bytes alpha = {}) {
    picture.palette = std::move(palette);
    picture.paletteAlpha = std::move(alpha);
    return picture;
}

PngPicture WithTransparentGray(PngPicture picture, int gray) {
    picture.transparentGray = gray;
    return picture;
}

PngPicture Interlaced(PngPicture picture) {
    picture.interlaced = true;
    return picture;
}

Bytes EncodePng(const PngPicture& picture) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the test picture";
        return Bytes();
    }
    png_set_write_fn(png, &out, WriteToMemory, NoFlush);
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), picture.bitDepth,
                 picture.colourType, picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!picture.palette.empty())
        png_set_PLTE(png, info, picture.palette.data(), int(picture.palette.size()));
    if (!picture.paletteAlpha.empty())
        png_set_tRNS(png, info, picture.paletteAlpha.data(), int(picture.paletteAlpha.size()), nullptr);
    if (picture.transparentGray >= 0) {
        png_color_16 gray{};
        gray.gray = png_uint_16(picture.transparentGray);
        png_set_tRNS(png, info, nullptr, 0, &gray);
    }
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const Bytes& row : picture.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

const StoredImage* Decode(int image, const Bytes& png) {
    storedImages.erase(image);
    if (!tk::DecodePngImage(image, png.data(), png.size())) return nullptr;
    auto found = storedImages.find(image);
    return found == storedImages.end() ? nullptr : &found->second;
}

struct DecodeCase {
    const char* name;
    PngPicture picture;
    Bytes expected;  // RGBA of every pixel, rows top to bottom
};

// Two pixels per picture, 2 x 1, so each case shows two different values.
std::vector<DecodeCase> DecodeCases() {
    return {
        {"RGBA 8-bit keeps straight alpha",
         Picture(PNG_COLOR_TYPE_RGB_ALPHA, 8, 2, 1, {{10, 20, 30, 0, 200, 100, 50, 128}}),
         {10, 20, 30, 0, 200, 100, 50, 128}},
        {"RGB 8-bit gets opaque alpha",
         Picture(PNG_COLOR_TYPE_RGB, 8, 2, 1, {{1, 2, 3, 250, 251, 252}}),
         {1, 2, 3, 255, 250, 251, 252, 255}},
        {"RGBA 16-bit keeps the high bytes",
         Picture(PNG_COLOR_TYPE_RGB_ALPHA, 16, 2, 1, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF,
                                                0x00, 0x01, 0x80, 0x00, 0xFF, 0x00, 0x40, 0x00}}),
         {0x12, 0x56, 0x9A, 0xFF, 0x00, 0x80, 0xFF, 0x40}},
        {"RGB 16-bit",
         Picture(PNG_COLOR_TYPE_RGB, 16, 2, 1, {{0xAB, 0xCD, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}}),
         {0xAB, 0x00, 0xFF, 255, 0x01, 0x03, 0x05, 255}},
        {"gray 8-bit becomes three equal channels",
         Picture(PNG_COLOR_TYPE_GRAY, 8, 2, 1, {{0, 200}}),
         {0, 0, 0, 255, 200, 200, 200, 255}},
        {"gray 1-bit is expanded to 0 and 255",
         Picture(PNG_COLOR_TYPE_GRAY, 1, 2, 1, {{0x40}}),
         {0, 0, 0, 255, 255, 255, 255, 255}},
        {"gray 2-bit is scaled to 8 bits",
         Picture(PNG_COLOR_TYPE_GRAY, 2, 2, 1, {{0x60}}),  // samples 1 and 2
         {85, 85, 85, 255, 170, 170, 170, 255}},
        {"gray 4-bit is scaled to 8 bits",
         Picture(PNG_COLOR_TYPE_GRAY, 4, 2, 1, {{0x1F}}),  // samples 1 and 15
         {17, 17, 17, 255, 255, 255, 255, 255}},
        {"gray 16-bit",
         Picture(PNG_COLOR_TYPE_GRAY, 16, 2, 1, {{0x80, 0xFF, 0x01, 0x00}}),
         {0x80, 0x80, 0x80, 255, 0x01, 0x01, 0x01, 255}},
        {"gray with alpha",
         Picture(PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2, 1, {{50, 0, 60, 255}}),
         {50, 50, 50, 0, 60, 60, 60, 255}},
        {"gray with a transparent value",
         WithTransparentGray(Picture(PNG_COLOR_TYPE_GRAY, 8, 2, 1, {{7, 9}}), 7),
         {7, 7, 7, 0, 9, 9, 9, 255}},
        {"palette without transparency",
         WithPalette(Picture(PNG_COLOR_TYPE_PALETTE, 8, 2, 1, {{1, 0}}), {{10, 20, 30}, {40, 50, 60}}),
         {40, 50, 60, 255, 10, 20, 30, 255}},
        {"palette with transparency for the first entry only",
         WithPalette(Picture(PNG_COLOR_TYPE_PALETTE, 4, 2, 1, {{0x01}}), {{10, 20, 30}, {40, 50, 60}}, {77}),
         {10, 20, 30, 77, 40, 50, 60, 255}},
        {"interlaced RGBA",
         Interlaced(Picture(PNG_COLOR_TYPE_RGB_ALPHA, 8, 2, 1, {{1, 2, 3, 4, 5, 6, 7, 8}})),
         {1, 2, 3, 4, 5, 6, 7, 8}},
    };
}

TEST(PngImage, EveryColourTypeAndDepthBecomesStraightRgba) {
    int image = 1;
    for (const DecodeCase& c : DecodeCases()) {
        SCOPED_TRACE(c.name);
        const StoredImage* stored = Decode(image, EncodePng(c.picture));
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->width, c.picture.width);
        EXPECT_EQ(stored->height, c.picture.height);
        EXPECT_EQ(stored->rgba, c.expected);
        ++image;
    }
}

TEST(PngImage, RowsComeTopToBottomInALargerPicture) {
    PngPicture picture = Picture(PNG_COLOR_TYPE_RGB, 8, 3, 4, {});
    Bytes expected;
    for (int y = 0; y < 4; ++y) {
        Bytes row;
        for (int x = 0; x < 3; ++x) {
            const unsigned char r = static_cast<unsigned char>(x * 10 + y), g = static_cast<unsigned char>(100 + y),
                                b = static_cast<unsigned char>(200 - x);
            row.insert(row.end(), {r, g, b});
            expected.insert(expected.end(), {r, g, b, 255});
        }
        picture.rows.push_back(row);
    }
    for (bool interlaced : {false, true}) {
        picture.interlaced = interlaced;
        const StoredImage* stored = Decode(20, EncodePng(picture));
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->rgba, expected) << (interlaced ? "interlaced" : "not interlaced");
    }
}

TEST(PngImage, BrokenDataIsRefusedAndStoresNothing) {
    const Bytes good = EncodePng(Picture(PNG_COLOR_TYPE_RGB_ALPHA, 8, 2, 1, {{1, 2, 3, 4, 5, 6, 7, 8}}));
    ASSERT_FALSE(good.empty());
    Bytes corrupted = good;
    corrupted[corrupted.size() / 2] ^= 0xFF;  // inside the image data: the checksum fails
    const Bytes cases[] = {
        Bytes(),                                  // nothing
        Bytes(good.begin(), good.begin() + 8),    // the signature alone
        Bytes(good.begin(), good.begin() + 40),   // cut inside the chunks
        Bytes(good.begin(), good.end() - 13),     // without its end
        corrupted,
        Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '!'},
    };
    int image = 30;
    for (const Bytes& data : cases) {
        SCOPED_TRACE("case with " + std::to_string(data.size()) + " bytes");
        EXPECT_EQ(Decode(image, data), nullptr);
        EXPECT_EQ(storedImages.count(image), 0u);
        ++image;
    }
    EXPECT_FALSE(tk::DecodePngImage(40, nullptr, 100));
}

}  // namespace

// The decoder hands its pixels here; the tests keep them.
void tk::StoreImage(int image, int width, int height, const unsigned char* rgba) {
    StoredImage& stored = storedImages[image];
    stored.width = width;
    stored.height = height;
    stored.rgba.assign(rgba, rgba + std::size_t(width) * height * 4);
}
