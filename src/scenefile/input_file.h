// Input files read whole: only regular files (after following links), and never more than a limit,
// so a device, a FIFO or a growing file can neither hang a load nor fill the memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumo {

inline constexpr uint64_t kMaxSceneFileBytes = 256ull << 20;  // scene files and MTL files
inline constexpr uint64_t kMaxDataFileBytes = 2ull << 30;     // meshes, glTF buffers, images

// Reads the file at path into bytes. False with `reason` set to what is wrong, to follow "path: "
// ("is a FIFO, not a regular file", "is larger than 256 MiB", "cannot be read: <system reason>").
// A FIFO is never opened, and the opened file is checked again, so one swapped in meanwhile cannot
// block the read either.
bool readInputFile(const std::string& path, uint64_t limit, std::string& bytes, std::string& reason);
bool readInputFile(const std::string& path, uint64_t limit, std::vector<unsigned char>& bytes, std::string& reason);

// Why bytes read as text are not text, to follow "path: " ("not a text file (UTF-16)", "not a text
// file: line 3 holds the byte 0x00"); empty when they are. Tabs, line and page breaks pass, as do
// bytes from 0x80 (UTF-8 and other 8-bit encodings).
std::string notTextProblem(const std::string& bytes);

// "256 MiB", "2 GiB": a limit as the messages name it.
std::string byteLimitText(uint64_t limit);

// The last part of a path: "a/b/knot.obj" gives "knot.obj".
std::string fileNameOf(const std::string& path);
// The file name's extension in lower case, without the dot; empty when it has none.
std::string lowerExtension(const std::string& path);

}  // namespace lumo
