#include "app/command_line.h"

#include <algorithm>

#include "app/commands.h"
#include "app/program.h"
#include "options/version.h"

namespace lumo {

namespace {

// The table of lumo's options over o; each common option notes that it was given.
OptionTable launchTable(LaunchOptions& o) {
    OptionTable table;
    addCommonOptions(table, o.common);
    for (Option& option : table) {
        bool* given = option.name == "--scene"     ? &o.scene
                      : option.name == "--size"    ? &o.size
                      : option.name == "--threads" ? &o.threads
                      : option.name == "--shader"  ? &o.shader
                                                   : nullptr;
        if (!given) continue;
        option.set = [given, set = option.set](const std::string& value) { return set(value) && (*given = true); };
    }
    table.push_back({"--fullscreen", "", "", "start with the picture on the whole screen", [&o](const std::string&) {
                         o.fullscreen = true;
                         return true;
                     }});
    table.push_back({"--version", "", "", "show the version", [&o](const std::string&) {
                         o.status = LaunchOptions::kVersion;
                         return true;
                     }, true});
    table.push_back({"--help", "", "", "show this text", [&o](const std::string&) {
                         o.status = LaunchOptions::kHelp;
                         return true;
                     }, true});
    return table;
}

// The arguments with a bare file name (what a file manager or a desktop entry passes, also after
// "--") spelled as --scene-file FILE; anything else stays for readOptions to judge.
std::vector<std::string> fileAsOption(const std::vector<std::string>& args, const OptionTable& table) {
    std::vector<std::string> out;
    bool fileSeen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool afterDashes = a == "--" && i + 2 == args.size();
        if (afterDashes || (!a.empty() && a[0] != '-' && !fileSeen)) {
            out.insert(out.end(), {"--scene-file", afterDashes ? args[++i] : a});
            fileSeen = true;
            continue;
        }
        out.push_back(a);
        // An option's value in the next argument is no file name.
        const auto option = std::find_if(table.begin(), table.end(), [&](const Option& t) { return t.name == a; });
        if (option != table.end() && !option->value.empty() && i + 1 < args.size()) out.push_back(args[++i]);
    }
    return out;
}

}  // namespace

LaunchOptions readLaunchOptions(const std::vector<std::string>& args) {
    LaunchOptions o;
    const OptionTable table = launchTable(o);
    const OptionsRead read = readOptions(fileAsOption(args, table), table);
    if (!read.ok) {
        o.status = LaunchOptions::kError;
        o.error = read.error;
    } else if (const std::string clash = commonOptionsClash(o.common); o.status == LaunchOptions::kRun && !clash.empty()) {
        o.status = LaunchOptions::kError;
        o.error = clash;
    }
    return o;
}

std::string launchHelp() {
    LaunchOptions defaults;  // the first start's; later starts keep the last run's choices
    defaults.common.width = 640;
    defaults.common.height = 480;
    return "Usage: lumo [options] [FILE]\n"
           "Shows the demo scenes in a window, or FILE: a JSON scene file, or an OBJ, glTF or GLB mesh\n"
           "(the same as --scene-file FILE). Options not given keep the choices of the last run.\n"
           "\n" +
           optionsHelp(launchTable(defaults)) +
           "\n"
           "Bad options print one line to stderr and exit with status 2.\n";
}

std::string launchVersion() { return std::string("lumo ") + programVersion() + "\n"; }

void applyLaunchOptions(Program& program, const LaunchOptions& o) {
    RenderSettings& s = program.shared.settings;
    if (o.scene) selectScene(program, o.common.sceneId);
    if (o.threads) s.threadCount = static_cast<int16_t>(o.common.threadCount);
    if (o.shader) s.currentShader = o.common.shader;
}

}  // namespace lumo
