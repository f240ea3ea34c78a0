// The numbered options through put_Option and get_Option on the fake model with a real pipeline
// state: each code's range edges and what reads back, the answer on a model without the needed
// flag, stopped-only codes while streaming, null values, unknown codes, the black level's scaling
// at 8-bit formats, and what reaches the transport and the processor.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/lumorix_flags.h"
#include "base/process_globals.h"
#include "base/trace.h"
#include "core/lumorix_options.h"
#include "core/option_table.h"
#include "pipeline/pl_start.h"
#include "platform/registry.h"
#include "platform/thread.h"
#include "tests/support/fake_model.h"

namespace {

constexpr int32_t kNoRead = INT32_MIN;  // the step reads nothing back

// One put and, unless kNoRead, the value get_Option gives afterwards.
struct Step {
  int32_t value;
  HRESULT put;
  int32_t read;
};

// need: the flags the code asks for, beside the state's. without: the put's answer on a model
// lacking them (not checked when need is 0).
struct Row {
  const char* name;
  uint32_t code;
  uint64_t need;
  HRESULT without;
  std::vector<Step> steps;
};

constexpr uint64_t kTec = LUMORIX_FLAG_TEC | LUMORIX_FLAG_TECTARGET;
constexpr uint64_t kPrecise = LUMORIX_FLAG_PRECISE_FRAMERATE;
constexpr uint32_t kPreciseMax = 40;

std::unique_ptr<FakeModel> makeCamera(uint64_t flags) {
  FakeModelConfig config;
  config.flags = flags;
  config.withState = true;
  config.toneMapping = 1;
  auto cam = std::make_unique<FakeModel>(config);
  cam->usb().preciseMax = kPreciseMax;
  return cam;
}

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      {"no-frame watchdog", 1, 0, S_OK, {{0, S_OK, 0}, {5, S_OK, 1}, {-1, S_OK, 1}}},
      {"thread priority",
       2,
       0,
       S_OK,
       {{-1, E_INVALIDARG, 1}, {1, S_FALSE, 1}, {0, S_OK, 0}, {2, S_OK, 2}, {3, E_INVALIDARG, 2}}},
      {"raw delivery", 4, 0, S_OK, {{7, S_OK, 1}, {0, S_OK, 0}}},
      {"histogram kind", 5, 0, S_OK, {{-3, S_OK, 1}, {0, S_OK, 0}}},
      {"fan",
       7,
       LUMORIX_FLAG_FAN,
       E_NOTIMPL,
       {{4, E_INVALIDARG, 0}, {3, S_OK, 3}, {0x10002, S_OK, 2}, {-1, E_INVALIDARG, 2}}},
      {"cooler", 8, kTec, E_NOTIMPL, {{5, S_OK, 1}, {0, S_OK, 0}}},
      {"raw table step", 9, 0, S_OK, {{0, S_OK, 0}, {9, S_OK, 1}}},
      {"tone mapping",
       10,
       0,
       S_OK,
       {{-1, E_INVALIDARG, 2},
        {2, S_FALSE, 2},
        {0, S_OK, 0},
        {1, S_OK, 1},
        {1, S_FALSE, 1},
        {3, E_INVALIDARG, 1}}},
      {"colour matrix", 13, 0, S_OK, {{0, S_OK, 0}, {0, S_OK, 0}, {4, S_OK, 1}}},
      {"base gains", 14, 0, S_OK, {{0, S_OK, 0}, {0, S_OK, 0}, {-4, S_OK, 1}}},
      {"cooler target",
       15,
       kTec,
       E_NOTIMPL,
       {{-301, E_INVALIDARG, 0}, {-300, S_OK, -300}, {300, S_OK, 300}, {301, E_INVALIDARG, 300}}},
      {"AE policy",
       16,
       0,
       S_OK,
       {{-1, E_INVALIDARG, kNoRead},
        {3, S_OK, 3},
        {3, S_OK, 3},
        {0, S_OK, 0},
        {4, E_INVALIDARG, 0}}},
      {"frame-rate limit",
       17,
       0,
       S_OK,
       {{-1, E_INVALIDARG, 0}, {63, S_OK, 63}, {64, E_INVALIDARG, 63}, {0, S_OK, 0}}},
      {"demosaic",
       18,
       0,
       S_OK,
       {{-1, E_INVALIDARG, 0},
        {0, S_FALSE, 0},
        {3, S_OK, 3},
        {3, S_FALSE, 3},
        {4, E_INVALIDARG, 3}}},
      {"video demosaic",
       19,
       0,
       S_OK,
       {{-1, E_INVALIDARG, 0}, {0, S_OK, 0}, {3, S_OK, 3}, {4, E_INVALIDARG, 3}}},
      {"still demosaic",
       20,
       0,
       S_OK,
       {{-1, E_INVALIDARG, 0}, {0, S_OK, 0}, {3, S_OK, 3}, {4, E_INVALIDARG, 3}}},
      {"black level",
       21,
       LUMORIX_FLAG_BLACKLEVEL,
       E_NOTIMPL,
       {{-1, E_INVALIDARG, 0}, {31, S_OK, 31}, {32, E_INVALIDARG, 31}, {0, S_OK, 0}}},
      {"pipeline workers", 22, 0, S_OK, {{0, S_OK, 0}, {3, S_OK, 1}}},
      {"conversion gain",
       25,
       LUMORIX_FLAG_CG,
       E_NOTIMPL,
       {{-1, E_INVALIDARG, kNoRead}, {1, S_OK, 1}, {2, E_INVALIDARG, 1}, {0, S_OK, 0}}},
      {"conversion gain, three steps",
       25,
       LUMORIX_FLAG_CG | LUMORIX_FLAG_CG3,
       E_NOTIMPL,
       {{2, S_OK, 2}, {3, E_INVALIDARG, 2}}},
      {"flat field",
       27,
       0,
       S_OK,
       {{1, E_UNEXPECTED, 0},
        {int32_t(0xFF000000), E_INVALIDARG, 0},
        {int32_t(0xFF000005), S_OK, 0},
        {-1, S_FALSE, 0},
        {0, S_OK, 0}}},
      {"device memory",
       28,
       LUMORIX_FLAG_MONO,
       E_NOTIMPL,
       {{2, E_INVALIDARG, 0},
        {-2, E_INVALIDARG, 0},
        {-1, S_OK, -1},
        {-1, S_FALSE, -1},
        {1, S_OK, 1},
        {0, S_OK, 0}}},
      {"dark field",
       29,
       0,
       S_OK,
       {{1, E_UNEXPECTED, 0},
        {int32_t(0xFF0000FF), S_OK, 0},
        {int32_t(0xFF000100), E_INVALIDARG, 0}}},
      {"sharpening",
       30,
       0,
       S_OK,
       {{500, S_OK, 500 | 2 << 16},
        {501, E_INVALIDARG, 500 | 2 << 16},
        {1 | 10 << 16, S_OK, 1 | 10 << 16},
        {11 << 16, E_INVALIDARG, 1 | 10 << 16},
        {5 << 24, S_OK, 2 << 16 | 5 << 24},
        {int32_t(0xFF0101F4), S_OK, int32_t(0xFF0101F4)}}},
      {"cooler reading", 32, kTec, E_NOTIMPL, {{0, E_NOTIMPL, kNoRead}}},
      {"cooler information", 33, kTec, E_NOTIMPL, {{0, E_NOTIMPL, 0}}},
      {"upside down", 35, 0, S_OK, {{0, S_OK, 0}, {2, S_OK, 1}}},
      {"focus position", 36, LUMORIX_FLAG_FOCUS, E_NOTIMPL, {{1, E_NOTIMPL, kNoRead}}},
      {"focus command", 37, LUMORIX_FLAG_FOCUS, E_NOTIMPL, {{1, E_NOTIMPL, kNoRead}}},
      {"model value 38", 38, LUMORIX_FLAG_BIT23, E_NOTIMPL, {{1, E_NOTIMPL, kNoRead}}},
      {"model value 39", 39, LUMORIX_FLAG_BIT23, E_NOTIMPL, {{1, E_NOTIMPL, kNoRead}}},
      {"extra I/O", 40, 0, S_OK, {{1, E_NOTIMPL, kNoRead}}},
      {"AE threshold",
       41,
       0,
       S_OK,
       {{0, E_INVALIDARG, kNoRead},
        {1, S_OK, 1},
        {25, S_OK, 25},
        {25, S_OK, 25},
        {26, E_INVALIDARG, 25}}},
      {"no-packet timeout",
       43,
       0,
       S_OK,
       {{-1, E_INVALIDARG, 0}, {0, S_OK, 0}, {INT32_MAX, S_OK, INT32_MAX}}},
      {"precise frame rate",
       45,
       kPrecise,
       E_NOTIMPL,
       {{0, E_INVALIDARG, 0},
        {1, S_OK, 1},
        {1, S_FALSE, 1},
        {int32_t(kPreciseMax), S_OK, 40},
        {int32_t(kPreciseMax) + 1, E_INVALIDARG, 40}}},
      {"bandwidth",
       46,
       kPrecise,
       E_NOTIMPL,
       {{0, E_INVALIDARG, 85},
        {85, S_FALSE, 85},
        {1, S_OK, 1},
        {100, S_OK, 100},
        {101, E_INVALIDARG, 100}}},
      {"reload", 47, 0, S_OK, {{1, E_NOTIMPL, kNoRead}}},
      {"callback thread", 48, 0, S_OK, {{9, S_OK, 1}, {0, S_OK, 0}}},
      {"pull queue length",
       49,
       0,
       S_OK,
       {{1, E_INVALIDARG, 3}, {2, S_OK, 2}, {1024, S_OK, 1024}, {1025, E_INVALIDARG, 1024}}},
      {"black level, sensor units",
       LUMORIX_OPTION_BLACKLEVEL_RAW,
       LUMORIX_FLAG_BLACKLEVEL,
       E_NOTIMPL,
       {{-1, E_INVALIDARG, 0}, {31, S_OK, 31}, {32, E_INVALIDARG, 31}}},
  };
  return table;
}

