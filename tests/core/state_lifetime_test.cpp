// The pipeline state against two host threads on the fake model with a real state: one replaces
// the state (format switches, start and stop) while the other sets and reads properties; and the
// helper's matrix and base gains against hue and white balance, whose tables must end as a
// rebuild from the settings as they stand.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>
#include <atomic>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>

#include "base/lumorix_flags.h"
#include "core/lumorix_options.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_tables.h"
#include "tests/core/stream/stream_test_support.h"
#include "tests/support/deleting_hook.h"
#include "tests/support/fake_model.h"

namespace {

constexpr uint64_t kTwoFormats = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
// A rebuild under a sanitizer costs ten times as much: fewer rounds there, the full count natively.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kRounds = 30;
#else
constexpr int kRounds = 200;
#endif

std::string testName(const char* text) {
  std::string name = text;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

// What the first host thread does in round i (each round a change); every call must succeed.
struct Replacer {
  const char* name;
  std::function<void(FakeModel&, int)> round;
};
void PrintTo(const Replacer& r, std::ostream* os) {
  *os << r.name;
}

const Replacer kReplacers[] = {
    {"pixel format option",
     [](FakeModel& cam, int i) {
       EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_PIXEL_FORMAT, i & 1 ? 0 : 2), S_OK);
     }},
    {"bit depth option",
     [](FakeModel& cam, int i) {
       EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_BITDEPTH, i & 1 ? 0 : 1), S_OK);
     }},
    {"put_BitDepth",
     [](FakeModel& cam, int i) { EXPECT_EQ(cam.put_BitDepth(i & 1 ? 0 : 1), S_OK); }},
    {"stop and start",
     [](FakeModel& cam, int) {
       EXPECT_EQ(cam.stop(), S_OK);
       EXPECT_EQ(cam.start(), S_OK);
     }},
};

class StateLifetime : public testing::TestWithParam<Replacer> {};

void noHistogram(const uint32_t*, uint32_t, void*) {}
void noDemosaic(uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void*) {}

