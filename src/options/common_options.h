// The options every front end shares (--scene, --size, --threads, --shader): one definition of their
// names, values, limits, help and error texts.
#pragma once

#include <string>

#include "core/render_params.h"
#include "core/workers.h"
#include "options/option_table.h"

namespace lumo {

inline constexpr int kMaxPictureSide = 8192;

struct CommonOptions {
    int sceneId = 1;
    int width = 320;
    int height = 240;
    int threadCount = hardwareThreads();
    ShaderMode shader = kShaderPhong;
    std::string sceneFile;  // --scene-file: a scene from a file instead of a demo scene
    bool sceneGiven = false;  // --scene was given
};

// Appends --scene, --scene-file, --size, --threads and --shader, storing into o; the help names o's values as defaults.
void addCommonOptions(OptionTable& table, CommonOptions& o);

// After reading: the line refusing options that contradict each other (--scene with --scene-file),
// or empty.
std::string commonOptionsClash(const CommonOptions& o);

// 1..9 from a number or a Demo menu name (case-insensitive, blanks or hyphens); 0 if neither.
int sceneIdFromName(const std::string& text);

// The --shader name of a shader mode (see kShaderNames).
const char* shaderName(ShaderMode shader);

}  // namespace lumo