TEST(OptionTable, RangeEdgesAndReadBack) {
  for (const Row& row : rows()) {
    auto cam = makeCamera(row.need);
    for (const Step& s : row.steps) {
      const std::string where = std::string(row.name) + " put " + std::to_string(s.value);
      EXPECT_EQ(cam->put_Option(row.code, s.value), s.put) << where;
      if (s.read == kNoRead) continue;
      int32_t read = kNoRead;
      EXPECT_TRUE(SUCCEEDED(cam->get_Option(row.code, &read))) << where;
      EXPECT_EQ(read, s.read) << where;
    }
  }
}

// These read their stored value on any model; the other flagged codes refuse the read too.
bool readsWithoutFlag(uint32_t code) {
  return code == LUMORIX_OPTION_DDR_MODE || code == LUMORIX_OPTION_PRECISE_FRAMERATE ||
         code == LUMORIX_OPTION_BANDWIDTH || code == LUMORIX_OPTION_BLACKLEVEL;
}

TEST(OptionTable, WithoutTheFlagTheCodeIsRefused) {
  for (const Row& row : rows()) {
    if (row.need == 0) continue;
    auto cam = makeCamera(0);
    EXPECT_EQ(cam->put_Option(row.code, row.steps.front().value), row.without) << row.name;
    int32_t read = 77;
    const HRESULT get = cam->get_Option(row.code, &read);
    EXPECT_EQ(get, readsWithoutFlag(row.code) ? S_OK : E_NOTIMPL) << row.name;
  }
}

