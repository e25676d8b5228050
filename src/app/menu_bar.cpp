#include "app/menu_bar.h"

#include "app/commands.h"

namespace lumo {

namespace {

MenuItem item(int id) { return {MenuItem::kCommand, id, nullptr, {}}; }
MenuItem separator() { return {MenuItem::kSeparator, 0, nullptr, {}}; }
MenuItem submenu(const char* text, std::vector<MenuItem> items) {
    return {MenuItem::kSubmenu, 0, text, std::move(items)};
}

// One item per shader, in the order of kShaderNames.
std::vector<MenuItem> shaderItems() {
    std::vector<MenuItem> items;
    for (const ShaderName& s : kShaderNames) items.push_back(item(shaderCommand(s.mode)));
    return items;
}

std::vector<MenuItem> buildMenuBar() {
    return {
        submenu("&Demo", {item(kCmdMirrorsphere), item(kCmdSpheres), item(kCmdBalls), item(kCmdTorus),
                          item(kCmdCube), item(kCmdEgg), item(kCmdShadows1), item(kCmdAreaLight),
                          item(kCmdCornellBox), separator(), item(kCmdOpenScene), separator(), item(kCmdAnimation), separator(), item(kCmdZoomIn),
                          item(kCmdZoomOut), item(kCmdResetCamera), item(kCmdFullscreen), separator(),
                          item(kCmdSavePicture), separator(), item(kCmdExit)}),
        submenu("&Quality",
                {item(kCmdOneToOne), item(kCmdSubsampling), separator(),
                 submenu("Anti-Aliasing", {item(kCmdAntiAliasNone), item(kCmdAntiAliasGood), item(kCmdAntiAliasBest)}),
                 submenu("Refine", {item(kCmdRefineOff), separator(), item(kCmdRefine16), item(kCmdRefine64),
                                    item(kCmdRefine256)}),
                 submenu("Interpolation", {item(kCmdInterpNone), item(kCmdInterpCenter), item(kCmdInterpCenterLarge),
                                           item(kCmdInterpBilinear), item(kCmdInterpDifferential),
                                           item(kCmdInterpStacked), item(kCmdInterpPatches)}),
                 submenu("Caustics",
                         {submenu("Samples", {item(kCmdCausticSamples2500), item(kCmdCausticSamples10000),
                                              item(kCmdCausticSamples40000)}),
                          submenu("Quality", {item(kCmdCausticQuality20), item(kCmdCausticQuality30),
                                              item(kCmdCausticQuality40)}),
                          item(kCmdCausticsCalculate), item(kCmdCausticsDisplay)}),
                 submenu("Global Illumination",
                         {submenu("Samples", {item(kCmdGiSamples125k), item(kCmdGiSamples500k), item(kCmdGiSamples2m)}),
                          submenu("Quality",
                                  {item(kCmdGiQuality1000), item(kCmdGiQuality2500), item(kCmdGiQuality5000)}),
                          item(kCmdGiOnlyIndirect), item(kCmdGiCalculate), item(kCmdGiDisplay)}),
                 item(kCmdFilter), separator(),
                 submenu("Resolution", {item(kCmdResolution320), item(kCmdResolution480), item(kCmdResolution512),
                                        item(kCmdResolution640), item(kCmdResolution800), separator(),
                                        item(kCmdTraceLogicalSize)}),
                 submenu("Threads", {item(kCmdThreads1), item(kCmdThreads2), item(kCmdThreads4), item(kCmdThreadsAll)}),
                 separator(),
                 submenu("Sampling", {item(kCmdSamplingRaw), item(kCmdSampling16), item(kCmdSampling4),
                                      item(kCmdSampling1), separator(), item(kCmdSamplingStandard)}),
                 submenu("Adaptive", {item(kCmdAdaptiveOff), separator(), item(kCmdAdaptive5), item(kCmdAdaptive10),
                                      item(kCmdAdaptive15), item(kCmdAdaptive20), item(kCmdAdaptive25),
                                      item(kCmdAdaptive30)})}),
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
