// One-push balance and calibration runs of the USB3 3.1 MP camera on the simulated flat field and
// covered sensor at 1024 x 770, AE off: a cast turns neutral, a fall-off turns even, the dark level
// becomes the black offsets, hot pixels vanish, and the tables move to another camera object.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/lumorix_events.h"
#include "pipeline/pl_context.h"
#include "pipeline/pl_helper_base.h"
#include "platform/utf16.h"
#include "sim/frame_content.h"
#include "sim/usb3_31mp_family.h"
#include "tests/models/model_rig.h"
#include "tests/support/stream_rig.h"

namespace {

// A file name of this run only: another build's run of the suite at the same time writes beside it
// in the same temporary folder.
std::filesystem::path ownTempFile(const std::string& name) {
  static const std::string tag = std::to_string(std::random_device{}());
  return std::filesystem::temp_directory_path() / ("zx-usb3-31-" + tag + "-" + name);
}

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

// Streams the flat field (or the covered sensor) with the sensor's response to R, G, B scaled by
// cast / 256.
class FieldRig {
 public:
  FieldRig(WCHAR16 prefix, std::array<uint16_t, 3> cast,
           sim::ContentKind content = sim::ContentKind::Flat) {
    rig_.device().setFramePeriodMs(5);
    for (size_t i = 0; i < 3; ++i) scene_.wbBase[i] = uint16_t(scene_.wbBase[i] * cast[i] / 256);
    scene_.referenceExposureUs = 94000;
    rig_.device().setContent(content, scene_);
    cam_ = rig_.open(prefix);
    if (!cam_ || cam_->put_eSize(kPreview) != S_OK || cam_->start() != S_OK) cam_ = nullptr;
    if (cam_) cam_->put_AutoExpoEnable(0);
  }
  ~FieldRig() {
    if (cam_) cam_->stop();
  }
  bool ok() const { return cam_ != nullptr; }
  BaseImpl& cam() { return *cam_; }
  PLContext& state() { return *rig_.helper().ctx8; }
  RecordingRegistry& registry() { return rig_.registry(); }
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

// Temperature-and-tint mode ("!") reports through AwbOnePush; RGB-gain mode ("&") through AwbInit,
// and it saves the gains it found.
struct WhiteCase {
  const char* name;
  WCHAR16 prefix;
  HRESULT (*push)(ILumorix&, std::atomic<int>*);
  bool savesGains;
};

const WhiteCase kWhiteCases[] = {
    {"TempTint", ZX_W('!'),
     [](ILumorix& cam, std::atomic<int>* n) {
       return cam.AwbOnePush(
           [](int32_t, int32_t, void* c) { ++*static_cast<std::atomic<int>*>(c); }, n);
     },
     false},
    {"RgbGains", ZX_W('&'),
     [](ILumorix& cam, std::atomic<int>* n) {
       return cam.AwbInit([](int32_t, void* c) { ++*static_cast<std::atomic<int>*>(c); }, n);
     },
     true},
};

class Usb3_31WhiteBalance : public testing::TestWithParam<WhiteCase> {};

TEST_P(Usb3_31WhiteBalance, OnePushNeutralisesACast) {
  const WhiteCase& row = GetParam();
  FieldRig rig(row.prefix, {330, 256, 200});
  ASSERT_TRUE(rig.ok());
  const Rgb before = spot(rig.next(), kW / 2, kH / 2);
  ASSERT_FALSE(closeEnough(before.r, before.b));  // the cast shows
  rig.registry().takeChanges();
  std::atomic<int> reports{0};
  ASSERT_EQ(row.push(rig.cam(), &reports), S_OK);
  for (int i = 0; i < kMaxPulls && reports == 0; ++i) rig.next();
  ASSERT_EQ(reports.load(), 1);
  rig.next();
  const Rgb after = spot(rig.next(), kW / 2, kH / 2);
  EXPECT_TRUE(closeEnough(after.r, after.g)) << after.r << " " << after.g;
  EXPECT_TRUE(closeEnough(after.b, after.g)) << after.b << " " << after.g;
  EXPECT_EQ(reports.load(), 1);  // one push, one report
  if (!row.savesGains) return;
  const std::vector<std::string> changed = rig.registry().takeChanges();
  for (const char* name : {"WBGainR", "WBGainG", "WBGainB"})
    EXPECT_NE(std::find(changed.begin(), changed.end(), name), changed.end()) << name;
  int32_t gains[3] = {};
  ASSERT_EQ(rig.cam().get_WhiteBalanceGain(gains), S_OK);
  // The sensor's weak red takes the largest gain, 128 (saved as 0); its strong blue less.
  EXPECT_EQ(gains[0], 0);
  EXPECT_LT(gains[2], 0);
}

INSTANTIATE_TEST_SUITE_P(Usb3_31Calibration, Usb3_31WhiteBalance, testing::ValuesIn(kWhiteCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(Usb3_31Calibration, FlatFieldRunEvensTheFallOffAndSurvivesItsFile) {
  FieldRig rig(ZX_W('!'), {256, 256, 256});
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

  const auto path = ownTempFile("flat.ffc");
  const WString wide = platform::Utf8ToWide(path.string());
  ASSERT_EQ(cam.FfcExport(wide.c_str()), S_OK);
  EXPECT_EQ(std::filesystem::file_size(path), 25u + 4u * kW * kH);
  EXPECT_EQ(cam.FfcImport(wide.c_str()), S_FALSE);  // it replaced a valid table
  std::filesystem::remove(path);
}

// The covered sensor's mean becomes the black offsets, with one report.
TEST(Usb3_31Calibration, OnePushBlackBalanceMeasuresTheDarkLevel) {
  FieldRig rig(ZX_W('!'), {256, 256, 256}, sim::ContentKind::Dark);
  ASSERT_TRUE(rig.ok());
  rig.next();
  std::atomic<int> reports{0};
  ASSERT_EQ(rig.cam().AbbOnePush([](int32_t, void* n) { ++*static_cast<std::atomic<int>*>(n); },
                                 &reports),
            S_OK);
  for (int i = 0; i < kMaxPulls && reports == 0; ++i) rig.next();
  rig.next();
  EXPECT_EQ(reports.load(), 1);
  uint16_t offsets[3] = {};
  ASSERT_EQ(rig.cam().get_BlackBalance(offsets), S_OK);
  for (uint16_t o : offsets) EXPECT_NEAR(o, sim::kDarkLevel, 1);
}

// A calibration run and its file, alike for the flat field and the dark field.
struct RunCase {
  const char* name;
  sim::ContentKind content;
  HRESULT (ILumorix::*putStatus)(int32_t);
  HRESULT (ILumorix::*getStatus)(int32_t*);
  HRESULT (ILumorix::*onePush)();
  HRESULT (ILumorix::*exportTo)(const WCHAR16*);
  HRESULT (ILumorix::*importFrom)(const WCHAR16*);
};

const RunCase kRuns[] = {
    {"Flat", sim::ContentKind::Flat, &ILumorix::put_FfcStatus, &ILumorix::get_FfcStatus,
     &ILumorix::FfcOnePush, &ILumorix::FfcExport, &ILumorix::FfcImport},
    {"Dark", sim::ContentKind::Dark, &ILumorix::put_DfcStatus, &ILumorix::get_DfcStatus,
     &ILumorix::DfcOnePush, &ILumorix::DfcExport, &ILumorix::DfcImport},
};

// Runs four frames and applies the result.
void runFourFrames(FieldRig& rig, const RunCase& run) {
  ILumorix& cam = rig.cam();
  ASSERT_EQ((cam.*run.putStatus)(int32_t(0xFF000004u)), S_OK);
  ASSERT_EQ((cam.*run.onePush)(), S_OK);
  int32_t status = 0;
  for (int i = 0; i < kMaxPulls && status != 2; ++i) {
    rig.next();
    ASSERT_EQ((cam.*run.getStatus)(&status), S_OK);
  }
  ASSERT_EQ(status, 2);  // data, not applied yet
  ASSERT_EQ((cam.*run.putStatus)(1), S_OK);
  rig.next();
}

std::vector<HotPixel> hotList(FieldRig& rig) {
  PLContext& c = rig.state();
  std::lock_guard<platform::RecursiveLock> hold(*c.mtxDfc);
  return c.hotPixels;
}

// The list holds the planted hot pixels and nothing else; the pipeline numbers raw sites as the
// frame comes, the picture shows it upside down.
bool listsThePlanted(const std::vector<HotPixel>& list) {
  return std::equal(list.begin(), list.end(), std::begin(sim::kDarkHotPixels),
                    std::end(sim::kDarkHotPixels),
                    [](HotPixel h, sim::FramePoint p) { return h.x == p.column && h.y == p.row; });
}

// The largest channel at the pixel against that of its neighbours two pixels away.
int standsOut(const std::vector<uint8_t>& dib, const sim::FramePoint& p) {
  const uint32_t x = p.column, y = kH - 1 - p.row;
  const auto top = [&](uint32_t px, uint32_t py) {
    const Rgb c = stream_rig::PixelAt(dib, kW, kH, px, py);
    return std::max({c.r, c.g, c.b});
  };
  const int around = (top(x - 2, y) + top(x + 2, y) + top(x, y - 2) + top(x, y + 2)) / 4;
  return top(x, y) - around;
}

constexpr int kHotShows = 40, kHotGone = 4;  // counts above the neighbours

TEST(Usb3_31Calibration, DarkFieldRunListsAndRemovesTheHotPixels) {
  FieldRig rig(ZX_W('!'), {256, 256, 256}, sim::ContentKind::Dark);
  ASSERT_TRUE(rig.ok());
  const auto before = rig.next();
  for (const sim::FramePoint& p : sim::kDarkHotPixels) EXPECT_GT(standsOut(before, p), kHotShows);
  ASSERT_NO_FATAL_FAILURE(runFourFrames(rig, kRuns[1]));
  EXPECT_TRUE(listsThePlanted(hotList(rig)));
  const auto after = rig.next();
  for (const sim::FramePoint& p : sim::kDarkHotPixels)
    EXPECT_LE(standsOut(after, p), kHotGone) << p.column << "," << p.row;
}

std::vector<char> bytesOf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

constexpr size_t kHeightAt = 20, kBitsAt = 24, kHeaderBytes = 25;

class Usb3_31CalibrationFile : public testing::TestWithParam<RunCase> {};

// A table exported by one camera object imports into another byte for byte and works there; a
// file of another size or bit depth is refused and the table stays as it was.
TEST_P(Usb3_31CalibrationFile, MovesToASecondCamera) {
  const RunCase& run = GetParam();
  const auto first = ownTempFile("first-" + std::string(run.name));
  const auto second = ownTempFile("second-" + std::string(run.name));
  const auto odd = ownTempFile("odd-" + std::string(run.name));
  const WString firstW = platform::Utf8ToWide(first.string());
  const WString secondW = platform::Utf8ToWide(second.string());
  const WString oddW = platform::Utf8ToWide(odd.string());
  std::vector<HotPixel> firstHot;  // rebuilt by the import
  {
    FieldRig rig(ZX_W('!'), {256, 256, 256}, run.content);
    ASSERT_TRUE(rig.ok());
    ASSERT_NO_FATAL_FAILURE(runFourFrames(rig, run));
    ASSERT_EQ((rig.cam().*run.exportTo)(firstW.c_str()), S_OK);
    firstHot = hotList(rig);
    if (run.content == sim::ContentKind::Dark) {
      EXPECT_TRUE(listsThePlanted(firstHot));
    }
  }
  const std::vector<char> exported = bytesOf(first);
  ASSERT_GT(exported.size(), kHeaderBytes);

  FieldRig rig(ZX_W('!'), {256, 256, 256}, run.content);
  ASSERT_TRUE(rig.ok());
  ILumorix& cam = rig.cam();
  ASSERT_EQ((cam.*run.importFrom)(firstW.c_str()), S_OK);  // no table before
  ASSERT_EQ((cam.*run.exportTo)(secondW.c_str()), S_OK);
  EXPECT_EQ(bytesOf(second), exported);
  const std::vector<HotPixel> rebuilt = hotList(rig);
  EXPECT_TRUE(std::equal(rebuilt.begin(), rebuilt.end(), firstHot.begin(), firstHot.end(),
                         [](HotPixel a, HotPixel b) { return a.x == b.x && a.y == b.y; }));

  // One row fewer, and a 16-bit header on 8-bit data.
  std::vector<char> shorter = exported;
  shorter[kHeightAt] = char(kH - 1), shorter[kHeightAt + 1] = char((kH - 1) >> 8);
  shorter.resize(shorter.size() - (exported.size() - kHeaderBytes) / kH);
  std::vector<char> deeper = exported;
  deeper[kBitsAt] = 16;
  for (const auto& bad : {shorter, deeper}) {
    writeBytes(odd, bad);
    EXPECT_TRUE(FAILED((cam.*run.importFrom)(oddW.c_str())));
    ASSERT_EQ((cam.*run.exportTo)(secondW.c_str()), S_OK);
    EXPECT_EQ(bytesOf(second), exported);
  }

  ASSERT_EQ((cam.*run.putStatus)(1), S_OK);
  rig.next();
  const auto frame = rig.next();
  if (run.content == sim::ContentKind::Flat) {
    const Rgb corner = spot(frame, 60, 60), centre = spot(frame, kW / 2, kH / 2);
    EXPECT_TRUE(closeEnough(corner.g, centre.g)) << corner.g << " " << centre.g;
  } else {
    for (const sim::FramePoint& p : sim::kDarkHotPixels) EXPECT_LE(standsOut(frame, p), kHotGone);
  }
  for (const auto& path : {first, second, odd}) std::filesystem::remove(path);
}

constexpr int kRestarts = 10;  // each start runs the sensor's program in real time

// Where a host thread of the race below is; null once it has returned.
using Step = std::atomic<const char*>;

// Waits for the thread at `step` to return; a hang ends the process, naming both threads' steps.
void returnsOrExit(const Step& step, const Step& restarts, const Step& files) {
  if (stream_rig::WaitUntil([&] { return step.load() == nullptr; })) return;
  const auto at = [](const Step& s) { return s.load() ? s.load() : "returned"; };
  std::fprintf(stderr, "hung: the restarts at %s, the file calls at %s\n", at(restarts), at(files));
  std::_Exit(1);
}

// A host thread moves the table to and from files while another stops, sizes and starts the
// stream, each start replacing the state under the calls: an export that finds a table writes the
// imported file byte for byte. The done event's host callback restarts the stream at once.
TEST_P(Usb3_31CalibrationFile, MovesBesideRestartsOnAnotherHostThread) {
  const RunCase& run = GetParam();
  const auto saved = ownTempFile("saved-" + std::string(run.name));
  const auto copy = ownTempFile("copy-" + std::string(run.name));
  const WString savedW = platform::Utf8ToWide(saved.string());
  const WString copyW = platform::Utf8ToWide(copy.string());
  FieldRig rig(ZX_W('!'), {256, 256, 256}, run.content);
  ASSERT_TRUE(rig.ok());
  BaseImpl& cam = rig.cam();
  ASSERT_NO_FATAL_FAILURE(runFourFrames(rig, run));
  ASSERT_EQ((cam.*run.exportTo)(savedW.c_str()), S_OK);
  const std::vector<char> exported = bytesOf(saved);
  Step restarts{"stop"}, files{"import"};
  std::thread restarter([&] {
    for (int i = 0; i < kRestarts; ++i) {
      EXPECT_EQ((restarts = "stop", cam.stop()), S_OK);
      EXPECT_EQ((restarts = "put_eSize", cam.put_eSize(kPreview)), S_OK);
      EXPECT_EQ((restarts = "start", cam.start()), S_OK);
    }
    restarts = nullptr;
  });
  std::thread mover([&] {
    while (restarts.load() != nullptr) {
      const HRESULT in = (files = "import", (cam.*run.importFrom)(savedW.c_str()));
      EXPECT_TRUE(in == S_OK || in == S_FALSE || in == E_UNEXPECTED) << in;
      const HRESULT out = (files = "export", (cam.*run.exportTo)(copyW.c_str()));
      if (out == S_OK) {
        EXPECT_EQ(bytesOf(copy), exported);
      }
      EXPECT_TRUE(out == S_OK || out == E_UNEXPECTED) << out;
    }
    files = nullptr;
  });
  returnsOrExit(restarts, restarts, files);
  returnsOrExit(files, restarts, files);
  restarter.join();
  mover.join();

  // A fresh state imports with its report, on this thread's own call.
  struct Probe {
    BaseImpl* cam;
    std::atomic<HRESULT> restarted{E_PENDING};
  } probe{&cam};
  stream_rig::StopsOnExit stops(cam);  // no camera thread calls onEvent once probe is gone
  const auto onEvent = [](uint32_t code, void* p) {
    Probe& q = *static_cast<Probe*>(p);
    if (code == kEventFlatFieldDone || code == kEventDarkFieldDone)
      q.restarted = SUCCEEDED(q.cam->stop()) ? q.cam->start() : E_FAIL;
  };
  ASSERT_EQ(cam.stop(), S_OK);
  ASSERT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, onEvent, &probe), S_OK);
  files = "import raising its done event";
  std::thread reporter([&] {
    EXPECT_EQ((cam.*run.importFrom)(savedW.c_str()), S_OK);
    files = nullptr;
  });
  returnsOrExit(files, restarts, files);
  reporter.join();
  EXPECT_EQ(probe.restarted.load(), S_OK);
  for (const auto& path : {saved, copy}) std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Usb3_31Calibration, Usb3_31CalibrationFile, testing::ValuesIn(kRuns),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
