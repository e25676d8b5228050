#include "png/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
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

// What path names in the end: the target of a symbolic link, so the link stays a link.
std::string resolved(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string target = real;
    std::free(real);
    return target;
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

// A writable file in a folder that takes no new files: written in place, as cp would. Its room is
// reserved first, so a full disk fails before a byte of the old file changes.
bool writeInPlace(const std::string& path, const std::string& target, const std::vector<unsigned char>& bytes,
                  std::string& error) {
    SignalsHeld held;  // a short write that an interruption would leave half done
    const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = systemError("cannot write", path, errno);
        return false;
    }
    const int reserved = fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size()));
    bool ok = reserved == 0 || errno == EOPNOTSUPP;
    ok = ok && writeAll(fd, bytes) && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
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

bool checkOutput(const std::string& path, std::string& error) {
    const std::string target = resolved(path);
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = quoteArgument(path) + " is a directory";
            return false;
        }
        if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            error = systemError("cannot write", path, errno);
            return false;
        }
        return true;
    }
    // A new file: try one in its folder.
    std::string probe = target + ".tmp-XXXXXX";
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
    const std::string target = resolved(path);
    struct stat old;
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error = quoteArgument(path) + " is a directory";
        return false;
    }
    TemporaryFile file;
    if (!file.create(target)) {
        const int reason = errno;
        if (exists && (reason == EACCES || reason == EPERM) &&
            faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0)
            return writeInPlace(path, target, bytes, error);
        error = systemError(exists ? "cannot write" : "cannot create", path, reason);
        return false;
    }
    // mkstemp makes the file private: give it the old file's mode, or the usual one for a new file.
    mode_t mode = old.st_mode & 07777;
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
