// The choices a restart keeps: scene, every Quality, Shader and Test choice, Animation and the thread
// count, as named whole numbers for the window's settings file. Reading them back checks each value
// against what the menus can set, so a damaged or foreign file cannot put the program in a state the
// menus could not.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/settings.h"

namespace lumo {

struct Program;

// Every stored key with its current value, the scene first (choosing a scene sets some of the others).
std::vector<std::pair<std::string, int>> storedSettings(const RenderSettings& s);

// Takes one stored value over into the program; false, with nothing changed, for an unknown key or a
// value the menus cannot set. "scene" selects the scene as its menu item does.
bool applyStoredSetting(Program& program, const std::string& key, int value);

}  // namespace lumo