// Refusals that come from a flag the model has, or from another setting.
struct Refusal {
  const char* name;
  uint64_t flags;
  uint32_t code;
  int32_t value;
  HRESULT put;
};

// Also the restart codes' refusals, which come before any restart: nothing reads back changed.
TEST(OptionTable, FlagsThatRefuse) {
  const Refusal cases[] = {
      {"mono demosaic", LUMORIX_FLAG_MONO, LUMORIX_OPTION_DEMOSAIC, 1, E_NOTIMPL},
      {"mono video demosaic", LUMORIX_FLAG_MONO, LUMORIX_OPTION_DEMOSAIC_VIDEO, 1, E_NOTIMPL},
      {"mono still demosaic", LUMORIX_FLAG_MONO, LUMORIX_OPTION_DEMOSAIC_STILL, 1, E_NOTIMPL},
      {"precise rate above a zero maximum", kPrecise, LUMORIX_OPTION_PRECISE_FRAMERATE, 1,
       E_INVALIDARG},
      {"bit depth without high-bit flags", LUMORIX_FLAG_RAW8, LUMORIX_OPTION_BITDEPTH, 1,
       E_NOTIMPL},
      {"trigger above 3", LUMORIX_FLAG_TRIGGER_SOFT, LUMORIX_OPTION_TRIGGER, 4, E_INVALIDARG},
      {"trigger negative", LUMORIX_FLAG_TRIGGER_SOFT, LUMORIX_OPTION_TRIGGER, -1, E_INVALIDARG},
      {"binning 0", 0, LUMORIX_OPTION_BINNING, 0, E_INVALIDARG},
      {"binning 5", 0, LUMORIX_OPTION_BINNING, 5, E_INVALIDARG},
      {"binning 0x85", 0, LUMORIX_OPTION_BINNING, 0x85, E_INVALIDARG},
      {"rotation 45", 0, LUMORIX_OPTION_ROTATE, 45, E_INVALIDARG},
      {"pixel format 12", 0, LUMORIX_OPTION_PIXEL_FORMAT, 12, E_INVALIDARG},
      {"pixel format negative", 0, LUMORIX_OPTION_PIXEL_FORMAT, -1, E_INVALIDARG},
      {"factory other than 0", 0, LUMORIX_OPTION_FACTORY, 1, E_INVALIDARG},
      {"mono byte order", LUMORIX_FLAG_MONO, LUMORIX_OPTION_BYTEORDER, 0, E_NOTIMPL},
  };
  for (const Refusal& c : cases) {
    auto cam = makeCamera(c.flags);
    if (c.code == LUMORIX_OPTION_PRECISE_FRAMERATE) cam->usb().preciseMax = 0;
    int32_t before = -7, after = -8;
    const HRESULT readable = cam->get_Option(c.code, &before);
    EXPECT_EQ(cam->put_Option(c.code, c.value), c.put) << c.name;
    EXPECT_EQ(cam->get_Option(c.code, &after), readable) << c.name;
    EXPECT_EQ(SUCCEEDED(readable) ? after : before, before) << c.name;
  }
}

