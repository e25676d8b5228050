// Writing output files so that nothing is lost: a file is replaced whole or not at all, keeps its
// mode, and a temporary file does not outlive an interrupted run.
#pragma once

#include <signal.h>

#include <string>
#include <vector>

namespace lumo {

// Before rendering: whether path can be written as cp would. An existing file must be writable by
// the user (a read-only one is refused); a new one needs a folder that takes files. Leaves nothing
// behind. Sets error to "cannot write 'path': <system reason>" or similar.
bool checkOutput(const std::string& path, std::string& error);

// Writes bytes to path: into a temporary file beside it, renamed over it once complete, so a failure
// leaves an old file as it was. A replaced file keeps its mode (and a symbolic link its target); a
// writable file in a folder that takes no new files is written in place after its room is reserved.
bool writeOutput(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error);

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
