// The shipped module streaming each model class from its simulated camera: one registration per
// class in the prefix, each opened by position and identified by which camera sent frames, streamed
// at its largest and smallest offered size, the chart upright and neutral at the smallest.
#include <gtest/gtest.h>

#include <windows.h>

#include <dshow.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "tests/dshow/filter/module_graph.h"
#include "tests/dshow/filter/module_support.h"

namespace {

constexpr uint32_t kMaxCameras = 8;

// The chart's luma as the grey camera sees it: channels 200 on and 20 off, white 210, grey 128.
int LumaOf(const Patch& patch) {
  const std::string name = patch.name;
  if (name == "white" || name == "grey") return name == "white" ? 210 : 128;
  const int r = patch.red ? 200 : 20, g = patch.green ? 200 : 20, b = patch.blue ? 200 : 20;
  return (r * 77 + g * 150 + b * 29) >> 8;
}

bool Neutral(const Colour& c) {
  return std::abs(c.red - c.green) < 1.0 && std::abs(c.green - c.blue) < 1.0;
}

// Every patch neutral marks the grey camera: patches clearly apart in luma keep their order.
void ExpectGreyChart(const std::vector<Colour>& means) {
  constexpr int kApart = 15;
  for (size_t a = 0; a < means.size(); ++a)
    for (size_t b = 0; b < means.size(); ++b)
      if (LumaOf(kChart[a]) >= LumaOf(kChart[b]) + kApart) {
        EXPECT_GE(means[a].green, means[b].green + (means[a].green >= 254.5 ? 0.0 : 1.0))
            << kChart[a].name << " against " << kChart[b].name;
      }
}

uint32_t FramesOf(uint32_t camera) {
  return static_cast<uint32_t>(
      std::strtoul(ShimCommand("frames " + std::to_string(camera)).c_str(), nullptr, 10));
}

class ModuleModels : public ::testing::TestWithParam<uint32_t> {
 protected:
  void SetUp() override {
    if (!SimCameraCount()) GTEST_SKIP() << "runs in a prefix set up with simulated cameras";
    if (GetParam() >= *SimCameraCount()) GTEST_SKIP() << "the prefix has fewer cameras";
    ASSERT_TRUE(ShimRunning()) << "the prefix has no driver shim (tools/wine-sim-setup)";
    ASSERT_TRUE(module_.loaded());
    ASSERT_EQ(module_.enumCameras(), *SimCameraCount());
  }
  void TearDown() override {
    if (SimCameraCount()) Within(kStopMs, "releasing the graph", [&] { g_.release(); });
  }

  // A graph around a new filter for camera n, its capture pin at width x height (0: unchosen).
  void build(LONG width, LONG height) {
    g_.release();
    ComPtr<IUnknown> camera;
    *camera.out() = module_.openCamera(GetParam());
    ASSERT_TRUE(camera) << "camera " << GetParam() << " did not open";
    ComPtr<IBaseFilter> source;
    ASSERT_EQ(camera->QueryInterface(IID_IBaseFilter, source.outVoid()), S_OK);
    ASSERT_EQ(g_.begin(source.get()), S_OK);
    if (width) {
      ASSERT_NO_FATAL_FAILURE(ChooseSize(g_, width, height));
    }
  }

  // Runs until `frames` samples arrived, each exactly one frame of the connected format.
  void stream(size_t frames, size_t keep) {
    ASSERT_EQ(g_.render(log_), S_OK);
    ASSERT_NO_FATAL_FAILURE(ReadConnectedFormat(g_.grabber.get(), &format_));
    log_.reset(keep);
    HRESULT hr = E_FAIL;
    Within(kStartMs, "IMediaControl::Run", [&] { hr = g_.control->Run(); });
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    EXPECT_TRUE(log_.reaches(frames, 60000)) << log_.seen() << " frames";
    Within(kStopMs, "IMediaControl::Stop", [&] { hr = g_.control->Stop(); });
    EXPECT_EQ(hr, S_OK);
    for (const long length : log_.lengths()) ASSERT_EQ(length, long(format_.sizeImage));
  }

  ComScope com_;
  LoadedModule module_;
  FrameLog log_;
  Format format_;
  CaptureGraph g_;
};

TEST_P(ModuleModels, StreamsWholeFramesAtItsLargestAndSmallestSizeFromItsOwnCamera) {
  ASSERT_NO_FATAL_FAILURE(build(0, 0));
  std::vector<Format> offered;
  ASSERT_NO_FATAL_FAILURE(OfferedSizes(g_, PIN_CATEGORY_CAPTURE, &offered));
  ASSERT_FALSE(offered.empty());
  const auto area = [](const Format& f) { return int64_t{f.width} * f.height; };
  const auto [smallest, largest] =
      std::minmax_element(offered.begin(), offered.end(),
                          [&](const Format& a, const Format& b) { return area(a) < area(b); });
  const Format sizes[] = {*largest, *smallest};

  std::vector<uint32_t> before;
  for (uint32_t c = 0; c < *SimCameraCount(); ++c) before.push_back(FramesOf(c));
  for (const Format& size : sizes) {
    SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
    ASSERT_NO_FATAL_FAILURE(build(size.width, size.height));
    const bool last = &size == &sizes[1];
    // At the smallest size auto exposure and white balance settle before the chart is read.
    ASSERT_NO_FATAL_FAILURE(stream(last ? 40 : 20, last ? 40 : 0));
    EXPECT_EQ(format_.width, size.width);
    EXPECT_EQ(format_.height, size.height);
    if (last) {
      const std::vector<uint8_t> frame = log_.frame();
      ASSERT_EQ(frame.size(), format_.sizeImage);
      std::vector<Colour> means;
      for (const Patch& patch : kChart) means.push_back(PatchMean(frame, format_, patch));
      if (std::all_of(means.begin(), means.end(), Neutral)) {
        ExpectGreyChart(means);
      } else {
        for (size_t i = 0; i < means.size(); ++i) ExpectPatch(kChart[i], means[i]);
      }
    }
    Within(kStopMs, "releasing the graph", [&] { g_.release(); });
  }
  std::vector<uint32_t> advanced;
  for (uint32_t c = 0; c < *SimCameraCount(); ++c)
    if (FramesOf(c) > before[c]) advanced.push_back(c);
  // The module lists cameras in its own order: each position is one camera, no two the same.
  ASSERT_EQ(advanced.size(), 1u) << "one camera streams";
  static std::set<uint32_t> identified;
  EXPECT_TRUE(identified.insert(advanced[0]).second) << "camera " << advanced[0] << " again";
}

INSTANTIATE_TEST_SUITE_P(Prefix, ModuleModels, ::testing::Range(0u, kMaxCameras));

}  // namespace
