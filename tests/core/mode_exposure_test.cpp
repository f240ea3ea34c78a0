// The exposure time kept per trigger mode, on the 3.1 MP camera over the simulated device: in the
// camera's mode it goes the way every exposure goes, so the pipeline, its notice and the sensor
// agree. The skip switch and a preset load raise the same notice, with no core lock held.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <vector>

#include "base/lumorix_flags.h"
#include "models/catalogue_table.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/preset_apply.h"
#include "tests/models/model_rig.h"

namespace {

using testing_models::LineUs;
using testing_models::ModelRig;
using testing_models::Near;

constexpr uint16_t kProductId = 0xC310;

// The catalogue's 3.1 MP rows with a software trigger and the skip switch: the model class has
// neither of its own.
class TriggerCatalogue {
 public:
  TriggerCatalogue() {
    std::vector<ModelCatalogueRow> rows;
    for (const ModelCatalogueRow& row : CatalogueRows())
      for (const uint16_t id : row.model.productIds)
        if (id == kProductId) rows.push_back(row);
    for (ModelCatalogueRow& row : rows)
      row.model.flags |= LUMORIX_FLAG_TRIGGER_SOFT | LUMORIX_FLAG_SKIP;
    RegisterCatalogueRows(catalogue_, rows);
  }
  const ModelCatalogue& get() const { return catalogue_; }

 private:
  std::array<ModelEntry, 4> entries_{};
  std::array<ModelInfo, 4> infos_{};
  std::array<ModelInfoV1, 4> infosV1_{};
  ModelCatalogue catalogue_{entries_, infos_, infosV1_};
};

// Whether another thread can take the sensor lock and the control lock (the serial number read
// takes it) while the notice runs; a held lock shows as the probe not finishing. The probe is kept
// and joined once the flow has returned, so a held lock fails the test rather than hanging it.
bool CoreLocksFree(ModelRig& rig, std::vector<std::future<void>>& probes) {
  probes.push_back(std::async(std::launch::async, [&rig] {
    { std::lock_guard<platform::RecursiveLock> hold(rig.helper().sensorLock()); }
    char serial[32];
    rig.camera().get_SerialNumber(serial);
  }));
  return probes.back().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
}

// What the pipeline and the sensor said when the exposure notice came.
struct Notice {
  ModelRig* rig = nullptr;
  int count = 0;
  uint32_t stateUs = 0, sensorUs = 0;
  bool locksFree = true;
  std::vector<std::future<void>> probes{};
  static void Record(void* context) {
    Notice& n = *static_cast<Notice*>(context);
    ++n.count;
    PL_CurrentExposureTime(n.rig->helper(), &n.stateUs);
    n.sensorUs = n.rig->sensorExposureUs();
    n.locksFree = CoreLocksFree(*n.rig, n.probes) && n.locksFree;
  }
};

TEST(ModeExposure, TheCurrentModesTimeReachesStateAppliedTimeNoticeAndSensorTogether) {
  const TriggerCatalogue catalogue;
  ModelRig rig;
  ASSERT_NE(rig.adopt(OpenCameraById(rig.id(ZX_W('!')).c_str(), catalogue.get())), nullptr);
  rig.startSensor(0);
  rig.camera().stream().startPipeline();
  Notice notice{&rig};
  rig.helper().onExposureChanged = &Notice::Record;
  rig.helper().onExposureChangedCtx = &notice;

  constexpr uint32_t kVideoUs = 40000, kTriggerUs = 70000;
  ASSERT_EQ(rig.camera().put_ModeExpoTime(1, kTriggerUs), S_OK);  // not the camera's mode
  EXPECT_EQ(notice.count, 0);
  EXPECT_FALSE(Near(rig.sensorExposureUs(), kTriggerUs, LineUs(rig)));

  ASSERT_EQ(rig.camera().put_ModeExpoTime(0, kVideoUs), S_OK);
  const uint32_t sensorUs = rig.sensorExposureUs();
  EXPECT_TRUE(Near(sensorUs, kVideoUs, LineUs(rig))) << sensorUs;
  EXPECT_TRUE(Near(rig.helper().appliedTime, sensorUs, LineUs(rig))) << rig.helper().appliedTime;
  uint32_t stateUs = 0;
  ASSERT_TRUE(PL_CurrentExposureTime(rig.helper(), &stateUs));
  EXPECT_TRUE(Near(stateUs, sensorUs, LineUs(rig))) << stateUs;
  ASSERT_EQ(notice.count, 1);
  EXPECT_EQ(notice.stateUs, stateUs);
  EXPECT_EQ(notice.sensorUs, sensorUs);
  uint32_t stored = 0;
  ASSERT_EQ(rig.camera().get_ModeExpoTime(0, &stored), S_OK);
  EXPECT_EQ(stored, kVideoUs);
}

// A flow that may change the exposure, at a resolution index, and the notices it raises.
struct NoticeCase {
  const char* name;
  uint32_t index;
  HRESULT (*act)(CmosCamera&);
  int notices;
};

class ExposureNotice : public testing::TestWithParam<NoticeCase> {};

// Each notice finds the sensor programmed with the pipeline's time, and runs with the sensor and
// control locks free; a flow that leaves the sensor alone raises none.
TEST_P(ExposureNotice, FollowsTheSensorWithNoCoreLockHeld) {
  const NoticeCase& c = GetParam();
  const TriggerCatalogue catalogue;
  ModelRig rig;
  ASSERT_NE(rig.adopt(OpenCameraById(rig.id(ZX_W('!')).c_str(), catalogue.get())), nullptr);
  ASSERT_EQ(rig.camera().put_eSize(c.index), S_OK);
  rig.startSensor(c.index);
  rig.camera().stream().startPipeline();
  ASSERT_EQ(rig.helper().resolutionIndex, c.index);
  Notice notice{&rig};
  rig.helper().onExposureChanged = &Notice::Record;
  rig.helper().onExposureChangedCtx = &notice;

  ASSERT_EQ(c.act(rig.camera()), S_OK) << c.name;
  EXPECT_EQ(notice.count, c.notices) << c.name;
  EXPECT_TRUE(notice.locksFree) << c.name;
  if (notice.count == 0) return;
  EXPECT_TRUE(Near(notice.sensorUs, notice.stateUs, LineUs(rig)))
      << c.name << ": " << notice.sensorUs << " vs " << notice.stateUs;
  EXPECT_EQ(notice.sensorUs, rig.sensorExposureUs()) << c.name;
}

const NoticeCase kNoticeCases[] = {
    {"skip on at the reduced size", 1, [](CmosCamera& cam) { return cam.put_Skip(1); }, 1},
    {"skip unchanged", 1, [](CmosCamera& cam) { return cam.put_Skip(0); }, 0},
    {"skip on at the full size", 0, [](CmosCamera& cam) { return cam.put_Skip(1); }, 0},
    {"mode time of the current mode", 1,
     [](CmosCamera& cam) { return cam.put_ModeExpoTime(0, 40000); }, 1},
    // Time, gain and skip all change under the control lock: one notice, after it.
    {"factory preset", 1, [](CmosCamera& cam) { return cam.LoadPreset(kDefaultPresetIndex); }, 1},
};

INSTANTIATE_TEST_SUITE_P(Flows, ExposureNotice, testing::ValuesIn(kNoticeCases),
                         [](const testing::TestParamInfo<NoticeCase>& param) {
                           std::string name = param.param.name;
                           for (char& ch : name)
                             if (ch == ' ') ch = '_';
                           return name;
                         });

}  // namespace
