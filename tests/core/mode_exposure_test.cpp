// The exposure time kept per trigger mode, on the 3.1 MP camera over the simulated device: in the
// camera's mode it goes the way every exposure goes, so the pipeline, its notice and the sensor
// agree.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "base/lumorix_flags.h"
#include "models/catalogue_table.h"
#include "pipeline/pl_frame_hooks.h"
#include "tests/models/model_rig.h"

namespace {

using testing_models::LineUs;
using testing_models::ModelRig;
using testing_models::Near;

constexpr uint16_t kProductId = 0xC310;

// The catalogue's 3.1 MP rows with a software trigger: the model class has none of its own.
class TriggerCatalogue {
 public:
  TriggerCatalogue() {
    std::vector<ModelCatalogueRow> rows;
    for (const ModelCatalogueRow& row : CatalogueRows())
      for (const uint16_t id : row.model.productIds)
        if (id == kProductId) rows.push_back(row);
    for (ModelCatalogueRow& row : rows) row.model.flags |= LUMORIX_FLAG_TRIGGER_SOFT;
    RegisterCatalogueRows(catalogue_, rows);
  }
  const ModelCatalogue& get() const { return catalogue_; }

 private:
  std::array<ModelEntry, 4> entries_{};
  std::array<ModelInfo, 4> infos_{};
  std::array<ModelInfoV1, 4> infosV1_{};
  ModelCatalogue catalogue_{entries_, infos_, infosV1_};
};

// What the pipeline and the sensor said when the exposure notice came.
struct Notice {
  ModelRig* rig = nullptr;
  int count = 0;
  uint32_t stateUs = 0, sensorUs = 0;
  static void Record(void* context) {
    Notice& n = *static_cast<Notice*>(context);
    ++n.count;
    PL_CurrentExposureTime(n.rig->helper(), &n.stateUs);
    n.sensorUs = n.rig->sensorExposureUs();
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

}  // namespace
