// OBJ text read into a mesh on several threads, every line checked as it is read.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "scenefile/load_progress.h"
#include "scenefile/mesh_files.h"

namespace lumo {

// Reads the MTL file an `mtllib` line names, adding its materials to `materials` and their indices
// to `byName`; false when there is no such file (the line's next name is tried then).
using ObjLibraryReader = std::function<bool(const std::string& file, std::map<std::string, int>& byName,
                                            std::vector<MeshData::MeshMaterial>& materials)>;

struct ObjReadOptions {
    int threads = 1;
    size_t rangeBytes = size_t(1) << 20;  // the text is cut into line ranges of about this size
    ObjLibraryReader libraries;  // null: `mtllib` lines are skipped
    ProgressPart progress;
};

// Reads the `v`, `vt`, `vn`, `f`, `mtllib` and `usemtl` lines of an OBJ text into a mesh (polygons cut
// by triangulatePolygon, faces taking the material of the last `usemtl`); other lines are skipped.
// Every coordinate must be a finite float with nothing after it, every face corner `i`, `i/t`, `i//n`
// or `i/t/n` with indices (negative ones counting back) naming an element the file has, and a face
// 3 to kMaxObjFaceCorners corners. The first fault in the file throws FileFault under `keyPath` with
// "name:line: what is wrong". The text is cut into line ranges read in parallel; the mesh is the same
// on any thread count.
MeshData readObjText(std::string_view text, const std::string& name, const std::string& keyPath,
                     const ObjReadOptions& options);

}  // namespace lumo
