#include "png/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "options/option_table.h"

namespace lumo {

namespace {

// The temporary file being written, for the signal handler; set and cleared with the signals held.
// Process-wide on purpose: a signal handler receives no context, so this is the one state that cannot
// be passed to it.
char temporaryName[PATH_MAX + 16];
volatile sig_atomic_t temporaryExists = 0;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int sig) {
    if (temporaryExists) unlink(temporaryName);
    signal(sig, SIG_DFL);
    raise(sig);  // delivered once the handler returns: the program ends as the signal says
}

std::string systemError(const std::string& what, const std::string& path, int error) {
    return what + " " + quoteArgument(path) + ": " + std::strerror(error);
}

// What an output name stands for.
struct OutputTarget {
    enum Kind { kNew, kRegular, kStream, kDescriptor } kind = kNew;
    std::string path;   // kNew, kRegular, kStream: the file to write, a symbolic link followed
    int fd = -1;        // kDescriptor: "-", /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N
    struct stat st {};  // kRegular, kStream: the file as it is
};

// Sorts out what path names: a new file, a regular file to replace, a device or FIFO to write into,
// or an open descriptor of this process. False with error set for anything else.
bool examine(const std::string& path, OutputTarget& t, std::string& error) {
    t = {};
    t.fd = standardStreamOf(path);
    if (t.fd >= 0) {
        const int flags = fcntl(t.fd, F_GETFL);
        if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
            error = "cannot write " + quoteArgument(path) + ": " + std::strerror(flags < 0 ? errno : EBADF);
            return false;
        }
        t.kind = OutputTarget::kDescriptor;
        return true;
    }
    t.path = path;
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0) {
        if (errno == ENOENT) return true;
        error = systemError("cannot write", path, errno);
        return false;
    }
    if (S_ISLNK(link.st_mode)) {
        if (stat(path.c_str(), &t.st) != 0) {
            error = errno == ENOENT ? quoteArgument(path) + " is a symbolic link to a file that does not exist"
                    : errno == ELOOP ? quoteArgument(path) + " is a symbolic link that loops"
                                     : systemError("cannot write", path, errno);
            return false;
        }
        // The link stays a link: its target is what is replaced.
        if (char* real = realpath(path.c_str(), nullptr)) {
            t.path = real;
            std::free(real);
        }
    } else {
        t.st = link;
    }
    if (S_ISREG(t.st.st_mode)) {
        t.kind = OutputTarget::kRegular;
        return true;
    }
    if (S_ISCHR(t.st.st_mode) || S_ISFIFO(t.st.st_mode)) {
        t.kind = OutputTarget::kStream;
        return true;
    }
    error = quoteArgument(path) + (S_ISDIR(t.st.st_mode) ? " is a directory" : " is neither a file, a character device nor a FIFO");
    return false;
}

bool writeAll(int fd, const std::vector<unsigned char>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A file written in place, as cp would: a writable file in a folder that takes no new files or whose
// owner cannot be kept (its room reserved first, so a full disk fails before a byte of it changes),
// or a character device or FIFO.
bool writeInPlace(const std::string& path, const std::string& target, const std::vector<unsigned char>& bytes,
                  bool regular, std::string& error) {
    SignalsHeld held;  // a short write that an interruption would leave half done
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = systemError("cannot write", path, errno);
        return false;
    }
    // A file swapped for something else since it was examined is not truncated.
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) == regular;
    if (ok && regular) {
        const int reserved = fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size()));
        ok = reserved == 0 || errno == EOPNOTSUPP;
    }
    ok = ok && writeAll(fd, bytes) && (!regular || ftruncate(fd, static_cast<off_t>(bytes.size())) == 0);
    const int writeError = errno;
    if (close(fd) != 0 && ok) ok = false;
    if (!ok) error = systemError("cannot write", path, writeError ? writeError : errno);
    return ok;
}

}  // namespace

SignalsHeld::SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : kCleanupSignals) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeld::~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

void removeTemporaryOnSignals() {
    for (const int s : kCleanupSignals) {
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        for (const int t : kCleanupSignals) sigaddset(&action.sa_mask, t);
        sigaction(s, &action, nullptr);
    }
    signal(SIGXFSZ, SIG_IGN);
}

