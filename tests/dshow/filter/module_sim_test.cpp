// The shipped module against the driver shim's simulated cameras: enumeration and opening.
#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>

#include <optional>

#include "tests/dshow/filter/module_support.h"
#include "tests/dshow/support/capture_graph.h"

namespace {

class ModuleSim : public ::testing::Test {
 protected:
  void SetUp() override {
    count_ = SimCameraCount();
    if (!count_) GTEST_SKIP() << "runs in a prefix set up with simulated cameras";
    ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
    ASSERT_TRUE(module_.loaded());
  }
  void TearDown() override {
    // Every filter handed out has been released: nothing of the module may be left alive.
    if (count_ && module_.loaded()) {
      EXPECT_EQ(module_.canUnloadNow(), S_OK);
    }
  }

  ComScope com_;
  LoadedModule module_;
  std::optional<uint32_t> count_;
};

// A released filter closes its camera the camera's own way, which writes the "close" trace line
// at the verbose log level.
TEST_F(ModuleSim, ReleasingAFilterClosesItsCameraWithItsTraceLine) {
  UserDword verbose(L"Software\\Brenvik\\dshow", L"log", 2);
  ASSERT_TRUE(verbose.set());
  module_.reload();  // the module reads the log level as it loads
  ASSERT_TRUE(module_.loaded());
  DebugLines lines;
  {
    ComPtr<IUnknown> filter;
    *filter.out() = module_.openCamera(0);
    ASSERT_TRUE(filter);
    EXPECT_EQ(lines.count("#:close\n"), 0u);
  }
  EXPECT_EQ(lines.count("#:close\n"), 1u);
  verbose.restore();
  module_.reload();
}

// Enumeration counts the installed cameras, again the same; an index past the last opens nothing.
TEST_F(ModuleSim, EnumerationCountsTheInstalledCameras) {
  EXPECT_EQ(module_.enumCameras(), *count_);
  EXPECT_EQ(module_.enumCameras(), *count_) << "a second enumeration finds the same";
  for (uint32_t index : {*count_, *count_ + 1, 16u}) {
    EXPECT_EQ(module_.openCamera(index), nullptr) << index;
  }
}

// Two openings of camera 0 are two filters, each on its own camera object, except in the host
// that shares one filter per camera between all its creations.
TEST_F(ModuleSim, OpeningTwiceGivesTwoFiltersOrTheSharedOne) {
  ASSERT_GE(*count_, 1u);
  ComPtr<IUnknown> first;
  ComPtr<IUnknown> second;
  *first.out() = module_.openCamera(0);
  *second.out() = module_.openCamera(0);
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  ComPtr<IBaseFilter> a;
  ComPtr<IBaseFilter> b;
  ASSERT_EQ(first->QueryInterface(IID_IBaseFilter, a.outVoid()), S_OK);
  ASSERT_EQ(second->QueryInterface(IID_IBaseFilter, b.outVoid()), S_OK);
  EXPECT_EQ(a.get() == b.get(), RunningAsFireCapture());
  // The sharing host shares per camera: one that does not exist opens nothing even now.
  for (uint32_t index : {*count_, 15u}) {
    EXPECT_EQ(module_.openCamera(index), nullptr) << index;
  }
  for (IBaseFilter* filter : {a.get(), b.get()}) {
    ComPtr<IPin> preview;
    EXPECT_EQ(filter->FindPin(L"Preview", preview.out()), S_OK);
  }
}

// The simulated 3.1 MP camera has no guide port and the prefix no adapter: the adapter search runs
// over the system's device walk and finds nothing, and every guide call answers as unconnected.
TEST_F(ModuleSim, GuideExportsWithoutAGuidePort) {
  ASSERT_TRUE(module_.guideConnect && module_.guidePulse && module_.guideState);
  EXPECT_EQ(module_.guideConnect(1), 0);
  EXPECT_EQ(module_.guidePulse(0, 300), 0);
  EXPECT_EQ(module_.guideState(), 0);
  EXPECT_EQ(module_.guideConnect(0), 1);
  EXPECT_EQ(module_.guideConnect(0), 1);
}

}  // namespace
