#include <gtest/gtest.h>

#include "core/random.h"
#include "core/render_params.h"
#include "photon/photon_hits.h"
#include "photon/photon_store.h"
#include "shade/optics.h"
#include "trace/trace.h"

namespace lumo {
namespace {

// A hand-made scene of parallelograms in one leaf, traced with a context that stores into buffer_.
class PhotonScene : public testing::Test {
protected:
    void SetUp() override {
        scene_.bounds = {{-60.0f, -60.0f, -1.0f}, {60.0f, 60.0f, 60.0f}};
        leaf_ = &scene_.newLeaf();
        scene_.setTree(*leaf_);
        rng_.seed(12345);
        buffer_.rng = &rng_;
        startPhotonBlock(buffer_, block_, kPhotonsPerChunk);
        ctx_.scene = &scene_;
        ctx_.params = &params_;
        ctx_.stats = &stats_;
        ctx_.photons = &buffer_;
    }

    Material& material(Vec3 diffuse, float reflectivity, int kind = 0) {
        Material& m = scene_.newMaterial("test");
        m.diffuse = diffuse;
        m.reflectivity = reflectivity;
        m.kind = kind;
        return m;
    }
    SceneObject& patch(Vec3 origin, Vec3 a, Vec3 b, const Material& m, uint16_t flags) {
        SceneObject& o = scene_.newObject();
        initPlanarPatch(o);
        o.type = kParallelogram;
        o.flags = flags;
        o.material = &m;
        o.patch.origin = origin;
        o.patch.edgeA = a;
        o.patch.edgeB = b;
        prepareParallelogram(o);
        scene_.append(*leaf_, o);
        scene_.setTree(*leaf_);
        return o;
    }
    // One photon from origin along direction, handed to the hit callback.
    void emit(const Vec3& origin, const Vec3& direction, float power, HitCallback hit) {
        traceRay(ctx_, nullptr, &airMedium, origin, direction, power, hit, 0);
    }
    void restartStore() { startPhotonBlock(buffer_, block_, kPhotonsPerChunk); }
    // The photons stored in this test's block.
    int stored() const { return static_cast<int>(block_.count); }