// Read-only answers of the defaults no model overrides.
TEST(OptionTable, ReadOnlyCodesAnswerTheirDefaults) {
  struct Read {
    uint32_t code;
    uint64_t flags;
    HRESULT hr;
    int32_t value;
  };
  const Read cases[] = {
      {LUMORIX_OPTION_TEC_READING, kTec, E_FAIL, 77},
      {LUMORIX_OPTION_TEC_INFO, kTec, S_OK, 0},
      {LUMORIX_OPTION_PRECISE_FRAMERATE_MAX, kPrecise, S_OK, int32_t(kPreciseMax)},
      {LUMORIX_OPTION_PRECISE_FRAMERATE_MIN, kPrecise, S_OK, 1},
      {LUMORIX_OPTION_PRECISE_FRAMERATE_MIN, 0, E_NOTIMPL, 77},
      {LUMORIX_OPTION_CUSB39, LUMORIX_FLAG_BIT23, E_NOTIMPL, 77},
      {LUMORIX_OPTION_EXTRA, 0, E_NOTIMPL, 77},
      {LUMORIX_OPTION_MODEL_HOOK, 0, S_FALSE, 0},
  };
  for (const Read& c : cases) {
    auto cam = makeCamera(c.flags);
    int32_t value = 77;
    EXPECT_EQ(cam->get_Option(c.code, &value), c.hr) << c.code;
    EXPECT_EQ(value, c.value) << c.code;
  }
  auto cam = makeCamera(0);
  EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_MODEL_HOOK, 5), S_FALSE);
  for (uint32_t code : {LUMORIX_OPTION_TEC_READING, LUMORIX_OPTION_TEC_INFO, LUMORIX_OPTION_CUSB39})
    EXPECT_EQ(cam->put_Option(code, 0), E_NOTIMPL) << code;
  // Writing the factory code loads the factory preset; it has no value to read back.
  EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_FACTORY, 0), S_OK);
  int32_t value = 77;
  EXPECT_EQ(cam->get_Option(LUMORIX_OPTION_FACTORY, &value), E_NOTIMPL);
}

// The output layout: high-bit layouts (1, 4) need a high-bit format, grey ones (3, 4) a mono
// model; a refused layout keeps the stored one.
TEST(OptionTable, OutputLayoutFollowsTheModelsFormats) {
  const struct {
    uint64_t flags;
    int32_t value;
    HRESULT put;
    int32_t read;
  } cases[] = {
      {0, -1, E_INVALIDARG, 0},
      {0, 5, E_INVALIDARG, 0},
      {0, 2, S_OK, 2},
      {0, 1, E_NOTIMPL, 0},
      {0, 3, E_NOTIMPL, 0},
      {LUMORIX_FLAG_RAW12, 1, S_OK, 1},
      {LUMORIX_FLAG_RAW12, 4, E_NOTIMPL, 0},
      {LUMORIX_FLAG_MONO, 3, S_OK, 3},
      {LUMORIX_FLAG_MONO, 4, E_NOTIMPL, 0},
      {LUMORIX_FLAG_MONO | LUMORIX_FLAG_RAW16, 4, S_OK, 4},
  };
  for (const auto& c : cases) {
    auto cam = makeCamera(c.flags);
    EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_RGB, c.value), c.put) << c.flags << " " << c.value;
    int32_t read = -1;
    ASSERT_EQ(cam->get_Option(LUMORIX_OPTION_RGB, &read), S_OK);
    EXPECT_EQ(read, c.read) << c.flags << " " << c.value;
  }
}

