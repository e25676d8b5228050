#include "scenefile/image_file.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lumo {

namespace {

bool sideProblem(int width, int height, std::string& reason) {
    if (width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide) return false;
    reason = "is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than " +
             std::to_string(kMaxImageSide) + " on a side";
    return true;
}

// Tight top-down RGB rows into the bitmap layout.
void store(const std::vector<uint8_t>& rgb, int width, int height, bool topRowFirst, DecodedImage& out) {
    const size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    out.width = width;
    out.height = height;
    out.pixels.assign(rowBytes * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = rgb.data() + static_cast<size_t>(y) * width * 3;
        uint8_t* to = out.pixels.data() + static_cast<size_t>(topRowFirst ? y : height - 1 - y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            to[x * 3] = from[x * 3 + 2];
            to[x * 3 + 1] = from[x * 3 + 1];
            to[x * 3 + 2] = from[x * 3];
        }
    }
}

bool decodePng(const unsigned char* bytes, size_t size, bool topRowFirst, DecodedImage& out, std::string& reason) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes, size)) {
        reason = std::string("not a readable PNG image: ") + image.message;
        return false;
    }
    if (sideProblem(static_cast<int>(image.width), static_cast<int>(image.height), reason)) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        reason = std::string("not a readable PNG image: ") + image.message;
        return false;
    }
    store(rgb, static_cast<int>(image.width), static_cast<int>(image.height), topRowFirst, out);
    return true;
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void jpegFail(j_common_ptr info) {
    JpegError* e = reinterpret_cast<JpegError*>(info->err);
    info->err->format_message(info, e->message);
    std::longjmp(e->back, 1);
}

void jpegQuiet(j_common_ptr, int) {}

struct Jpeg {
    jpeg_decompress_struct info;
    JpegError error;
};

// The two steps that may fail jump back into these small functions, which hold nothing with a
// destructor and change no local after their setjmp. On failure the decompressor is destroyed.
bool jpegHeader(Jpeg& j, const unsigned char* bytes, size_t size) {
    if (setjmp(j.error.back)) {
        jpeg_destroy_decompress(&j.info);
        return false;
    }
    jpeg_create_decompress(&j.info);
    jpeg_mem_src(&j.info, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&j.info, TRUE);
    j.info.out_color_space = JCS_RGB;
    return true;
}

bool jpegPixels(Jpeg& j, uint8_t* rgb, size_t rowBytes) {
    if (setjmp(j.error.back)) {
        jpeg_destroy_decompress(&j.info);
        return false;
    }
    jpeg_start_decompress(&j.info);
    while (j.info.output_scanline < j.info.output_height) {
        JSAMPROW row = rgb + j.info.output_scanline * rowBytes;
        jpeg_read_scanlines(&j.info, &row, 1);
    }
    jpeg_finish_decompress(&j.info);
    jpeg_destroy_decompress(&j.info);
    return true;
}

bool decodeJpeg(const unsigned char* bytes, size_t size, bool topRowFirst, DecodedImage& out, std::string& reason) {
    auto j = std::make_unique<Jpeg>();
    j->info.err = jpeg_std_error(&j->error.manager);
    j->error.manager.error_exit = jpegFail;
    j->error.manager.emit_message = jpegQuiet;
    j->error.message[0] = '\0';
    if (!jpegHeader(*j, bytes, size)) {
        reason = std::string("not a readable JPEG image: ") + j->error.message;
        return false;
    }
    const int width = static_cast<int>(j->info.image_width), height = static_cast<int>(j->info.image_height);
    if (sideProblem(width, height, reason)) {
        jpeg_destroy_decompress(&j->info);
        return false;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    if (!jpegPixels(*j, rgb.data(), static_cast<size_t>(width) * 3)) {
        reason = std::string("not a readable JPEG image: ") + j->error.message;
        return false;
    }
    store(rgb, width, height, topRowFirst, out);
    return true;
}

}  // namespace

bool decodeImage(const unsigned char* bytes, size_t size, bool topRowFirst, DecodedImage& out, std::string& reason) {
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size >= 8 && std::memcmp(bytes, kPng, 8) == 0) return decodePng(bytes, size, topRowFirst, out, reason);
    if (size >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff)
        return decodeJpeg(bytes, size, topRowFirst, out, reason);
    reason = "not a PNG or JPEG image";
    return false;
}

}  // namespace lumo
