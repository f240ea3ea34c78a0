// The six CCD classes end to end in real time on their simulated devices: both modes stream an
// upright, neutral chart (only the right field order gives one), a still comes from the reduced
// preview, and exposure, gain and speed reach the camera's registers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/geometry.h"
#include "core/camera_buffer_impl.h"
#include "models/common/ccd_camera.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "platform/event.h"
#include "sim/ccd_family.h"
#include "sim/family_catalogue.h"
#include "tests/models/model_rig.h"
#include "tests/models/started_camera_delete.h"
#include "tests/support/stream_rig.h"

namespace {

using stream_rig::CentreMean;
using stream_rig::ExpectChart;
using testing_models::DeleteBy;
using testing_models::ModelRig;
using testing_models::RigOptions;

struct CcdRow {
  const char* name;
  uint16_t productId;
  int32_t writeMode;  // what the first generation's mode query answers
};

const CcdRow kRows[] = {
    {"Mp14", 0x8146, 0}, {"Mp14Long", 0x8146, 1}, {"Mp14V2", 0x8148, 1},
    {"Mp31", 0x8311, 0}, {"Mp31Long", 0x8311, 1}, {"Mp31V2", 0x8316, 1},
    {"Mp51", 0x8510, 0}, {"Mp51Long", 0x8510, 1}, {"Mp51V2", 0x8516, 1},
};

// Under a sanitizer each class streams once: the first generation's other register form runs
// the same code, and the instrumented real-time suite has to fit the test run's time.
std::vector<CcdRow> StreamRows() {
  std::vector<CcdRow> rows;
  for (const CcdRow& r : kRows)
    if (!testing_models::kOneStreamRowPerSensor ||
        std::string(r.name).find("Long") == std::string::npos)
      rows.push_back(r);
  return rows;
}

uint32_t Pull(BaseImpl& cam, std::vector<uint8_t>& frame, uint32_t n) {
  return stream_rig::Puller(cam).pull(frame, n);
}

class CcdStream : public ::testing::TestWithParam<CcdRow> {
 protected:
  void SetUp() override {
    rig_.device().setFramePeriodMs(5);
    rig_.device().withFamily([&](sim::SensorFamily& f) {
      static_cast<sim::CcdFamily&>(f).setWriteMode(GetParam().writeMode);
      return 0;
    });
    rig_.open();
    cam_ = dynamic_cast<CcdCamera*>(rig_.base());
    scene_ = sim::SceneFor(GetParam().productId);
    if (cam_) scene_.referenceExposureUs = cam_->ccdSpec().model.exposureUs.def;
    rig_.device().setContent(sim::ContentKind::Chart, scene_);
  }
  const ModelInfo& info() { return *cam_->model(); }
  std::vector<uint8_t> frameAt(uint32_t index) {
    const ModelResolution& r = info().resolutions[index];
    return std::vector<uint8_t>(size_t{DibRowBytes(24, r.width)} * r.height);
  }
  CcdHelper& helper() { return cam_->pipelineHelper(); }
  uint32_t sensorExposureUs() { return rig_.sensorExposureUs(); }
  void setExposure(uint32_t us) {
    {
      std::lock_guard<platform::RecursiveLock> hold(*helper().ctx8->mtxSettings);
      helper().ctx8->settings.expoTime = us;
    }
    ExpoProcTime(helper(), 0);
  }