// Setters and getters never see a freed or half-built state, and none fails meanwhile: there is
// always a state, the old one or the one that replaces it.
TEST_P(StateLifetime, PropertiesOnAnotherHostThreadWhileTheStateIsReplaced) {
  FakeModel cam(FakeModelConfig{.flags = kTwoFormats, .withState = true});
  ASSERT_EQ(cam.start(), S_OK);
  std::atomic<bool> done{false};
  std::atomic<int> calls{0};
  std::thread properties([&] {
    const double matrix[9] = {1.2, -0.1, -0.1, -0.2, 1.3, -0.1, 0, -0.3, 1.3};
    for (int32_t i = 0; !done; ++i) {
      EXPECT_EQ(cam.put_Hue(i % 2 ? 90 : -90), S_OK);
      int32_t contrast = 0;
      EXPECT_EQ(cam.get_Contrast(&contrast), S_OK);
      EXPECT_EQ(cam.put_Contrast(i % 100), S_OK);
      EXPECT_EQ(cam.put_Gamma(50 + i % 100), S_OK);
      EXPECT_EQ(cam.put_ColorMatrix(matrix), S_OK);
      // A start's rebuild copies the hooks into its state.
      EXPECT_EQ(cam.put_HistogramCallback(i % 2 ? noHistogram : nullptr, nullptr), S_OK);
      EXPECT_EQ(cam.put_DemosaicCallback(i % 2 ? nullptr : noDemosaic, nullptr), S_OK);
      calls += 7;
    }
  });
  // A second host thread in the hook setters: two setters take turns.
  std::thread hooks([&] {
    for (int32_t i = 0; !done; ++i) {
      EXPECT_EQ(cam.put_HistogramCallback(i % 2 ? nullptr : noHistogram, nullptr), S_OK);
      EXPECT_EQ(cam.put_DemosaicCallback(i % 2 ? noDemosaic : nullptr, nullptr), S_OK);
    }
  });
  for (int i = 0; i < kRounds; ++i) GetParam().round(cam, i);
  done = true;
  properties.join();
  hooks.join();
  EXPECT_GT(calls.load(), 0);
  EXPECT_EQ(cam.stop(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Replacers, StateLifetime, testing::ValuesIn(kReplacers),
                         [](const auto& p) { return testName(p.param.name); });

// A table a writer published, and the same table rebuilt now from the state's settings.
struct Published {
  const char* name;
  std::function<void(FakeModel&)> write;        // the helper's input, looped on a second thread
  std::function<void(FakeModel&, int)> set;     // the setting the host thread changes
  std::function<bool(PLContext&)> rebuildSame;  // rebuilds and compares with what was published
};

bool colourRebuildSame(PLContext& c) {
  std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
  const auto published = c.tables.colour;
  PL_UpdateHueSat(&c);
  return published && c.tables.colour && published->coef == c.tables.colour->coef;
}

bool wbRebuildSame(PLContext& c) {
  std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
  const auto published = c.tables.wb;
  PL_UpdateWbLut(&c);
  return published && c.tables.wb && published->lut == c.tables.wb->lut;
}

const Published kPublished[] = {
    {"matrix against hue",
     [](FakeModel& cam) {
       const double matrix[9] = {1.5, -0.3, -0.2, -0.2, 1.4, -0.2, -0.1, -0.4, 1.5};
       EXPECT_EQ(cam.put_ColorMatrix(matrix), S_OK);
     },
     [](FakeModel& cam, int i) { EXPECT_EQ(cam.put_Hue(i & 1 ? 120 : -120), S_OK); },
     colourRebuildSame},
    {"base gains against white balance",
     [](FakeModel& cam) {
       const uint16_t gains[3] = {300, 256, 420};
       EXPECT_EQ(cam.put_WbGainBase(gains), S_OK);
     },
     [](FakeModel& cam, int i) {
       EXPECT_EQ(cam.put_TempTint(i & 1 ? 3000 : 9000, i & 2 ? 400 : 1600), S_OK);
     },
     wbRebuildSame},
};

void PrintTo(const Published& p, std::ostream* os) {
  *os << p.name;
}

class PublishedTables : public testing::TestWithParam<Published> {};

TEST_P(PublishedTables, TheLastWriterLeavesTheTableTheSettingsMake) {
  FakeModel cam(FakeModelConfig{.withState = true});
  ASSERT_EQ(cam.start(), S_OK);
  const Published& row = GetParam();
  for (int round = 0; round < 400; ++round) {
    std::thread writer([&] {
      for (int k = 0; k < 3; ++k) row.write(cam);
    });
    row.set(cam, round);
    writer.join();
    ASSERT_TRUE(row.rebuildSame(*cam.fakeHelper()->ctx8)) << "round " << round;
  }
  EXPECT_EQ(cam.stop(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Writers, PublishedTables, testing::ValuesIn(kPublished),
                         [](const auto& p) { return testName(p.param.name); });

// A stop or restart asked from inside the host's demosaic hook, which runs while its conversion
// holds the state: it answers 0x8001010E at once instead of waiting for that very conversion.
struct HookProbe {
  FakeModel* cam = nullptr;
  std::atomic<int> calls{0};
  std::atomic<HRESULT> stopped{E_PENDING}, restarted{E_PENDING};
  static bool hook(uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void* self) {
    auto& p = *static_cast<HookProbe*>(self);
    if (p.calls++ != 0) return true;
    p.restarted = p.cam->RestartStream(false, false, [] {});
    p.stopped = p.cam->stop();
    return true;
  }
};

void ignoreFrame(const uint8_t*, const LumorixFrameHeader*, int32_t, void*) {}

TEST(StateLifetimeHook, StopAndRestartFromInsideTheDemosaicHookAreRefused) {
  for (const bool pin : {true, false}) {
    FakeModel cam(FakeModelConfig{.withState = true});
    HookProbe probe;
    probe.cam = &cam;
    PLFrameHooks(*cam.fakeHelper()).SetDemosaicCallback(HookProbe::hook, &probe);
    ASSERT_EQ(pin ? cam.start() : cam.start(ignoreFrame), S_OK);
    std::vector<uint8_t> buffer(zxstream::pinBytes(1024, 770));
    for (int tries = 0; pin && probe.calls.load() == 0 && tries < 1000; ++tries)
      cam.PullFrameForPin(buffer.data(), static_cast<uint32_t>(buffer.size()), nullptr);
    ASSERT_TRUE(zxstream::waitFor([&] { return probe.stopped.load() != E_PENDING; }))
        << (pin ? "pin" : "delivery");
    EXPECT_EQ(probe.restarted.load(), kWrongThread) << (pin ? "pin" : "delivery");
    EXPECT_EQ(probe.stopped.load(), kWrongThread) << (pin ? "pin" : "delivery");
    EXPECT_TRUE(cam.started());
    EXPECT_EQ(cam.stop(), S_OK);
  }
}

// The host's last release made inside its own demosaic or histogram hook, or its white balance
// completion, on the fill-buffer thread: the camera goes without waiting for the frame that holds
// its state, and the thread leaves once the hook returns; the sanitizers see any later touch of
// the camera or its state. The camera opened again right after the delete, in the hook, has the
// deleted one's settings.
TEST(StateLifetimeHook, DeletingTheCameraFromInsideAHookLetsItsFrameGo) {
  const FakeModelConfig config{.withState = true,
                               .helperKey = ZX_W("Software\\ZerithalTest\\StateLifetime")};
  const char* const names[] = {"demosaic", "histogram", "white balance"};
  for (const int hook : {0, 1, 2}) {
    DeletingHook<FakeModel> probe;
    probe.owned = new FakeModel(config);
    const int32_t contrast = 21 + hook;
    ASSERT_EQ(probe.owned->put_Contrast(contrast), S_OK);
    int32_t reopened = 0;
    probe.then = [&] { FakeModel(config).get_Contrast(&reopened); };
    PLFrameHooks hooks(*probe.owned->fakeHelper());
    if (hook == 0) hooks.SetDemosaicCallback(DeletingHook<FakeModel>::demosaic, &probe);
    if (hook == 1) hooks.SetHistogramCallback(DeletingHook<FakeModel>::histogram, &probe);
    ASSERT_EQ(probe.owned->start(ignoreFrame), S_OK);
    if (hook == 2) {
      ASSERT_EQ(probe.owned->AwbOnePush(DeletingHook<FakeModel>::tempTint, &probe), S_OK);
    }
    ASSERT_TRUE(zxstream::waitFor([&] { return probe.deleted.load(); }))
        << names[hook] << " hook: the delete waits for its own frame";
    EXPECT_EQ(reopened, contrast) << names[hook] << ": the settings were saved after the delete";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the let-go thread leaves
  }
}

}  // namespace