TEST(OptionTable, StoppedOnlyCodesRefuseWhileStarted) {
  const std::pair<uint32_t, int32_t> cases[] = {{LUMORIX_OPTION_RAW, 1},
                                                {LUMORIX_OPTION_PIPELINE_THREADS, 0},
                                                {LUMORIX_OPTION_UPSIDE_DOWN, 0},
                                                {LUMORIX_OPTION_RGB, 0},
                                                {LUMORIX_OPTION_CALLBACK_THREAD, 1},
                                                {LUMORIX_OPTION_FRAME_DEQUE_LENGTH, 8}};
  auto cam = makeCamera(0);
  ASSERT_EQ(cam->start(), S_OK);
  for (auto [code, value] : cases) {
    int32_t before = -5, after = -6;
    ASSERT_EQ(cam->get_Option(code, &before), S_OK) << code;
    EXPECT_EQ(cam->put_Option(code, value), E_UNEXPECTED) << code;
    ASSERT_EQ(cam->get_Option(code, &after), S_OK) << code;
    EXPECT_EQ(after, before) << code;
  }
  // Out of range still says so first.
  EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_FRAME_DEQUE_LENGTH, 1), E_INVALIDARG);
  EXPECT_EQ(cam->stop(), S_OK);
  for (auto [code, value] : cases) EXPECT_EQ(cam->put_Option(code, value), S_OK) << code;
}

// The priority reaches running threads under the control lock; a callback that sets it while
// the host stops the camera must not wait for the stop that is joining it.
TEST(OptionTable, ThreadPriorityFromACallbackDuringStop) {
  struct Probe {
    BaseImpl* cam;
    std::atomic<uint32_t> calls{0};
    std::atomic<HRESULT> last{S_OK};
    static void onData(const uint8_t*, const LumorixFrameHeader*, int32_t, void* c) {
      auto* p = static_cast<Probe*>(c);
      const uint32_t n = ++p->calls;
      const HRESULT hr = p->cam->put_Option(LUMORIX_OPTION_THREAD_PRIORITY, int32_t(n % 3));
      if (FAILED(hr)) p->last = hr;
    }
  };
  for (int round = 0; round < 20; ++round) {
    auto cam = makeCamera(0);
    Probe probe;
    probe.cam = cam.get();
    ASSERT_EQ(cam->start(Probe::onData, nullptr, nullptr, nullptr, &probe), S_OK);
    for (int i = 0; i < 2000 && probe.calls.load() < 3; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(probe.calls.load(), 3u);
    EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_THREAD_PRIORITY, 2) & ~S_FALSE, S_OK);
    EXPECT_EQ(cam->stop(), S_OK);
    EXPECT_FALSE(cam->hasThreads());
    EXPECT_EQ(probe.last.load(), S_OK);
  }
}

// The grabber and the fill-buffer thread run at the stored level from their start, whether it
// was set while stopped or while an earlier run streamed.
TEST(OptionTable, ThreadPriorityHoldsFromEachStart) {
  using platform::ThreadPriority;
  struct Probe {
    std::atomic<ThreadPriority> priority{ThreadPriority::Idle};
    static void onData(const uint8_t*, const LumorixFrameHeader*, int32_t, void* c) {
      static_cast<Probe*>(c)->priority = platform::currentThreadPriority();
    }
  };
  const struct {
    int32_t stopped, streaming;  // set before the start, then before a restart
    ThreadPriority first, second;
  } rows[] = {{0, 2, ThreadPriority::Normal, ThreadPriority::Highest},
              {1, 0, ThreadPriority::AboveNormal, ThreadPriority::Normal},
              {2, 1, ThreadPriority::Highest, ThreadPriority::AboveNormal}};
  for (const auto& row : rows) {
    auto cam = makeCamera(0);
    Probe probe;
    const auto seen = [&](ThreadPriority p) {
      cam->grabberPriority = ThreadPriority::Idle;
      probe.priority = ThreadPriority::Idle;
      for (int i = 0; i < 2000 && (probe.priority.load() == ThreadPriority::Idle ||
                                   cam->grabberPriority.load() == ThreadPriority::Idle);
           ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return probe.priority.load() == p && cam->grabberPriority.load() == p;
    };
    EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_THREAD_PRIORITY, row.stopped) & ~S_FALSE, S_OK);
    ASSERT_EQ(cam->start(Probe::onData, nullptr, nullptr, nullptr, &probe), S_OK);
    EXPECT_TRUE(seen(row.first)) << row.stopped;
    EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_THREAD_PRIORITY, row.streaming), S_OK);
    ASSERT_EQ(cam->RestartStream(false, false, [] {}), S_OK);
    EXPECT_TRUE(seen(row.second)) << row.streaming;
    EXPECT_EQ(cam->stop(), S_OK);
  }
}

