#include "app/menu_bar.h"

#include "app/commands.h"

namespace lumo {

namespace {

MenuItem item(int id) { return {MenuItem::kCommand, id, 0, nullptr, {}}; }
// An exclusive choice: the radio items of one menu form its one group.
MenuItem radio(int id) { return {MenuItem::kCommand, id, 1, nullptr, {}}; }
MenuItem separator() { return {MenuItem::kSeparator, 0, 0, nullptr, {}}; }
MenuItem submenu(const char* text, std::vector<MenuItem> items) {
    return {MenuItem::kSubmenu, 0, 0, text, std::move(items)};
}
MenuItem recentFiles() { return {MenuItem::kRecentFiles, 0, 0, "Recent S&cenes", {}}; }

// One item per shader, in the order of kShaderNames.
std::vector<MenuItem> shaderItems() {
    std::vector<MenuItem> items;
    for (const ShaderName& s : kShaderNames) items.push_back(radio(shaderCommand(s.mode)));
    return items;
}

std::vector<MenuItem> buildMenuBar() {
    return {
        submenu("&Demo", {radio(kCmdMirrorsphere), radio(kCmdSpheres), radio(kCmdBalls), radio(kCmdTorus),
                          radio(kCmdCube), radio(kCmdEgg), radio(kCmdShadows1), radio(kCmdAreaLight),
                          radio(kCmdCornellBox), separator(), item(kCmdOpenScene), recentFiles(), separator(),
                          item(kCmdAnimation), separator(), item(kCmdZoomIn), item(kCmdZoomOut), item(kCmdResetCamera), item(kCmdFly), item(kCmdFullscreen), separator(),
                          item(kCmdSavePicture), separator(), item(kCmdExit)}),
        submenu("&Quality",
                {radio(kCmdOneToOne), radio(kCmdSubsampling), separator(),
                 submenu("Anti-Aliasing", {radio(kCmdAntiAliasNone), radio(kCmdAntiAliasGood), radio(kCmdAntiAliasBest)}),
                 submenu("Refine", {radio(kCmdRefineOff), separator(), radio(kCmdRefine16), radio(kCmdRefine64),
                                    radio(kCmdRefine256)}),
                 submenu("Interpolation", {radio(kCmdInterpNone), radio(kCmdInterpCenter), radio(kCmdInterpCenterLarge),
                                           radio(kCmdInterpBilinear), radio(kCmdInterpDifferential),
                                           radio(kCmdInterpStacked), radio(kCmdInterpPatches)}),
                 submenu("Caustics",
                         {submenu("Samples", {radio(kCmdCausticSamples2500), radio(kCmdCausticSamples10000),
                                              radio(kCmdCausticSamples40000)}),
                          submenu("Quality", {radio(kCmdCausticQuality20), radio(kCmdCausticQuality30),
                                              radio(kCmdCausticQuality40)}),
                          item(kCmdCausticsCalculate), item(kCmdCausticsDisplay)}),
                 submenu("Global Illumination",
                         {submenu("Samples", {radio(kCmdGiSamples125k), radio(kCmdGiSamples500k), radio(kCmdGiSamples2m)}),
                          submenu("Quality",
                                  {radio(kCmdGiQuality1000), radio(kCmdGiQuality2500), radio(kCmdGiQuality5000)}),
                          item(kCmdGiOnlyIndirect), item(kCmdGiCalculate), item(kCmdGiDisplay)}),
                 item(kCmdFilter), separator(),
                 submenu("Resolution", {radio(kCmdResolution320), radio(kCmdResolution480), radio(kCmdResolution512),
                                        radio(kCmdResolution640), radio(kCmdResolution800), separator(),
                                        item(kCmdTraceLogicalSize)}),
                 submenu("Threads", {radio(kCmdThreads1), radio(kCmdThreads2), radio(kCmdThreads4), radio(kCmdThreadsAll)}),
                 separator(),
                 submenu("Sampling", {radio(kCmdSamplingRaw), radio(kCmdSampling16), radio(kCmdSampling4),
                                      radio(kCmdSampling1), separator(), radio(kCmdSamplingStandard)}),
                 submenu("Adaptive", {radio(kCmdAdaptiveOff), separator(), radio(kCmdAdaptive5), radio(kCmdAdaptive10),
                                      radio(kCmdAdaptive15), radio(kCmdAdaptive20), radio(kCmdAdaptive25),
                                      radio(kCmdAdaptive30)})}),
        submenu("&Shader", shaderItems()),
        submenu("&Test", {item(kCmdAsm)}),
        submenu("&Info", {item(kCmdAbout)}),
    };
}

}  // namespace

const std::vector<MenuItem>& menuBar() {
    static const std::vector<MenuItem> bar = buildMenuBar();
    return bar;
}

}  // namespace lumo