  ModelRig rig_{RigOptions{.productId = GetParam().productId, .realTime = true}};
  sim::SceneOptions scene_;
  CcdCamera* cam_ = nullptr;
};

TEST_P(CcdStream, EveryModeStreamsTheChartUprightAndAStillComesFromTheReducedPreview) {
  ASSERT_NE(cam_, nullptr);
  for (uint32_t index = info().previewCount; index-- > 0;) {
    const ModelResolution& r = info().resolutions[index];
    std::vector<uint8_t> frame = frameAt(index);
    ASSERT_EQ(cam_->put_eSize(index), S_OK);
    ASSERT_EQ(cam_->start(), S_OK) << index;
    ASSERT_EQ(Pull(*cam_, frame, 5), 5u) << index;
    ExpectChart(frame, r.width, r.height, index ? "reduced" : "full frame");
    if (index == 1) {
      ASSERT_EQ(cam_->put_eStillSize(0), S_OK);
      std::vector<uint8_t> still = frameAt(0);
      EXPECT_EQ(stream_rig::SnapWithin(*cam_, still), S_OK);
      ExpectChart(still, info().resolutions[0].width, info().resolutions[0].height, "still");
      EXPECT_EQ(Pull(*cam_, frame, 3), 3u) << "preview after the still";
    }
    EXPECT_EQ(cam_->stop(), S_OK);
  }
}

TEST_P(CcdStream, ExposureGainAndSpeedReachTheCameraUpToSixtySeconds) {
  ASSERT_NE(cam_, nullptr);
  ASSERT_EQ(cam_->put_eSize(0), S_OK);
  ASSERT_EQ(cam_->start(), S_OK);
  PL_SetAutoExpoEnable(helper(), 0);
  std::vector<uint8_t> frame = frameAt(0);
  ASSERT_EQ(Pull(*cam_, frame, 2), 2u);
  uint32_t range[3] = {};
  ASSERT_EQ(cam_->get_ExpTimeRange(&range[0], &range[1], &range[2]), S_OK);
  for (const uint16_t speed : {uint16_t{0}, uint16_t{1}}) {
    ASSERT_EQ(cam_->put_Speed(speed), S_OK);
    for (const uint32_t us : {range[0] + 1000, range[1]}) {
      setExposure(us);
      const uint32_t line = rig_.sensorLineUs() * 2 + 2;
      EXPECT_TRUE(testing_models::Near(sensorExposureUs(), us, line))
          << "speed " << speed << ": " << sensorExposureUs() << " for " << us;
      ASSERT_EQ(Pull(*cam_, frame, 2), 2u) << us;
    }
  }
  ExpoProcAGain(helper(), 200, 0);
  EXPECT_TRUE(testing_models::Near(rig_.sensorGain(), 200, 3)) << rig_.sensorGain();
  EXPECT_EQ(cam_->stop(), S_OK);
}

// A host that joins a full frame at any of its blocks gets a whole frame within the retry budget:
// the field assembly starts over at the next frame's first field.
TEST_P(CcdStream, JoiningAtAnyBlockStillGivesWholeFrames) {
  ASSERT_NE(cam_, nullptr);
  ASSERT_EQ(cam_->put_eSize(0), S_OK);
  ASSERT_EQ(cam_->start(), S_OK);
  const ModelResolution& r = info().resolutions[0];
  std::vector<uint8_t> frame = frameAt(0);
  ASSERT_EQ(Pull(*cam_, frame, 1), 1u);
  const uint32_t blocks = cam_->device().modeSpec(0).layout.blocks;
  for (uint32_t k = 1; k < blocks; ++k) {
    rig_.device().joinAtBlock(k);
    ASSERT_EQ(Pull(*cam_, frame, 2), 2u) << "joined at " << k;
    ExpectChart(frame, r.width, r.height, "after the join");
  }
  EXPECT_EQ(cam_->stop(), S_OK);
}

// Deleted while it streams, by its owner or from its own callbacks on a preview frame, on a still
// or on the exposure callback at the still's end: the CCD camera stops from its most-derived
// destructor too, so its threads never call it while its parts are being taken apart.
TEST_P(CcdStream, DeletingAStartedCameraStopsItFirst) {
  ASSERT_NE(cam_, nullptr);
  const uint32_t preview = info().previewCount - 1;
  const bool stills = info().stillCount != 0 && preview != 0;
  std::vector<uint8_t> frame = frameAt(preview);
  for (const DeleteBy by : {DeleteBy::Owner, DeleteBy::OwnerWhileDelivering, DeleteBy::DataCallback,
                            DeleteBy::StillDataA, DeleteBy::StillNotice}) {
    if (testing_models::DeletesInAStill(by) && !stills) continue;
    if (!rig_.base()) rig_.open();
    auto* cam = dynamic_cast<CcdCamera*>(rig_.base());
    ASSERT_NE(cam, nullptr);
    testing_models::DeleteStartedCamera(rig_, cam->pipelineHelper(), by, preview, 0, frame);
    if (HasFatalFailure()) return;
  }
  cam_ = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Ccd, CcdStream, ::testing::ValuesIn(StreamRows()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
