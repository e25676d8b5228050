#include "png/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <new>

#include "png/output_file.h"
#include "options/option_table.h"

namespace lumo {

namespace {

struct PngSink {
    std::vector<unsigned char>& bytes;
    std::jmp_buf jump;
    char message[200] = "";
};

void onPngError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", message);
    std::longjmp(sink->jump, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// libpng is C: an exception must not cross it, so running out of memory becomes a PNG error.
void onPngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    bool grown = true;
    try {
        sink->bytes.insert(sink->bytes.end(), data, data + length);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) png_error(png, "out of memory");
}

void onPngFlush(png_structp) {}

}  // namespace

bool encodePng(const FrameBuffer& fb, std::vector<unsigned char>& bytes, std::string& error) {
    const int w = fb.width, h = fb.height;
    if (w <= 0 || h <= 0) {
        error = "the picture is empty";
        return false;
    }
    bytes.clear();
    std::vector<png_byte> row(static_cast<size_t>(w) * 3);
    PngSink sink{bytes, {}, ""};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, onPngError, onPngWarning);
    if (!png) {
        error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(sink.jump)) {
        error = sink.message[0] ? sink.message : "out of memory";
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, &sink, onPngWrite, onPngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = h - 1; y >= 0; --y) {  // the buffer is bottom-up, the file top-down
        for (int x = 1; x <= w; ++x) {
            const uint32_t p = fb.at(y, x);
            png_byte* out = &row[static_cast<size_t>(x - 1) * 3];
            out[0] = static_cast<png_byte>(p >> 16);
            out[1] = static_cast<png_byte>(p >> 8);
            out[2] = static_cast<png_byte>(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writePng(const FrameBuffer& fb, const std::string& path, std::string& error) {
    std::vector<unsigned char> bytes;
    if (!encodePng(fb, bytes, error)) {
        error = "cannot encode " + quoteArgument(path) + ": " + error;
        return false;
    }
    return writeOutput(path, bytes, error);
}

}  // namespace lumo
