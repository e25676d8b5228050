#include "png/png_writer.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace lumo {

namespace {

// A fresh temporary file beside path, opened for writing; its name goes to tempPath.
FILE* openTemporary(const std::string& path, std::string& tempPath, std::string& error) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "'" + path + "' is a directory";
        return nullptr;
    }
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".tmp-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the terminating zero
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    tempPath = name.data();
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        close(fd);
        std::remove(tempPath.c_str());
    }
    return file;
}

struct PngError {
    std::jmp_buf jump;
    char message[200] = "";
};

void onPngError(png_structp png, png_const_charp message) {
    auto* e = static_cast<PngError*>(png_get_error_ptr(png));
    std::snprintf(e->message, sizeof e->message, "%s", message);
    std::longjmp(e->jump, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Encodes the picture into an open file; false on any libpng or write error.
bool encode(const FrameBuffer& fb, FILE* file, std::string& error) {
    const int w = fb.width, h = fb.height;
    std::vector<png_byte> row(static_cast<size_t>(w) * 3);
    PngError pngError;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngError, onPngError, onPngWarning);
    if (!png) {
        error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(pngError.jump)) {
        error = pngError.message[0] ? pngError.message : "PNG encoder failed";
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, file);
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

}  // namespace

bool checkWritable(const std::string& path, std::string& error) {
    std::string tempPath;
    FILE* file = openTemporary(path, tempPath, error);
    if (!file) return false;
    std::fclose(file);
    std::remove(tempPath.c_str());
    return true;
}

bool writePng(const FrameBuffer& fb, const std::string& path, std::string& error) {
    if (fb.width <= 0 || fb.height <= 0) {
        error = "the picture is empty";
        return false;
    }
    std::string tempPath;
    FILE* file = openTemporary(path, tempPath, error);
    if (!file) return false;
    bool ok = encode(fb, file, error);
    if (std::fflush(file) != 0 && ok) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        ok = false;
    }
    if (ok) {
        // mkstemp creates the file private to its owner; give it the usual permissions.
        const mode_t mask = umask(0);
        umask(mask);
        chmod(tempPath.c_str(), 0666 & ~mask);
        if (std::rename(tempPath.c_str(), path.c_str()) != 0) {
            error = "cannot write '" + path + "': " + std::strerror(errno);
            ok = false;
        }
    }
    if (!ok) std::remove(tempPath.c_str());
    return ok;
}

}  // namespace lumo
