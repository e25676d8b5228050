// The settings file of the desktop program: the stored choices and the window geometry.
#pragma once

#include <QString>

namespace lumo {

class MainFrame;

// The file used when none is named: lumo/lumo.ini in the user's configuration folder.
QString defaultSettingsPath();

// Takes the stored choices and the window geometry over. A missing, unreadable or foreign file, and
// every value in it the menus cannot set, leaves the start values. True when a geometry was restored.
bool loadSettings(const QString& path, MainFrame& window);
// Writes the current choices and the window's normal geometry.
void saveSettings(const QString& path, MainFrame& window);

}  // namespace lumo