// Every code of the table, both directions: a null value is refused before anything is read,
// except by the reload code, which never writes its pointer.
TEST(OptionTable, NullValueAndUnknownCodes) {
  auto cam = makeCamera(LUMORIX_FLAG_BLACKLEVEL | kTec | kPrecise);
  for (const OptionRow& row : optionRows()) {
    if (!row.get) continue;
    const HRESULT expected = row.code == LUMORIX_OPTION_RELOAD ? E_NOTIMPL : E_POINTER;
    EXPECT_EQ(cam->get_Option(row.code, nullptr), expected) << row.code;
  }
  cam->usb().canReload = true;
  EXPECT_EQ(cam->get_Option(LUMORIX_OPTION_RELOAD, nullptr), S_OK);
  EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_RELOAD, 0), E_UNEXPECTED);  // video mode

  int32_t value = 0;
  for (uint32_t code : {0u, 51u, 0x80000014u, 0x80000016u, 0xFFFFFFFFu}) {
    EXPECT_EQ(cam->put_Option(code, 0), E_INVALIDARG) << code;
    EXPECT_EQ(cam->get_Option(code, &value), E_INVALIDARG) << code;
  }
  EXPECT_EQ(cam->get_Option(LUMORIX_OPTION_DEVICE_RESET, &value), E_INVALIDARG);
  EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_PRECISE_FRAMERATE_MAX, 1), E_INVALIDARG);
  EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_PRECISE_FRAMERATE_MIN, 1), E_INVALIDARG);
}

// The interface's own bodies refuse a null pointer themselves and read what the options set; a
// format above the signed range is refused, not taken as a small one.
TEST(OptionTable, InterfaceBodiesFollowTheirOptions) {
  const uint64_t flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;
  auto cam = makeCamera(flags);
  EXPECT_EQ(cam->get_FfcStatus(nullptr), E_POINTER);
  EXPECT_EQ(cam->get_DfcStatus(nullptr), E_POINTER);
  EXPECT_EQ(cam->get_BitDepth(nullptr), E_POINTER);
  EXPECT_EQ(cam->get_PixelFormat(nullptr), E_POINTER);
  uint32_t high = 9, format = 9;
  ASSERT_EQ(cam->put_PixelFormat(2), S_OK);
  EXPECT_EQ(cam->get_BitDepth(&high), S_OK);
  EXPECT_EQ(cam->get_PixelFormat(&format), S_OK);
  EXPECT_EQ(high, 1u);
  EXPECT_EQ(format, 2u);
  EXPECT_EQ(cam->put_PixelFormat(0x80000000u), E_INVALIDARG);
  EXPECT_EQ(cam->put_FfcStatus(1), E_UNEXPECTED);  // no flat field to switch on
}

// At an 8-bit format of a high-bit model the level is given in 8-bit units and kept in sensor
// units; the product must neither wrap nor let a negative through as a small level.
TEST(OptionTable, BlackLevelScalesWithoutWrapping) {
  struct Case {
    uint64_t depth;
    int32_t value;
    HRESULT put;
    uint32_t sensorLevel;  // what the raw code reads afterwards
  };
  const Case cases[] = {
      {LUMORIX_FLAG_RAW10, 31, S_OK, 124},
      {LUMORIX_FLAG_RAW10, 32, E_INVALIDARG, 0},
      {LUMORIX_FLAG_RAW12_ALT, 31, S_OK, 496},
      {LUMORIX_FLAG_RAW14, 31, S_OK, 1984},
      {LUMORIX_FLAG_RAW16, 31, S_OK, 7936},
      {LUMORIX_FLAG_RAW16, 0x01000000, E_INVALIDARG, 0},
      {LUMORIX_FLAG_RAW16, INT32_MIN, E_INVALIDARG, 0},
      {LUMORIX_FLAG_RAW10, -1, E_INVALIDARG, 0},
  };
  for (const Case& c : cases) {
    auto cam = makeCamera(LUMORIX_FLAG_BLACKLEVEL | c.depth);
    EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_BLACKLEVEL, c.value), c.put) << c.value;
    int32_t sensor = -1, scaled = -1;
    EXPECT_EQ(cam->get_Option(LUMORIX_OPTION_BLACKLEVEL_RAW, &sensor), S_OK);
    EXPECT_EQ(uint32_t(sensor), c.sensorLevel) << c.value;
    EXPECT_EQ(cam->get_Option(LUMORIX_OPTION_BLACKLEVEL, &scaled), S_OK);
    EXPECT_EQ(scaled, c.put == S_OK ? c.value : 0) << c.value;
  }
}

// The combined method reads as one only while video and still agree on a model with stills.
TEST(OptionTable, DemosaicMethodsReadTogether) {
  for (uint32_t stills : {2u, 0u}) {
    FakeModelConfig config;
    config.withState = true;
    config.stillCount = stills;
    FakeModel cam(config);
    ASSERT_EQ(cam.put_Option(LUMORIX_OPTION_DEMOSAIC_VIDEO, 2), S_OK);
    int32_t method = -1;
    EXPECT_EQ(cam.get_Option(LUMORIX_OPTION_DEMOSAIC, &method), stills ? E_INVALIDARG : S_OK);
    EXPECT_EQ(method, stills ? -1 : 2);
    ASSERT_EQ(cam.put_Option(LUMORIX_OPTION_DEMOSAIC_STILL, 2), S_OK);
    EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_DEMOSAIC, 2), S_FALSE);
  }
}

