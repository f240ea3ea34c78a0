// Calibration runs and one-push balance against host threads: starts, discards, lowered counts,
// balance requests and exports while frames are summed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "pipeline/pl_one_push.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline/pl_setters.h"
#include "pipeline/store/calibration_file.h"
#include "platform/utf16.h"
#include "tests/pipeline/pipeline_kit.h"

namespace zxtest {
namespace {

constexpr uint32_t kW = 32, kH = 24;
constexpr uint8_t kLevel = 200;  // every frame: the dark mean can only be this

class RaceHelper : public FakeHelper {
 public:
  RaceHelper() : FakeHelper(helperArgs(nullptr, 0)) {
    frameWidth = kW, frameHeight = kH;
    PLInitParams p = colourParams(kW, kH);
    p.regKey = nullptr;
    ctx8.reset(PL_Init(&p));
  }
};

TEST(CalibrationRaces, HostCallsWhileFramesAreSummed) {
  RaceHelper h;
  PLContext& c = *h.ctx8;
  std::atomic<int> whiteDone{0}, blackDone{0};
  std::atomic<bool> done{false};
  const WString path = platform::Utf8ToWide(
      (std::filesystem::temp_directory_path() / "zx-calibration-race.dfc").string());
  std::thread host([&] {
    for (uint32_t i = 0; !done; ++i) {
      switch (i % 6) {
        case 0:
          PL_DfcOnePush(h);
          break;
        case 1:
          PL_SetDfcStatus(h, 0xFF000000u + 1 + i % 4);
          break;  // count raised or lowered
        case 2:
          PL_SetDfcStatus(h, kCalibrationDiscard);
          break;
        case 3:
          PL_FfcOnePush(h);
          break;
        case 4:
          PL_AwbOnePush(
              h, [](int32_t, int32_t, void* n) { ++*static_cast<std::atomic<int>*>(n); },
              &whiteDone);
          PL_SetWhiteBalanceTempTint(h, 3000 + int32_t(i % 100), 1000);
          break;
        default:
          PL_AbbOnePush(
              h, [](const uint16_t*, void* n) { ++*static_cast<std::atomic<int>*>(n); },
              &blackDone);
          PL_DfcExport(&c, path.c_str(), kW, kH);
      }
    }
  });
  std::vector<uint8_t> raw(kW * kH);
  for (int frame = 0; frame < 300; ++frame) {
    std::fill(raw.begin(), raw.end(), kLevel);
    PL_ProcessRaw8(&c, raw.data(), nullptr, nullptr, nullptr, 1, false);
    std::lock_guard<platform::RecursiveLock> hold(*c.mtxDfc);
    const bool even = !c.dfcValid || std::all_of(c.darkTable.begin(), c.darkTable.begin() + kW * kH,
                                                 [](uint8_t d) { return d == kLevel; });
    ASSERT_TRUE(even) << "frame " << frame;
  }
  done = true;
  host.join();
  std::filesystem::remove(platform::WideToUtf8(path));
  EXPECT_LE(whiteDone.load(), 300);
  EXPECT_LE(blackDone.load(), 300);
}

}  // namespace
}  // namespace zxtest
