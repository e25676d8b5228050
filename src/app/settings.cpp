#include "app/settings.h"

#include "core/workers.h"

namespace lumo {

void applyStartupSettings(RenderSettings& s) {
    s.threadCount = static_cast<int16_t>(hardwareThreads());
    s.samplingMode = 2;
    s.antiAliasing = 0;
    s.filterOn = 0;
}

RenderParams renderParams(const RenderSettings& s) {
    RenderParams p;
    p.sampling = s.samplingMode == 1 ? kSamplingOneToOne : kSamplingSubsampled;
    for (int i = 0; i < 5; ++i) p.refineThresholds[i] = s.refineThresholds[i];
    p.antiAliasing = s.antiAliasing;
    p.filter = s.filterOn != 0;
    p.shader = s.currentShader;
    PhotonParams& ph = p.photons;
    ph.causticsCalculate = s.causticsCalculate != 0;
    ph.causticsDisplay = s.causticsDisplay != 0;
    ph.causticPhotonCount = s.causticPhotonCount;
    ph.causticSplitCount = s.causticSplitCount;
    ph.giCalculate = s.giCalculate != 0;
    ph.giDisplay = s.giDisplay != 0;
    ph.giPhotonCount = s.giPhotonCount;
    ph.giSplitCount = s.giSplitCount;
    ph.giOnlyIndirect = s.giOnlyIndirect != 0;
    ph.interpolationKernel = s.interpolationKernel;
    p.threadCount = s.threadCount;
    p.isa = s.useAsm != 0 ? kIsaAuto : kIsaScalar;
    return p;
}

}  // namespace lumo
