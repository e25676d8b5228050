// The names the scene format gives shape kinds and object flags.
#pragma once

#include <cstdint>
#include <string>

#include "scene/scene_object.h"

namespace lumo {

// The texture a file names instead of giving pixels: a bitmap without pixels, which shows the
// texture coordinates as colours (red s, green t).
inline constexpr const char* kUvTextureName = "uv";

struct ShapeName {
    ShapeType type;
    const char* name;
};
inline constexpr ShapeName kShapeNames[] = {
    {kTriangle, "triangle"},      {kParallelogram, "parallelogram"}, {kSphere, "sphere"},
    {kRevolved, "revolved"},      {kDisc, "disc"},                   {kTorus, "torus"},
    {kSphereSection, "sphereSection"}, {kParaboloid, "paraboloid"},  {kEllipsoidSection, "ellipsoidSection"},
    {kDiscSector, "discSector"},
};

struct FlagName {
    uint16_t bit;
    const char* name;
};
inline constexpr FlagName kFlagNames[] = {
    {kOneSided, "oneSided"},       {kHiddenFromCamera, "hiddenFromCamera"}, {kFlipNormal, "flipNormal"},
    {kSqrtEmitter, "sqrtEmitter"}, {kNoShadowCast, "noShadowCast"},         {kNoShadowTest, "noShadowTest"},
    {kCheckered, "checkered"},
};

// -1 for a name that is no shape.
inline int shapeFromName(const std::string& name) {
    for (const ShapeName& s : kShapeNames)
        if (name == s.name) return s.type;
    return -1;
}
inline const char* shapeName(uint16_t type) {
    for (const ShapeName& s : kShapeNames)
        if (type == s.type) return s.name;
    return "";
}
// 0 for a name that is no flag.
inline uint16_t flagFromName(const std::string& name) {
    for (const FlagName& f : kFlagNames)
        if (name == f.name) return f.bit;
    return 0;
}

}  // namespace lumo
