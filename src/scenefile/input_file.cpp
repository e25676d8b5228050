#include "scenefile/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lumo {

namespace {

// Why a file of this type is no input; empty for a regular file.
std::string kindProblem(mode_t mode) {
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "is a directory, not a file";
    const char* kind = S_ISFIFO(mode) ? "a FIFO" : S_ISCHR(mode) ? "a character device"
                     : S_ISBLK(mode)  ? "a block device" : S_ISSOCK(mode) ? "a socket" : "a special file";
    return std::string("is ") + kind + ", not a regular file";
}

template <class Bytes>
bool readBounded(const std::string& path, uint64_t limit, Bytes& bytes, std::string& reason) {
    bytes.clear();
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        reason = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (!(reason = kindProblem(st.st_mode)).empty()) return false;
    // Non-blocking, so a FIFO put in its place after the check does not hold the open.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        reason = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    bool ok = fstat(fd, &st) == 0;
    if (!ok) reason = std::string("cannot be read: ") + std::strerror(errno);
    else if (!(reason = kindProblem(st.st_mode)).empty()) ok = false;
    else if (static_cast<uint64_t>(st.st_size) > limit) {
        reason = "is larger than " + byteLimitText(limit);
        ok = false;
    }
    // Read to the end, but never past the limit: the file may grow while it is read, and a file of
    // /proc says 0 whatever it holds. One byte past the limit is room enough to see it is too large.
    size_t done = 0;
    if (ok) bytes.resize(static_cast<size_t>(st.st_size) + 1);
    while (ok) {
        if (done == bytes.size()) {
            if (done > limit) {
                reason = "is larger than " + byteLimitText(limit);
                ok = false;
                break;
            }
            bytes.resize(static_cast<size_t>(std::min<uint64_t>(limit + 1, 2 * static_cast<uint64_t>(done) + 4096)));
        }
        const ssize_t n = read(fd, &bytes[done], bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            reason = std::string("cannot be read: ") + std::strerror(errno);
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    close(fd);
    bytes.resize(ok ? done : 0);
    return ok;
}

}  // namespace

std::string notTextProblem(const std::string& bytes) {
    if (bytes.size() >= 2 && ((bytes[0] == '\xff' && bytes[1] == '\xfe') || (bytes[0] == '\xfe' && bytes[1] == '\xff')))
        return "not a text file (UTF-16)";
    size_t line = 1;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\n') ++line;
        if (b >= 0x20 || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r') continue;
        char code[8];
        std::snprintf(code, sizeof code, "0x%02x", b);
        return "not a text file: line " + std::to_string(line) + " holds the byte " + code +
               (b == 0 ? " (binary or UTF-16)" : "");
    }
    return "";
}

std::string byteLimitText(uint64_t limit) {
    if (limit >= (1ull << 30) && limit % (1ull << 30) == 0) return std::to_string(limit >> 30) + " GiB";
    if (limit >= (1ull << 20) && limit % (1ull << 20) == 0) return std::to_string(limit >> 20) + " MiB";
    return std::to_string(limit) + " bytes";
}

bool readInputFile(const std::string& path, uint64_t limit, std::string& bytes, std::string& reason) {
    return readBounded(path, limit, bytes, reason);
}

bool readInputFile(const std::string& path, uint64_t limit, std::vector<unsigned char>& bytes, std::string& reason) {
    return readBounded(path, limit, bytes, reason);
}

std::string fileNameOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string lowerExtension(const std::string& path) {
    const std::string name = fileNameOf(path);
    const size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace lumo
