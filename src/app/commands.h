// The menu commands: what each one does and the rules for its check mark and enabled state.
#pragma once

#include <span>

#include "core/render_params.h"

namespace lumo {

struct Program;

// The command ids of the menu items.
enum CommandId : int {
    kCmdMirrorsphere = 32771,
    kCmdSpheres = 32798,
    kCmdBalls = 32772,
    kCmdTorus = 32794,
    kCmdCube = 32773,
    kCmdEgg = 32799,
    kCmdShadows1 = 32774,
    kCmdAreaLight = 32800,
    kCmdCornellBox = 32835,
    kCmdAnimation = 32782,
    kCmdZoomIn = 32901,
    kCmdZoomOut = 32902,
    kCmdResetCamera = 32903,
    kCmdFullscreen = 32904,
    kCmdSavePicture = 32905,
    kCmdExit = 57665,
    kCmdOpenScene = 32908,
    kCmdFly = 32909,

    kCmdOneToOne = 32783,
    kCmdSubsampling = 32784,
    kCmdAntiAliasNone = 32819,
    kCmdAntiAliasGood = 32793,
    kCmdAntiAliasBest = 32818,
    kCmdInterpNone = 32828,
    kCmdInterpCenter = 32829,
    kCmdInterpCenterLarge = 32830,
    kCmdInterpBilinear = 32832,
    kCmdInterpDifferential = 32844,
    kCmdInterpStacked = 32845,
    kCmdInterpPatches = 32846,
    kCmdCausticSamples2500 = 32824,
    kCmdCausticSamples10000 = 32822,
    kCmdCausticSamples40000 = 32823,
    kCmdCausticQuality20 = 32825,
    kCmdCausticQuality30 = 32826,
    kCmdCausticQuality40 = 32827,
    kCmdCausticsCalculate = 32831,
    kCmdCausticsDisplay = 32833,
    kCmdGiSamples125k = 32839,
    kCmdGiSamples500k = 32838,
    kCmdGiSamples2m = 32840,
    kCmdGiQuality1000 = 32843,
    kCmdGiQuality2500 = 32841,
    kCmdGiQuality5000 = 32842,
    kCmdGiOnlyIndirect = 32847,
    kCmdGiCalculate = 32836,
    kCmdGiDisplay = 32837,
    kCmdFilter = 32792,
    kCmdResolution320 = 32802,
    kCmdResolution480 = 32803,
    kCmdResolution512 = 32804,
    kCmdResolution640 = 32805,
    kCmdResolution800 = 32806,
    kCmdTraceLogicalSize = 32906,  // one sample per logical pixel on a high-density screen
    kCmdThreads1 = 32808,
    kCmdThreads2 = 2,
    kCmdThreads4 = 32809,
    kCmdThreadsAll = 32900,  // every hardware thread
    kCmdSamplingRaw = 32811,
    kCmdSampling16 = 32812,
    kCmdSampling4 = 32813,
    kCmdSampling1 = 32814,
    kCmdSamplingStandard = 32815,
    kCmdAdaptive5 = 32776,
    kCmdAdaptive10 = 32817,
    kCmdAdaptive15 = 32777,
    kCmdAdaptive20 = 32816,
    kCmdAdaptive25 = 32778,
    kCmdAdaptive30 = 32791,
    kCmdAdaptiveOff = 32907,
    kCmdRefineOff = 32920,
    kCmdRefine16 = 32921,
    kCmdRefine64 = 32922,
    kCmdRefine256 = 32923,

    kCmdShadeDepth = 32789,
    kCmdShadeNormals = 32786,
    kCmdShadeReflection = 32787,
    kCmdShadeUV = 32796,
    kCmdShadeSimple = 32797,
    kCmdShadePhong = 32788,

    kCmdAsm = 32834,
    kCmdAbout = 57664,
};

struct Command {
    int id;
    const char* text;       // menu text, '&' marks the access key
    const char* statusTip;  // status-bar prompt, or null
    void (*execute)(Program&);
    bool (*checked)(const Program&);  // null: the item never shows a check mark
    bool (*enabled)(const Program&);  // null: always enabled
    // Keys in portable text, several separated by "; " (e.g. "R; Home"); null: none.
    const char* shortcut = nullptr;
    // Works on the window (size, dialogs, files, quit) rather than on the program's state: the
    // window runs it without the program's mutex held, since it may open a modal dialog.
    bool window = false;
};

struct CommandState {
    bool checkable = false;
    bool checked = false;
    bool enabled = false;
};

std::span<const Command> commands();
const Command* findCommand(int id);  // null for an unknown id
// The Shader menu's command of a shader mode.
int shaderCommand(ShaderMode mode);

// Runs a command on the program as if chosen from the menu. Unknown and disabled commands do nothing
// (false). While a render thread runs, commands other than window commands need the program's mutex
// held.
bool executeCommand(Program& program, int id);
// Check mark and enabled state as the menu shows them now (the program's mutex held while frames run).
CommandState commandState(const Program& program, int id);

// The scene command: makes scene n (1..9) the program's scene (the next frame builds it), with its
// start orbit, title, kernel and photon switches.
void selectScene(Program& program, int sceneId);

}  // namespace lumo