// Calls whose effect is on the transport: the DDR register, the trigger-mode notice, the reload
// and the reset's open. Counted from after the setup.
struct TransportCase {
  const char* name;
  uint64_t flags;
  std::function<void(FakeModel&)> setup;
  std::function<HRESULT(FakeModel&)> act;
  HRESULT hr;
  uint32_t ddrWrites;
  int32_t ddrRealtime;  // the value written last, -1 for none
  uint32_t triggerNotices;
  int32_t reloadValue;  // the value the one reload was given, -1 for none
};

constexpr uint64_t kDdr = LUMORIX_FLAG_MONO | LUMORIX_FLAG_DDR;
constexpr uint64_t kSoft = LUMORIX_FLAG_TRIGGER_SOFT;
constexpr HRESULT kGenFailure = static_cast<HRESULT>(0x8007001F);

std::function<HRESULT(FakeModel&)> putting(uint32_t code, int32_t value) {
  return [=](FakeModel& cam) { return cam.put_Option(code, value); };
}
std::function<HRESULT(FakeModel&)> autoExposure(uint32_t on) {
  return [=](FakeModel& cam) { return cam.put_AutoExpoEnable(on); };
}
std::function<void(FakeModel&)> before(std::function<HRESULT(FakeModel&)> step) {
  return [=](FakeModel& cam) { ASSERT_TRUE(SUCCEEDED(step(cam))); };
}

const TransportCase kTransportCases[] = {
    {"DDR mode 1", kDdr, nullptr, putting(LUMORIX_OPTION_DDR_MODE, 1), S_OK, 1, 1, 0, -1},
    {"DDR mode 0, AE off", kDdr, before(putting(LUMORIX_OPTION_DDR_MODE, 1)),
     putting(LUMORIX_OPTION_DDR_MODE, 0), S_OK, 1, 0, 0, -1},
    {"DDR mode auto, AE on", kDdr, before(autoExposure(1)), putting(LUMORIX_OPTION_DDR_MODE, -1),
     S_OK, 1, 1, 0, -1},
    {"DDR mode unchanged", kDdr, nullptr, putting(LUMORIX_OPTION_DDR_MODE, 0), S_FALSE, 0, -1, 0,
     -1},
    {"AE on in DDR mode 0", kDdr, before(autoExposure(0)), autoExposure(1), S_OK, 1, 1, 0, -1},
    {"AE off in DDR mode 0", kDdr, before(autoExposure(1)), autoExposure(0), S_OK, 1, 0, 0, -1},
    {"AE in DDR mode 1", kDdr, before(putting(LUMORIX_OPTION_DDR_MODE, 1)), autoExposure(0), S_OK,
     0, -1, 0, -1},
    {"trigger while streaming", kSoft, [](FakeModel& cam) { ASSERT_EQ(cam.start(), S_OK); },
     putting(LUMORIX_OPTION_TRIGGER, 1), S_OK, 0, -1, 1, -1},
    {"trigger stopped", kSoft, nullptr, putting(LUMORIX_OPTION_TRIGGER, 1), S_OK, 0, -1, 0, -1},
    {"trigger on a DDR model", kDdr | kSoft, before(autoExposure(1)),
     putting(LUMORIX_OPTION_TRIGGER, 1), S_OK, 1, 0, 0, -1},
    {"reload in video mode", 0, [](FakeModel& cam) { cam.usb().canReload = true; },
     putting(LUMORIX_OPTION_RELOAD, 5), E_UNEXPECTED, 0, -1, 0, -1},
    {"reload in trigger mode", 0,
     [](FakeModel& cam) { cam.usb().canReload = true, cam.usb().triggerMode = 1; },
     putting(LUMORIX_OPTION_RELOAD, 5), S_OK, 0, -1, 0, 5},
    {"reset, the open fails", 0, [](FakeModel& cam) { cam.openResult = kGenFailure; },
     putting(LUMORIX_OPTION_DEVICE_RESET, 0), kGenFailure, 0, -1, 0, -1},
    {"reset, request on a closed device", 0, nullptr, putting(LUMORIX_OPTION_DEVICE_RESET, 0),
     E_UNEXPECTED, 0, -1, 0, -1},
};

