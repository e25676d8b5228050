// The desktop program's command line: the options it shares with lumo-render (--scene, --size,
// --threads, --shader, through the one shared definition) and its own --fullscreen, --help, --version.
#pragma once

#include <string>
#include <vector>

#include "options/common_options.h"

namespace lumo {

struct Program;

struct LaunchOptions {
    enum Status { kRun, kHelp, kVersion, kError } status = kRun;
    std::string error;  // kError: the one line to print after "lumo: "
    CommonOptions common;
    // Which of the common options were given: the others keep what the settings file says.
    bool scene = false, size = false, threads = false, shader = false;
    bool fullscreen = false;
};

// Reads the arguments after the program name.
LaunchOptions readLaunchOptions(const std::vector<std::string>& args);

std::string launchHelp();
std::string launchVersion();  // "lumo 0.38"

// Applies the given options to the program's state (its mutex held while frames run): the scene as
// its menu item chooses it, the thread count, the shader. Size and fullscreen are the window's.
void applyLaunchOptions(Program& program, const LaunchOptions& options);

}  // namespace lumo
