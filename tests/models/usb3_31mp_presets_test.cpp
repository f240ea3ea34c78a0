// The 3.1 MP camera's EEPROM serial and presets end to end on the simulated chart: a preset taken
// after a brightness change, the factory preset while streaming, and the stored list seen by the
// next camera object.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "sim/eeprom_image.h"
#include "sim/frame_content.h"
#include "sim/usb3_31mp_family.h"
#include "tests/models/model_rig.h"
#include "tests/support/stream_rig.h"

namespace {

using testing_models::ModelRig;

constexpr uint32_t kPreview = 1;  // 1024 x 770
constexpr uint32_t kW = 1024, kH = 770;
constexpr uint32_t kInFlight = 4;
constexpr const char* kSerial = "CD2405061230450123456789ABCDEF0";

// The mean of the grey patch, the one brightness moves without saturating, in a fresh frame.
double nextGrey(BaseImpl& cam) {
  std::vector<uint8_t> dib(size_t{DibRowBytes(24, kW)} * kH);
  EXPECT_EQ(stream_rig::Puller(cam).pull(dib, kInFlight + 1), kInFlight + 1);
  const uint32_t cx = stream_rig::PatchX(3, kW), cy = stream_rig::PatchY(1, kH);
  int sum = 0, n = 0;
  for (uint32_t y = cy - 6; y <= cy + 6; ++y)
    for (uint32_t x = cx - 6; x <= cx + 6; ++x, n += 3) {
      const stream_rig::Rgb p = stream_rig::PixelAt(dib, kW, kH, x, y);
      sum += p.r + p.g + p.b;
    }
  return double(sum) / n;
}

TEST(Usb3_31Presets, SerialAndPresetsWhileStreaming) {
  ModelRig rig{testing_models::RigOptions{.realTime = true}};
  rig.device().setFramePeriodMs(5);
  sim::SceneOptions scene = sim::Usb3Mp31Family::sceneOptions();
  scene.referenceExposureUs = 94000;
  rig.device().setContent(sim::ContentKind::Chart, scene);
  rig.device().setEeprom(sim::EepromImage(2).setSerial(kSerial).build());

  BaseImpl* cam = rig.open(ZX_W('!'));
  ASSERT_NE(cam, nullptr);
  char serial[32] = {};
  ASSERT_EQ(static_cast<ILumorixSerialNumber&>(*cam).get_SerialNumber(serial), S_OK);
  EXPECT_STREQ(serial, kSerial);

  ILumorixPreset& presets = *cam;
  ASSERT_EQ(presets.put_Presets(nullptr, 0), S_OK);
  ASSERT_EQ(cam->put_eSize(kPreview), S_OK);
  // Auto exposure, on by default, goes off before any frame: a step would move the time.
  ASSERT_EQ(cam->put_AutoExpoEnable(0), S_OK);
  uint32_t plainTime = 0;
  ASSERT_EQ(cam->get_ExpoTime(&plainTime), S_OK);
  ASSERT_EQ(cam->start(), S_OK);
  const double plain = nextGrey(*cam);
  ASSERT_EQ(cam->put_Brightness(64), S_OK);
  const double bright = nextGrey(*cam);
  ASSERT_GT(bright, plain + 20);
  ASSERT_EQ(presets.AddPreset(ZX_W("bright")), S_OK);

  ASSERT_EQ(presets.LoadPreset(0xFFFFFFFFu), S_OK);
  uint32_t ae = 0;
  ASSERT_EQ(cam->get_AutoExpoEnable(&ae), S_OK);
  EXPECT_EQ(ae, 1u) << "the factory preset turns auto exposure back on";
  // Its steps since the load moved the time by how fast this machine runs: put plain's back.
  ASSERT_EQ(cam->put_AutoExpoEnable(0), S_OK);
  ASSERT_EQ(cam->put_ExpoTime(plainTime), S_OK);
  EXPECT_NEAR(nextGrey(*cam), plain, 3) << "the factory preset brings the default picture back";
  ASSERT_EQ(presets.LoadPreset(0), S_OK);
  EXPECT_NEAR(nextGrey(*cam), bright, 3);
  EXPECT_EQ(cam->stop(), S_OK);

  BaseImpl* second = rig.open(ZX_W('!'));
  ASSERT_NE(second, nullptr);
  ILumorixPreset& stored = *second;
  ASSERT_EQ(stored.get_PresetCount(), 1u);
  PresetRecord r{};
  ASSERT_EQ(stored.get_Preset(0, &r), S_OK);
  EXPECT_EQ(r.name[0], WCHAR16('b'));
  EXPECT_EQ(r.settings.brightness, 64);
}

// Twenty stuck sites near the patch centres, at raw frame coordinates.
std::vector<std::array<uint32_t, 2>> stuckSites() {
  std::vector<std::array<uint32_t, 2>> sites;
  for (uint32_t row = 0; row < 2; ++row)
    for (uint32_t col = 0; col < 4; ++col)
      for (int k = 0; k < 3 && sites.size() < 20; ++k)
        sites.push_back(
            {stream_rig::PatchX(col, kW) + 16 * k - 16, stream_rig::PatchY(row, kH) + 8 * k});
  return sites;
}

// How far a site stands out of the ring of pixels three away from it, the largest channel, at
// the site and at its row mirrored (the delivered frame may be the raw one turned upside down).
int standsOut(const std::vector<uint8_t>& dib, uint32_t x, uint32_t y) {
  int worst = 0;
  for (uint32_t row : {y, kH - 1 - y}) {
    const stream_rig::Rgb c = stream_rig::PixelAt(dib, kW, kH, x, row);
    int ring[3] = {}, n = 0;
    for (int dy = -3; dy <= 3; dy += 3)
      for (int dx = -3; dx <= 3; dx += 3) {
        if (!dx && !dy) continue;
        const stream_rig::Rgb p = stream_rig::PixelAt(dib, kW, kH, x + dx, row + dy);
        ring[0] += p.r, ring[1] += p.g, ring[2] += p.b, ++n;
      }
    worst = std::max({worst, c.r - ring[0] / n, c.g - ring[1] / n, c.b - ring[2] / n});
  }
  return worst;
}

TEST(Usb3_31Presets, StuckPixelsListedInTheEepromAreRepaired) {
  for (const bool corrupt : {false, true}) {
    SCOPED_TRACE(corrupt ? "corrupt lists" : "valid lists");
    ModelRig rig{testing_models::RigOptions{.realTime = true}};
    rig.device().setFramePeriodMs(5);
    sim::SceneOptions scene = sim::Usb3Mp31Family::sceneOptions();
    scene.referenceExposureUs = 94000;
    scene.stuckPixels = stuckSites();
    rig.device().setContent(sim::ContentKind::Chart, scene);
    std::vector<sim::DefectPixel> list;
    for (const auto& [x, y] : scene.stuckPixels) list.push_back({x, y});
    rig.device().setEeprom(sim::EepromImage(2)
                               .setLists({list, list})
                               .setVariant(corrupt ? sim::EepromImage::Variant::GroupSumMismatch
                                                   : sim::EepromImage::Variant::Valid)
                               .build());
    BaseImpl* cam = rig.open(ZX_W('!'));
    ASSERT_NE(cam, nullptr);
    ASSERT_EQ(cam->put_eSize(kPreview), S_OK);
    ASSERT_EQ(cam->start(), S_OK);
    ASSERT_EQ(cam->put_AutoExpoEnable(0), S_OK);
    std::vector<uint8_t> dib(size_t{DibRowBytes(24, kW)} * kH);
    ASSERT_EQ(stream_rig::Puller(*cam).pull(dib, kInFlight + 1), kInFlight + 1);
    EXPECT_EQ(cam->stop(), S_OK);
    int visible = 0;
    for (const auto& [x, y] : scene.stuckPixels) {
      const int out = standsOut(dib, x, y);
      if (!corrupt) {
        EXPECT_LE(out, 12) << x << "," << y;
      }
      visible += out > 12;
    }
    if (corrupt) {
      EXPECT_GT(visible, 10) << "without lists the sites show";
    }
  }
}

}  // namespace
