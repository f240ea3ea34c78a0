// One-push white balance and a flat-field run of the USB3 3.1 MP camera on the simulated flat
// field at 1024 x 770, AE off: a cast turns neutral, a fall-off turns even.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <vector>

#include "platform/utf16.h"
#include "sim/frame_content.h"
#include "sim/usb3_31mp_family.h"
#include "tests/models/model_rig.h"
#include "tests/support/stream_rig.h"

namespace {

using stream_rig::Rgb;
using testing_models::ModelRig;

constexpr uint32_t kPreview = 1;  // 1024 x 770
constexpr uint32_t kW = 1024, kH = 770;
constexpr uint32_t kInFlight = 4;
constexpr int kHalf = 8;        // a spot is the mean of 17 x 17 pixels
constexpr int kMaxPulls = 40;   // frames to wait for a one-push result
constexpr double kEven = 0.03;  // neutral or even within 3 %

Rgb spot(const std::vector<uint8_t>& dib, uint32_t x, uint32_t y) {
  int sum[3] = {};
  for (int dy = -kHalf; dy <= kHalf; ++dy)
    for (int dx = -kHalf; dx <= kHalf; ++dx) {
      const Rgb p = stream_rig::PixelAt(dib, kW, kH, uint32_t(int(x) + dx), uint32_t(int(y) + dy));
      sum[0] += p.r, sum[1] += p.g, sum[2] += p.b;
    }
  const int n = (2 * kHalf + 1) * (2 * kHalf + 1);
  return Rgb{sum[0] / n, sum[1] / n, sum[2] / n};
}

bool closeEnough(double a, double b) {
  return std::abs(a - b) <= kEven * std::max(a, b);
}

// Streams the flat field with the sensor's response to R, G, B scaled by cast / 256.
class FlatRig {
 public:
  FlatRig(WCHAR16 prefix, std::array<uint16_t, 3> cast) {
    rig_.device().setFramePeriodMs(5);
    for (size_t i = 0; i < 3; ++i) scene_.wbBase[i] = uint16_t(scene_.wbBase[i] * cast[i] / 256);
    scene_.referenceExposureUs = 94000;
    rig_.device().setContent(sim::ContentKind::Flat, scene_);
    cam_ = rig_.open(prefix);
    if (!cam_ || cam_->put_eSize(kPreview) != S_OK || cam_->start() != S_OK) cam_ = nullptr;
    if (cam_) cam_->put_AutoExpoEnable(0);
  }
  ~FlatRig() {
    if (cam_) cam_->stop();
  }
  bool ok() const { return cam_ != nullptr; }
  ILumorix& cam() { return *cam_; }
  std::vector<uint8_t> next() {
    std::vector<uint8_t> dib(size_t{DibRowBytes(24, kW)} * kH);
    EXPECT_EQ(stream_rig::Puller(*cam_).pull(dib, kInFlight + 1), kInFlight + 1);
    return dib;
  }

 private:
  ModelRig rig_{testing_models::RigOptions{.realTime = true}};
  sim::SceneOptions scene_ = sim::Usb3Mp31Family::sceneOptions();
  BaseImpl* cam_ = nullptr;
};

TEST(Usb3_31Calibration, OnePushWhiteBalanceNeutralisesACast) {
  FlatRig rig(ZX_W('!'), {330, 256, 200});
  ASSERT_TRUE(rig.ok());
  const Rgb before = spot(rig.next(), kW / 2, kH / 2);
  ASSERT_FALSE(closeEnough(before.r, before.b));  // the cast shows
  std::atomic<int> reports{0};
  ASSERT_EQ(rig.cam().AwbOnePush(
                [](int32_t, int32_t, void* n) { ++*static_cast<std::atomic<int>*>(n); }, &reports),
            S_OK);
  for (int i = 0; i < kMaxPulls && reports == 0; ++i) rig.next();
  ASSERT_EQ(reports.load(), 1);
  rig.next();
  const Rgb after = spot(rig.next(), kW / 2, kH / 2);
  EXPECT_TRUE(closeEnough(after.r, after.g)) << after.r << " " << after.g;
  EXPECT_TRUE(closeEnough(after.b, after.g)) << after.b << " " << after.g;
  EXPECT_EQ(reports.load(), 1);  // one push, one report
}

TEST(Usb3_31Calibration, FlatFieldRunEvensTheFallOffAndSurvivesItsFile) {
  FlatRig rig(ZX_W('!'), {256, 256, 256});
  ASSERT_TRUE(rig.ok());
  ILumorix& cam = rig.cam();
  const auto corner = [](const std::vector<uint8_t>& d) { return spot(d, 60, 60); };
  const auto centre = [](const std::vector<uint8_t>& d) { return spot(d, kW / 2, kH / 2); };
  const auto uneven = rig.next();
  ASSERT_FALSE(closeEnough(corner(uneven).g, centre(uneven).g));
  ASSERT_EQ(cam.put_FfcStatus(int32_t(0xFF000004u)), S_OK);  // four frames
  ASSERT_EQ(cam.FfcOnePush(), S_OK);
  int32_t status = 0;
  for (int i = 0; i < kMaxPulls && status != 2; ++i) {
    rig.next();
    ASSERT_EQ(cam.get_FfcStatus(&status), S_OK);
  }
  ASSERT_EQ(status, 2);  // data, not applied yet
  ASSERT_EQ(cam.put_FfcStatus(1), S_OK);
  rig.next();
  const auto even = rig.next();
  EXPECT_TRUE(closeEnough(corner(even).g, centre(even).g))
      << corner(even).g << " " << centre(even).g;
  EXPECT_TRUE(closeEnough(corner(even).r, centre(even).r));

  const auto path = std::filesystem::temp_directory_path() / "zx-usb3-31-flat.ffc";
  const WString wide = platform::Utf8ToWide(path.string());
  ASSERT_EQ(cam.FfcExport(wide.c_str()), S_OK);
  EXPECT_EQ(std::filesystem::file_size(path), 25u + 4u * kW * kH);
  EXPECT_EQ(cam.FfcImport(wide.c_str()), S_FALSE);  // it replaced a valid table
  std::filesystem::remove(path);
}

}  // namespace
