#include "app/stored_settings.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "app/commands.h"
#include "app/program.h"
#include "core/workers.h"
#include "scene/demo_scenes.h"

namespace lumo {

namespace {

using S = RenderSettings;

bool oneOf(int v, std::initializer_list<int> allowed) {
    return std::find(allowed.begin(), allowed.end(), v) != allowed.end();
}

// A stored value: how to read it from the settings and how to take it back into the program, checked.
struct Entry {
    const char* key;
    int (*get)(const S&);
    bool (*set)(Program&, int);
};

template <auto Member, int... Allowed>
Entry choice(const char* key) {
    return {key, [](const S& s) { return static_cast<int>(s.*Member); },
            [](Program& p, int v) {
                S& s = p.shared.settings;
                if (!oneOf(v, {Allowed...})) return false;
                s.*Member = static_cast<std::remove_reference_t<decltype(s.*Member)>>(v);
                return true;
            }};
}

template <int I>
Entry threshold(const char* key) {
    return {key, [](const S& s) { return static_cast<int>(s.refineThresholds[I]); },
            [](Program& p, int v) {
                if (v < -1 || v > 9999) return false;
                S& s = p.shared.settings;
                s.refineThresholds[I] = static_cast<int16_t>(v);
                return true;
            }};
}

// A photon switch can only be on in a scene that offers the map.
template <auto Member, bool SceneDescriptor::*Offers>
Entry photonSwitch(const char* key) {
    return {key, [](const S& s) { return static_cast<int>(s.*Member); },
            [](Program& p, int v) {
                S& s = p.shared.settings;
                const SceneDescriptor* d = findDemoScene(s.sceneId);
                if (!oneOf(v, {0, 1}) || (v == 1 && !(d && d->*Offers))) return false;
                s.*Member = static_cast<int16_t>(v);
                return true;
            }};
}

const std::vector<Entry>& entries() {
    static const std::vector<Entry> table = {
        {"scene", [](const S& s) { return static_cast<int>(s.sceneId); },
         [](Program& p, int v) {
             if (!findDemoScene(v)) return false;
             selectScene(p, v);
             return true;
         }},
        choice<&S::animationOn, 0, 1>("animation"),
        choice<&S::samplingMode, 1, 2>("sampling"),
        choice<&S::antiAliasing, 0, 1, 2>("antiAliasing"),
        choice<&S::interpolationKernel, 0, 1, 2, 3, 4, 5, 6>("interpolation"),
        choice<&S::filterOn, 0, 1>("filter"),
        choice<&S::causticPhotonCount, 2500, 10000, 40000>("causticPhotons"),
        choice<&S::causticSplitCount, 20, 30, 40>("causticSplit"),
        photonSwitch<&S::causticsCalculate, &SceneDescriptor::offersCaustics>("causticsCalculate"),
        photonSwitch<&S::causticsDisplay, &SceneDescriptor::offersCaustics>("causticsDisplay"),
        choice<&S::giPhotonCount, 125000, 500000, 2000000>("giPhotons"),
        choice<&S::giSplitCount, 1000, 2500, 5000>("giSplit"),
        choice<&S::giOnlyIndirect, 0, 1>("giOnlyIndirect"),
        photonSwitch<&S::giCalculate, &SceneDescriptor::offersGi>("giCalculate"),
        photonSwitch<&S::giDisplay, &SceneDescriptor::offersGi>("giDisplay"),
        threshold<0>("threshold0"),
        threshold<1>("threshold1"),
        threshold<2>("threshold2"),
        threshold<3>("threshold3"),
        threshold<4>("threshold4"),
        choice<&S::adaptiveTargetFps, 0, 5, 10, 15, 20, 25, 30>("adaptiveFps"),
        {"shader", [](const S& s) { return static_cast<int>(s.currentShader); },
         [](Program& p, int v) {
             for (const ShaderName& n : kShaderNames)
                 if (n.mode == v) {
                     p.shared.settings.currentShader = n.mode;
                     return true;
                 }
             return false;
         }},
        {"asm", [](const S& s) { return static_cast<int>(s.useAsm); },
         [](Program& p, int v) {
             if (!oneOf(v, {0, 1}) || (v == 1 && !p.processorHasSse)) return false;
             p.shared.settings.useAsm = static_cast<int16_t>(v);
             return true;
         }},
        // 0 stands for "All": every hardware thread of whichever machine runs the program.
        {"threads", [](const S& s) { return s.threadCount == hardwareThreads() ? 0 : static_cast<int>(s.threadCount); },
         [](Program& p, int v) {
             if (v < 0 || v > kMaxWorkerThreads) return false;
             p.shared.settings.threadCount = static_cast<int16_t>(v == 0 ? hardwareThreads() : v);
             return true;
         }},
        choice<&S::refinePasses, 1, 16, 64, 256>("refine"),
        choice<&S::traceLogicalSize, 0, 1>("traceLogicalSize"),
    };
    return table;
}

}  // namespace

std::vector<std::pair<std::string, int>> storedSettings(const RenderSettings& s) {
    std::vector<std::pair<std::string, int>> values;
    for (const Entry& e : entries()) values.emplace_back(e.key, e.get(s));
    return values;
}

bool applyStoredSetting(Program& program, const std::string& key, int value) {
    for (const Entry& e : entries())
        if (key == e.key) return e.set(program, value);
    return false;
}

}  // namespace lumo
