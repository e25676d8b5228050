// The menu bar's structure in display order: menus, submenus, separators and command items.
#pragma once

#include <vector>

namespace lumo {

struct MenuItem {
    // kRecentFiles: a submenu (titled `text`) the front end fills with the files opened last.
    enum Kind { kCommand, kSeparator, kSubmenu, kRecentFiles };
    Kind kind = kCommand;
    int commandId = 0;            // kCommand: the text and rules come from the command table
    // kCommand: items of one menu with the same non-zero group are exclusive choices (radio items):
    // at most one of them shows its mark.
    int group = 0;
    const char* text = nullptr;   // kSubmenu: its title
    std::vector<MenuItem> items;  // kSubmenu: its items
};

// The five top-level menus, each a kSubmenu.
const std::vector<MenuItem>& menuBar();

}  // namespace lumo