int standardStreamOf(const std::string& path) {
    if (path == "-" || path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    for (const char* folder : {"/dev/fd/", "/proc/self/fd/"}) {
        const size_t n = std::strlen(folder);
        if (path.compare(0, n, folder) != 0 || path.size() == n || path.size() > n + 9) continue;
        int fd = 0;
        for (size_t i = n; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9') return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd;
    }
    return -1;
}

bool namesSameFile(const std::string& a, const std::string& b) {
    if (standardStreamOf(a) >= 0 || standardStreamOf(b) >= 0) return false;
    struct stat sa {}, sb {};
    const bool hasA = stat(a.c_str(), &sa) == 0, hasB = stat(b.c_str(), &sb) == 0;
    if (hasA && hasB) return S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (hasA || hasB) return false;
    std::error_code ea, eb;
    const std::filesystem::path pa = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ea), ea);
    const std::filesystem::path pb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, eb), eb);
    return !ea && !eb && pa == pb;
}

bool checkOutput(const std::string& path, std::string& error) {
    OutputTarget t;
    if (!examine(path, t, error)) return false;
    if (t.kind == OutputTarget::kDescriptor) return true;
    if (t.kind != OutputTarget::kNew) {
        if (faccessat(AT_FDCWD, t.path.c_str(), W_OK, AT_EACCESS) != 0) {
            error = systemError("cannot write", path, errno);
            return false;
        }
        return true;
    }
    // A new file: try one in its folder.
    std::string probe = t.path + ".tmp-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) {
        error = systemError("cannot create", path, errno);
        return false;
    }
    close(fd);
    unlink(probe.c_str());
    return true;
}

TemporaryFile::~TemporaryFile() {
    if (!exists_) return;
    if (fd_ >= 0) close(fd_);
    SignalsHeld held;
    unlink(temporaryName);
    temporaryExists = 0;
}

bool TemporaryFile::create(const std::string& target) {
    const std::string name = target + ".tmp-XXXXXX";
    if (temporaryExists || name.size() >= sizeof temporaryName) {
        errno = temporaryExists ? EBUSY : ENAMETOOLONG;
        return false;
    }
    SignalsHeld held;
    std::memcpy(temporaryName, name.c_str(), name.size() + 1);
    fd_ = mkostemp(temporaryName, O_CLOEXEC);
    exists_ = fd_ >= 0;
    temporaryExists = exists_;
    return exists_;
}

bool TemporaryFile::commit(const std::string& target) {
    const int fd = std::exchange(fd_, -1);
    if (close(fd) != 0) return false;
    SignalsHeld held;
    if (rename(temporaryName, target.c_str()) != 0) return false;
    exists_ = false;
    temporaryExists = 0;
    return true;
}

bool writeOutput(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error) {
    OutputTarget t;
    if (!examine(path, t, error)) return false;
    if (t.kind == OutputTarget::kDescriptor) {
        if (!writeAll(t.fd, bytes)) {
            error = systemError("cannot write", path, errno);
            return false;
        }
        return true;
    }
    // A device or FIFO is written into, never replaced.
    if (t.kind == OutputTarget::kStream) return writeInPlace(path, t.path, bytes, false, error);
    const bool exists = t.kind == OutputTarget::kRegular;
    const std::string& target = t.path;
    TemporaryFile file;
    if (!file.create(target)) {
        const int reason = errno;
        if (exists && (reason == EACCES || reason == EPERM) &&
            faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0)
            return writeInPlace(path, target, bytes, true, error);
        error = systemError(exists ? "cannot write" : "cannot create", path, reason);
        return false;
    }
    // The replacement keeps the old file's owner where this process may give it; where it may not
    // (another user's file), the old file is written in place, as cp would.
    struct stat made {};
    if (exists && fstat(file.fd(), &made) == 0 && (made.st_uid != t.st.st_uid || made.st_gid != t.st.st_gid) &&
        fchown(file.fd(), t.st.st_uid, t.st.st_gid) != 0)
        return writeInPlace(path, target, bytes, true, error);
    // mkstemp makes the file private: give it the old file's mode, or the usual one for a new file.
    mode_t mode = t.st.st_mode & 07777;
    if (!exists) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (!writeAll(file.fd(), bytes) || fchmod(file.fd(), mode) != 0 || !file.commit(target)) {
        error = systemError("cannot write", path, errno);
        return false;
    }
    return true;
}

}  // namespace lumo
