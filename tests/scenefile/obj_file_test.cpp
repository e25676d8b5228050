// OBJ files: the line check in front of the loader, and polygons cut into triangles that cover them.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "scenefile/json_fields.h"
#include "scenefile/mesh_files.h"
#include "scenefile/obj_faces.h"

namespace lumo {
namespace {

// The message checkObjText gives, or "" when it accepts the text.
std::string checkMessage(const std::string& text) {
    try {
        checkObjText(text, "t.obj", "");
    } catch (const FileFault& e) {
        return e.what();
    }
    return "";
}

TEST(ObjFile, LinesAreRefusedWithFileAndLineOrAccepted) {
    const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    const struct {
        std::string text, message;
    } cases[] = {
        {tri + "f 1 2 4294967299\n", "t.obj:4: face corner '4294967299' has an index past 2^31"},
        {tri + "f 1 2 99999999999999999999\n", "t.obj:4: face corner '99999999999999999999' has an index past 2^31"},
        {tri + "f 1 2 -2147483648\n", "t.obj:4: face corner '-2147483648' has an index past 2^31"},
        {tri + "f 1 2 3abc\n", "t.obj:4: face corner '3abc' has characters that are not an index"},
        {tri + "f 1 2 3.7\n", "t.obj:4: face corner '3.7' has characters that are not an index"},
        {tri + "f 1 2 4\n", "t.obj:4: face corner '4' names vertex 4 of 3"},
        {tri + "f 1 2 -4\n", "t.obj:4: face corner '-4' names vertex -4, back past the first; 3 so far"},
        {"f -1 -1 -1\n" + tri, "t.obj:1: face corner '-1' names vertex -1, back past the first; 0 so far"},
        {tri + "f 0 1 2\n", "t.obj:4: face corner '0' has index 0; indices count from 1"},
        {tri + "vt 0 0\nf 1/1 2/2 3/1\n", "t.obj:5: face corner '2/2' names texture coordinate 2 of 1"},
        {tri + "vn 0 0 1\nf 1//1 2//1 3//2\n", "t.obj:5: face corner '3//2' names normal 2 of 1"},
        {tri + "f 1/1/1/1 2 3\n", "t.obj:4: face corner '1/1/1/1' is not i, i/t, i//n or i/t/n"},
        {tri + "f 1/ 2 3\n", "t.obj:4: face corner '1/' is not i, i/t, i//n or i/t/n"},
        {tri + "f 1 2\n", "t.obj:4: a face needs at least 3 corners, this one has 2"},
        {"v nan 0 0\n", "t.obj:1: 'nan' is not a finite number in single precision"},
        {"v 0 -inf 0\n", "t.obj:1: '-inf' is not a finite number in single precision"},
        {"v 1e999 0 0\n", "t.obj:1: '1e999' is not a finite number in single precision"},
        {"v 0 0 1e39\n", "t.obj:1: '1e39' is not a finite number in single precision"},
        {"v a b c\n", "t.obj:1: 'a' is not a number"},
        {"v 1 2 3x\n", "t.obj:1: '3x' has characters after its number"},
        {"v 1 2\n", "t.obj:1: a vertex needs 3 to 7 numbers, this one has 2"},
        {"vn 0 0\n", "t.obj:1: a normal needs 3 numbers, this one has 2"},
        {"vt 0.5 0.5q\n", "t.obj:1: '0.5q' has characters after its number"},
        // Lines end with \n, \r\n or a lone \r.
        {"v 0 0 0\r\nv 1 0 0\rv 0 1 0\r\nf 1 2 9\r\n", "t.obj:4: face corner '9' names vertex 9 of 3"},
        // Accepted: every corner form, relative indices, a forward reference, signs, exponents,
        // comments, colours after a vertex, and lines and points, which are not read.
        {tri + "vt 0 0\nvn 0 0 1\nf 1/1/1 2//1 3/1 -1\nf -3 -2 -1 4\nv +1 -2e-1 3E2 # x\n", ""},
        {tri + "v 1 1 0 0.5 0.2 0.1\nvt 1e-300\nl 1 99\np 7\n# f 9 9 9\n\nusemtl x\n", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(checkMessage(c.text), c.message) << c.text;
    const std::string long_ = checkMessage("v " + std::string(300, 'a') + " 0 0\n");
    EXPECT_NE(long_.find("t.obj:1: 'aaa"), std::string::npos);
    EXPECT_LE(long_.size(), 200u);
}

double area(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& normal) {
    const Vec3 e{b.x - a.x, b.y - a.y, b.z - a.z}, f{c.x - a.x, c.y - a.y, c.z - a.z};
    const double nx = double(e.y) * f.z - double(e.z) * f.y, ny = double(e.z) * f.x - double(e.x) * f.z,
                 nz = double(e.x) * f.y - double(e.y) * f.x;
    return 0.5 * (nx * normal.x + ny * normal.y + nz * normal.z);  // signed: negative when wound back
}

// Total area of the triangles, each facing `normal` (a fan from a reflex corner has a triangle
// wound back and counts some area twice).
double coveredArea(const std::vector<Vec3>& polygon, const Vec3& normal) {
    const std::vector<std::array<int, 3>> triangles = triangulatePolygon(polygon);
    EXPECT_EQ(triangles.size(), polygon.size() - 2);
    double sum = 0.0;
    for (const auto& t : triangles) {
        const double a = area(polygon[size_t(t[0])], polygon[size_t(t[1])], polygon[size_t(t[2])], normal);
        EXPECT_GE(a, 0.0) << "a triangle wound against the polygon";
        sum += std::fabs(a);
    }
    return sum;
}

TEST(ObjFile, PolygonsAreCutIntoTrianglesCoveringThem) {
    // A dart and an L (in the x-z plane, wound the other way) starting at the corner after the reflex
    // one, where a fan would go outside, and a square ring around a square hole, joined by a seam from (0,0) to (1,1).
    EXPECT_NEAR(coveredArea({{0, 3, 0}, {-1, 0, 0}, {3, -1, 0}, {1, 1, 0}}, {0, 0, 1}), 5.5, 1e-9);
    EXPECT_NEAR(coveredArea({{1, 0, 2}, {0, 0, 2}, {0, 0, 0}, {2, 0, 0}, {2, 0, 1}, {1, 0, 1}}, {0, -1, 0}), 3.0,
                1e-9);
    EXPECT_NEAR(coveredArea({{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}, {0, 0, 0}, {1, 1, 0}, {1, 3, 0},
                             {3, 3, 0}, {3, 1, 0}, {1, 1, 0}},
                            {0, 0, 1}),
                12.0, 1e-9);
    // A convex quad is split along its shorter diagonal, as meshes were split before.
    const auto quad = triangulatePolygon({{0, 0, 0}, {3, 0, 0}, {3, 1.5f, 0}, {0, 1, 0}});
    ASSERT_EQ(quad.size(), 2u);
    EXPECT_EQ(quad[0], (std::array<int, 3>{0, 1, 3}));
    EXPECT_EQ(quad[1], (std::array<int, 3>{1, 2, 3}));
}

// Through the mesh reader: a concave face from a file covers its area; a bad line is refused with
// the file's path and the line.
TEST(ObjFile, MeshReaderChecksAndTriangulates) {
    const std::string path = testing::TempDir() + "l_shape.obj";
    std::ofstream(path) << "v 1 2 0\nv 0 2 0\nv 0 0 0\nv 2 0 0\nv 2 1 0\nv 1 1 0\nf 1 2 3 4 5 6\n";
    const MeshData mesh = readMeshFile(path, "file");
    double sum = 0.0;
    for (const MeshData::Triangle& t : mesh.triangles)
        sum += std::fabs(area(mesh.positions[size_t(t.corner[0].position)], mesh.positions[size_t(t.corner[1].position)],
                    mesh.positions[size_t(t.corner[2].position)], {0, 0, 1}));
    EXPECT_EQ(mesh.triangles.size(), 4u);
    EXPECT_NEAR(sum, 3.0, 1e-6);  // a fan from the first corner covers 4
    std::ofstream(path) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 4294967299\n";
    try {
        readMeshFile(path, "file");
        ADD_FAILURE() << "accepted an index past 2^31";
    } catch (const FileFault& e) {
        EXPECT_EQ(e.what(), "file: " + path + ":5: face corner '4294967299' has an index past 2^31");
    }
}

}  // namespace
}  // namespace lumo