    Scene scene_;
    KdNode* leaf_ = nullptr;
    RenderParams params_;
    RayStats stats_;
    Random rng_;
    PhotonBlock block_;
    PhotonBuffer buffer_;
    TraceContext ctx_;
};

// Floor (caustic receiver) at z = 0 and a sheet of glass at z = 1 over half of it.
class CausticScene : public PhotonScene {
protected:
    void SetUp() override {
        PhotonScene::SetUp();
        Material& ground = material({0.6f, 0.5f, 0.4f}, 0.2f, 1);
        floor_ = &patch({-2, -2, 0}, {4, 0, 0}, {0, 4, 0}, ground, kCheckered | kNoShadowCast);
        glass_ = &material({0.2f, 0.9f, 0.8f}, 0.7f);
        glass_->transmission = -1.0f;
        glass_->iorBase = 1.5f;
        patch({0, -2, 1}, {2, 0, 0}, {0, 4, 0}, *glass_, kNoShadowTest);
    }
    SceneObject* floor_ = nullptr;
    Material* glass_ = nullptr;
};

TEST_F(CausticScene, DirectLightIsNotStored) {
    emit({-1, 0, 3}, {0, 0, -1}, 1.0f, causticPhotonHit);
    EXPECT_EQ(stored(), 0);
}

TEST_F(CausticScene, LightThroughGlassIsStoredOnceWithTheGlassWeight) {
    emit({1, 0, 3}, {0, 0, -1}, 0.9f, causticPhotonHit);
    ASSERT_EQ(stored(), 1);
    const Photon& p = block_[0];
    EXPECT_EQ(p.object, floor_);
    // Head-on into index 1.5: Fresnel 0.04, so the transmitted share is 0.96 of the reflectivity.
    const float wT = 0.7f - fresnelReflectance(1.0f, 1.5f, -1.0f) * 0.7f;
    EXPECT_NEAR(wT, 0.96f * 0.7f, 1e-5f);
    EXPECT_FLOAT_EQ(p.power, 0.9f * wT);
    EXPECT_FLOAT_EQ(p.wavelength, 555.0f);
    EXPECT_NEAR(p.u, 0.75f, 1e-5f);  // (1, 0) on the floor from (-2, -2) with 4 x 4 edges
    EXPECT_NEAR(p.v, 0.5f, 1e-5f);
}

TEST_F(PhotonScene, CausticPhotonSpawnsNothingPastDepthThree) {
    // Two facing mirrors that both receive caustics: hits at depths 1, 2 and 3 are stored, the
    // depth-3 hit spawns nothing, and the photon never reaches depth 4.
    Material& mirror = material({1, 1, 1}, 1.0f);
    patch({-50, -50, 0}, {100, 0, 0}, {0, 100, 0}, mirror, kCheckered);
    patch({-50, -50, 1}, {0, 100, 0}, {100, 0, 0}, mirror, kCheckered);
    emit({0, 0, 0.5f}, normalize({0.3f, 0.1f, -1.0f}), 1.0f, causticPhotonHit);
    EXPECT_EQ(stored(), 3);
    for (uint32_t i = 0; i < block_.count; ++i) EXPECT_FLOAT_EQ(block_[i].power, 1.0f);
}

TEST_F(PhotonScene, WeakCausticPhotonsStop) {
    Material& dim = material({1, 1, 1}, 0.05f);  // each bounce keeps 5%: 1 -> 0.05 -> 0.0025 (not traced)
    patch({-50, -50, 0}, {100, 0, 0}, {0, 100, 0}, dim, kCheckered);
    patch({-50, -50, 1}, {0, 100, 0}, {100, 0, 0}, dim, kCheckered);
    emit({0, 0, 0.5f}, normalize({0.3f, 0.1f, -1.0f}), 1.0f, causticPhotonHit);
    ASSERT_EQ(stored(), 1);
    EXPECT_FLOAT_EQ(block_[0].power, 0.05f);
}

// A closed 2 x 2 x 2 box of one-sided walls facing inward.
class GiScene : public PhotonScene {
protected:
    void closedBox(SceneObject* faces[6], const Material& m) {
        faces[0] = &patch({-1, -1, 0}, {2, 0, 0}, {0, 2, 0}, m, kOneSided);
        faces[1] = &patch({-1, -1, 2}, {0, 2, 0}, {2, 0, 0}, m, kOneSided);
        faces[2] = &patch({-1, -1, 0}, {0, 0, 2}, {2, 0, 0}, m, kOneSided);
        faces[3] = &patch({-1, 1, 0}, {2, 0, 0}, {0, 0, 2}, m, kOneSided);
        faces[4] = &patch({-1, -1, 0}, {0, 2, 0}, {0, 0, 2}, m, kOneSided);
        faces[5] = &patch({1, -1, 0}, {0, 0, 2}, {0, 2, 0}, m, kOneSided);
    }
};

TEST_F(GiScene, OnlyIndirectSkipsJustTheFirstHit) {
    Material& black = material({-1, 0, 0}, 0.0f);  // negative red: absorbs every photon
    SceneObject* faces[6];
    closedBox(faces, black);
    buffer_.wavelength = 555.0f;
    params_.photons.giOnlyIndirect = true;
    emit({0, 0, 1}, {0, 0, -1}, 1.0f, giPhotonHit);
    EXPECT_EQ(stored(), 0);
    params_.photons.giOnlyIndirect = false;
    emit({0, 0, 1}, {0, 0, -1}, 0.75f, giPhotonHit);
    ASSERT_EQ(stored(), 1);
    EXPECT_EQ(block_[0].object, faces[0]);
    EXPECT_FLOAT_EQ(block_[0].power, 0.75f);
    EXPECT_FLOAT_EQ(block_[0].wavelength, 555.0f);
}

// White walls reflect everything at 555 nm: the path runs until the hit cap, and "Only Indirect"
// drops only its first hit.
TEST_F(GiScene, PathsInAPerfectReflectorEndAtTheHitCap) {
    Material& white = material({1, 1, 1}, 0.0f);
    SceneObject* faces[6];
    closedBox(faces, white);
    buffer_.wavelength = 555.0f;
    params_.photons.giOnlyIndirect = false;
    emit({0, 0, 1}, {0, 0, -1}, 1.0f, giPhotonHit);
    EXPECT_EQ(stored(), kGiMaxHits);
    restartStore();
    params_.photons.giOnlyIndirect = true;
    emit({0, 0, 1}, {0, 0, -1}, 1.0f, giPhotonHit);
    EXPECT_EQ(stored(), kGiMaxHits - 1);
    for (uint32_t i = 0; i < block_.count; ++i) {
        EXPECT_FLOAT_EQ(block_[i].power, 1.0f);  // GI photons keep their power
        EXPECT_GE(block_[i].u, -1e-4f);
        EXPECT_LE(block_[i].u, 1.0001f);
    }
}

// Russian roulette keeps a photon with probability equal to the diffuse reflectance.
TEST_F(GiScene, RouletteSurvivalMatchesTheDiffuseReflectance) {
    Material& grey = material({0.5f, -1.0f, 0.0f}, 0.2f);  // grey 0.5, reflectivity 0.2: q = 0.4
    SceneObject* faces[6];
    closedBox(faces, grey);
    buffer_.wavelength = 600.0f;
    params_.photons.giOnlyIndirect = false;
    constexpr int kPhotons = 2000;
    int total = 0;
    for (int i = 0; i < kPhotons; ++i) {
        restartStore();
        emit({0, 0, 1}, {0, 0, -1}, 1.0f, giPhotonHit);
        total += stored();
    }
    // Hits per photon: 1 / (1 - q) = 1.667.
    EXPECT_NEAR(static_cast<double>(total) / kPhotons, 1.0 / (1.0 - 0.4), 0.06);
}

}  // namespace
}  // namespace lumo
