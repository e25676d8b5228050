// glTF 2.0 meshes (.gltf with embedded or external buffers, .glb) read into a MeshData.
#pragma once

#include <string>
#include <vector>

#include "scenefile/mesh_files.h"

namespace lumo {

// Reads the default scene's node tree of a glTF file; throws FileFault naming `keyPath` and the file.
// Every file read (the file itself, external buffers) is added to `files`.
MeshData readGltf(const std::string& path, const std::string& keyPath, bool binary, std::vector<std::string>& files);

}  // namespace lumo
