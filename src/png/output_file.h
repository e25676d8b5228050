// Writing output files so that nothing is lost: a file is replaced whole or not at all, keeps its
// mode, and a temporary file does not outlive an interrupted run.
#pragma once

#include <signal.h>

#include <string>
#include <vector>

namespace lumo {

// Before rendering: whether path can be written as cp would. An existing file must be writable by
// the user (a read-only one is refused); a new one needs a folder that takes files. Directories,
// symbolic links to nothing or in a loop, block devices and sockets are refused. Leaves nothing
// behind. Sets error to one line naming path, "cannot write 'path': <system reason>" or similar.
bool checkOutput(const std::string& path, std::string& error);

// Writes bytes to path: into a temporary file beside it, renamed over it once complete, so a failure
// leaves an old file as it was. A replaced file keeps its mode and owner (and a symbolic link its
// target); a writable file in a folder that takes no new files, or whose owner this process cannot
// give a new file, is written in place after its room is reserved. A character device or FIFO is
// written into, never replaced; "-" and the names of this process's open descriptors (/dev/stdout,
// /dev/fd/N) write to that descriptor.
bool writeOutput(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);

// The descriptor an output name writes to: 1 for "-" and /dev/stdout, 2 for /dev/stderr, N for
// /dev/fd/N and /proc/self/fd/N; -1 for any other name.
int standardStreamOf(const std::string& path);

// Whether two names reach the same regular file: the same device and inode where both exist, the
// same absolute path with links resolved where neither does.
bool namesSameFile(const std::string& a, const std::string& b);

// For the program's main: SIGINT, SIGTERM and SIGHUP remove the temporary file being written, then
// end the program as the signal would; SIGXFSZ is ignored, so an over-size write fails with an error.
void removeTemporaryOnSignals();

// A new file beside a target, named target.tmp-XXXXXX and private to the user, that the cleanup
// signals remove while it exists. One at a time.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();  // removes the file unless it was committed
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // False with errno set when it cannot be made.
    bool create(const std::string& target);
    int fd() const { return fd_; }
    // Closes it and renames it over target; false with errno set.
    bool commit(const std::string& target);

private:
    int fd_ = -1;
    bool exists_ = false;
};

// Holds those signals on the calling thread while it lives. Threads started meanwhile keep them held
// for good, so the handler always runs on the thread that writes the files.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

}  // namespace lumo
