// PNG files of the board's pictures (snapshots, scenario checks) through libpng.
#include "sim/board/Image.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vrec::board {

namespace {

struct FileCloser
{
    void operator()(FILE* fp) const
    {
        if (fp)
            std::fclose(fp);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

void SetWhy(std::string* why, const std::string& text)
{
    if (why)
        *why = text;
}

// libpng reports errors through longjmp; the message is kept for the caller.
void OnPngError(png_structp png, png_const_charp message)
{
    auto* text = static_cast<std::string*>(png_get_error_ptr(png));
    if (text)
        *text = message;
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Runs the encoder; libpng errors come back here through longjmp.
bool Encode(png_structp png, png_infop info, FILE* fp, const RgbImage& image)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, fp);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, image.rgb.data() + static_cast<size_t>(y) * image.width * 3);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool WritePng(const RgbImage& image, const std::string& path, std::string* why)
{
    if (image.empty() || image.rgb.size() != static_cast<size_t>(image.width) * image.height * 3) {
        SetWhy(why, "no picture to write to " + path);
        return false;
    }
    File fp(std::fopen(path.c_str(), "wb"));
    if (!fp) {
        SetWhy(why, "cannot create " + path + ": " + std::strerror(errno));
        return false;
    }
    std::string error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        SetWhy(why, "out of memory writing " + path);
        return false;
    }
    bool ok = Encode(png, info, fp.get(), image);
    png_destroy_write_struct(&png, &info);
    if (!ok) {
        SetWhy(why, "cannot write " + path + ": " + error);
        return false;
    }
    if (std::fflush(fp.get()) != 0 || std::ferror(fp.get())) {
        SetWhy(why, "cannot write " + path + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

namespace {

// Runs the decoder; on a libpng error it comes back here through longjmp,
// so the objects it fills belong to the caller.
bool Decode(png_structp png, png_infop info, FILE* fp, RgbImage& image, std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, fp);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    // Whatever the file holds becomes 8-bit RGB: palettes expanded, grey
    // turned to colour, 16-bit channels cut, alpha composed onto black.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_color_16 black{};
    png_set_background(png, &black, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    png_read_update_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > 16384 || height > 16384 ||
        png_get_rowbytes(png, info) != static_cast<size_t>(width) * 3)
        return false;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = image.rgb.data() + static_cast<size_t>(y) * width * 3;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

RgbImage ReadPng(const std::string& path, std::string* why)
{
    File fp(std::fopen(path.c_str(), "rb"));
    if (!fp) {
        SetWhy(why, "cannot open " + path + ": " + std::strerror(errno));
        return {};
    }
    unsigned char signature[8];
    if (std::fread(signature, 1, sizeof(signature), fp.get()) != sizeof(signature) ||
        png_sig_cmp(signature, 0, sizeof(signature)) != 0) {
        SetWhy(why, path + " is not a PNG file");
        return {};
    }
    std::string error;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SetWhy(why, "out of memory reading " + path);
        return {};
    }
    RgbImage image;
    std::vector<png_bytep> rows;
    bool ok = Decode(png, info, fp.get(), image, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        SetWhy(why, "cannot read " + path + ": " + (error.empty() ? "unsupported PNG layout" : error));
        return {};
    }
    return image;
}

}  // namespace vrec::board