TEST(OptionTable, WhatReachesTheTransport) {
  for (const TransportCase& c : kTransportCases) {
    SCOPED_TRACE(c.name);
    auto cam = makeCamera(c.flags);
    if (c.setup) c.setup(*cam);
    FakeTransport& usb = cam->usb();
    usb.ddrWrites = 0, usb.ddrRealtime = -1, usb.triggerNotices = 0, usb.reloads = 0;
    EXPECT_EQ(c.act(*cam), c.hr);
    EXPECT_EQ(usb.ddrWrites.load(), c.ddrWrites);
    EXPECT_EQ(usb.ddrRealtime.load(), c.ddrRealtime);
    EXPECT_EQ(usb.triggerNotices.load(), c.triggerNotices);
    EXPECT_EQ(usb.reloads.load(), c.reloadValue < 0 ? 0u : 1u);
    EXPECT_EQ(usb.reloadValue.load(), c.reloadValue);
    cam->stop();
  }
}

// A processor that maps tones itself is handed each new curve at once; a software state picks
// the curve up per frame and hands nothing.
TEST(OptionTable, CurveReachesTheProcessorAtOnce) {
  const struct {
    int32_t value;
    HRESULT put;
    size_t handed;  // curves handed since the start, on the processor model
  } steps[] = {{2, S_FALSE, 0}, {0, S_OK, 1}, {1, S_OK, 2}, {1, S_FALSE, 2}, {3, E_INVALIDARG, 2}};
  for (const uint64_t flags : {LUMORIX_FLAG_ISP, uint64_t{0}}) {
    auto cam = makeCamera(flags);
    FakeHelper& h = *cam->fakeHelper();
    InitPipeLineStep2(h);  // the model's start wires the processor's hooks
    const size_t atStart = h.luts().size();
    EXPECT_EQ(atStart, flags ? 1u : 0u);
    for (const auto& step : steps) {
      EXPECT_EQ(cam->put_Option(LUMORIX_OPTION_CURVE, step.value), step.put) << step.value;
      EXPECT_EQ(h.luts().size(), atStart + (flags ? step.handed : 0)) << step.value;
    }
    if (!flags) continue;
    const auto luts = h.luts();
    EXPECT_NE(luts[atStart], luts[atStart + 1]) << "no curve and the built-in one differ";
  }
}

// Verbose lines: the sharpening line once the state is found and before its value checks; the
// threshold's two lines only after its range check, the setter's only with a state; the output
// layout's on entry, before any check.
TEST(OptionTable, TraceLinesFollowTheChecks) {
#ifdef _WIN32
  GTEST_SKIP() << "the debugger output is not captured here";
#else
  struct Case {
    uint32_t code;
    bool withState;
    int32_t value;
    HRESULT hr;
    const char* lines;
  };
  const Case cases[] = {
      {LUMORIX_OPTION_USM, false, 5, E_UNEXPECTED, ""},
      {LUMORIX_OPTION_USM, true, 501, E_INVALIDARG, "#:PL_SetUSM: 0x000001f5\n"},
      {LUMORIX_OPTION_USM, true, 11 << 16, E_INVALIDARG, "#:PL_SetUSM: 0x000b0000\n"},
      {LUMORIX_OPTION_AUTOEXP_THRESHOLD, true, 26, E_INVALIDARG, ""},
      {LUMORIX_OPTION_AUTOEXP_THRESHOLD, false, 5, E_UNEXPECTED,
       "#:LUMORIX_OPTION_AUTOEXP_THRESHOLD: 5\n"},
      {LUMORIX_OPTION_AUTOEXP_THRESHOLD, true, 5, S_OK,
       "#:LUMORIX_OPTION_AUTOEXP_THRESHOLD: 5\n#:PL_SetAeThreshold: 5\n"},
      {LUMORIX_OPTION_RGB, false, 9, E_INVALIDARG, "#:OPTION_RGB: 9\n"},
      {LUMORIX_OPTION_RGB, true, 2, S_OK, "#:OPTION_RGB: 2\n"},
  };
  auto registry = platform::MakeMemoryRegistry();
  registry->writeDword("Software\\Brenvik\\dshow", "log", 2);
  ProcessEnvironment env;
  env.registry = registry.get();
  InitProcessGlobals(env);
  ASSERT_EQ(LogMask() & kLogVerbose, kLogVerbose);
  for (const Case& c : cases) {
    FakeModelConfig config;
    config.withState = c.withState;
    FakeModel cam(config);
    testing::internal::CaptureStderr();
    const HRESULT hr = cam.put_Option(c.code, c.value);
    const std::string lines = testing::internal::GetCapturedStderr();
    EXPECT_EQ(hr, c.hr) << c.code << " " << c.value;
    EXPECT_EQ(lines, c.lines) << c.code << " " << c.value;
  }
  InitProcessGlobals();
#endif
}

}  // namespace
