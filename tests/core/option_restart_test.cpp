// The options that restart the stream, on the fake model with a real pipeline state: unchanged
// values, the camera's own threads, the host, a stopped camera and a failing start; the format
// switch over made-up flag words; the trigger rules and the factory option.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "base/lumorix_events.h"
#include "base/lumorix_flags.h"
#include "base/pixel_formats.h"
#include "core/lumorix_options.h"
#include "core/stream/frame_geometry.h"
#include "pipeline/pl_setters.h"
#include "tests/core/stream/stream_test_support.h"
#include "tests/support/fake_model.h"

namespace {

using zxstream::EventLog;
using zxstream::waitFor;

constexpr uint64_t kTwoFormats = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12;

void ignoreData(const uint8_t*, const LumorixFrameHeader*, int32_t, void*) {}

int32_t option(BaseImpl& cam, uint32_t code) {
  int32_t value = -7;
  EXPECT_EQ(cam.get_Option(code, &value), S_OK) << "code " << code;
  return value;
}

// One restart code: the value it has on a fresh camera and a new one.
struct RestartCase {
  const char* name;
  uint32_t code;
  int32_t same, changed;
  bool startTriggered = false;  // starts in software trigger mode, so the change is back to video
};
const RestartCase kRestartCases[] = {
    {"bit depth", LUMORIX_OPTION_BITDEPTH, 0, 1},
    {"trigger", LUMORIX_OPTION_TRIGGER, 1, 0, true},
    {"binning", LUMORIX_OPTION_BINNING, 1, 2},
    {"rotate", LUMORIX_OPTION_ROTATE, 0, 90},
    {"pixel format", LUMORIX_OPTION_PIXEL_FORMAT, 0, 2},
    {"byte order", LUMORIX_OPTION_BYTEORDER, 1, 0},
};

FakeModelConfig restartConfig(uint64_t extraFlags = 0) {
  return FakeModelConfig{.flags = kTwoFormats | extraFlags, .withState = true};
}

// Both puts from inside a camera thread, once.
struct OptionProbe {
  BaseImpl* cam = nullptr;
  RestartCase row{};
  uint32_t onCode = kEventImage;
  std::atomic<int> calls{0};
  std::atomic<HRESULT> same{E_PENDING}, changed{E_PENDING};
  void act() {
    if (calls++ != 0) return;
    same = cam->put_Option(row.code, row.same);
    changed = cam->put_Option(row.code, row.changed);
  }
  static void onData(const uint8_t*, const LumorixFrameHeader*, int32_t, void* c) {
    static_cast<OptionProbe*>(c)->act();
  }
  static void onEvent(uint32_t code, void* c) {
    auto* probe = static_cast<OptionProbe*>(c);
    if (code == probe->onCode) probe->act();
  }
  static void onError(int32_t, void* c) { static_cast<OptionProbe*>(c)->act(); }
};

enum Source { Data, EventThreaded, Error, Focus };
const char* const kSourceNames[] = {"data callback", "callback thread", "error callback",
                                    "focus thread"};

HRESULT startWithProbe(FakeModel& cam, OptionProbe& probe, int source) {
  if (source == Data) return cam.start(OptionProbe::onData, nullptr, nullptr, nullptr, &probe);
  if (source == Error) {
    cam.setErrorCallback(OptionProbe::onError, &probe);
    cam.script({GrabStep{}, GrabStep{GrabStep::Result, -4}});
    return cam.start();
  }
  cam.setCallbackThreadOption(source == EventThreaded);
  probe.onCode = source == Focus ? kEventFocusPosition : kEventImage;
  cam.focusMovesLeft = 1;
  return cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, OptionProbe::onEvent, &probe);
}

// A restart there would join the calling thread: refused, nothing changed, no restart.
TEST(OptionRestarts, FromEveryCameraThreadUnchangedIsOneAndAChangeIsRefused) {
  for (int source = Data; source <= Focus; ++source) {
    for (const RestartCase& row : kRestartCases) {
      FakeModel cam(restartConfig(source == Focus ? LUMORIX_FLAG_FOCUS : 0));
      if (row.startTriggered) cam.usb().triggerMode = 1;
      OptionProbe probe;
      probe.cam = &cam;
      probe.row = row;
      ASSERT_EQ(startWithProbe(cam, probe, source), S_OK) << kSourceNames[source];
      if (row.startTriggered) cam.trigger(0xFFFF);
      ASSERT_TRUE(waitFor([&] { return probe.changed.load() != E_PENDING; }))
          << kSourceNames[source] << ", " << row.name;
      EXPECT_EQ(probe.same.load(), S_FALSE) << kSourceNames[source] << ", " << row.name;
      EXPECT_EQ(probe.changed.load(), kWrongThread) << kSourceNames[source] << ", " << row.name;
      EXPECT_EQ(option(cam, row.code), row.same) << kSourceNames[source] << ", " << row.name;
      EXPECT_EQ(cam.startSteps(), 1u) << kSourceNames[source] << ", " << row.name;
      EXPECT_EQ(cam.stop(), S_OK);
      EXPECT_FALSE(cam.hasThreads());
    }
  }
}

TEST(OptionRestarts, FromTheHostAChangeRestartsOnceAndFramesContinue) {
  for (const RestartCase& row : kRestartCases) {
    FakeModel cam(restartConfig());
    if (row.startTriggered) cam.usb().triggerMode = 1;
    ASSERT_EQ(cam.start(ignoreData), S_OK) << row.name;
    EXPECT_EQ(cam.put_Option(row.code, row.same), S_FALSE) << row.name;
    EXPECT_EQ(cam.startSteps(), 1u) << row.name << ": unchanged must not restart";
    EXPECT_EQ(cam.put_Option(row.code, row.changed), S_OK) << row.name;
    EXPECT_EQ(cam.startSteps(), 2u) << row.name;
    EXPECT_TRUE(cam.started()) << row.name;
    EXPECT_EQ(option(cam, row.code), row.changed) << row.name;
    const uint32_t before = cam.framesGrabbed();
    EXPECT_TRUE(waitFor([&] { return cam.framesGrabbed() > before + 3; })) << row.name;
    EXPECT_EQ(cam.stop(), S_OK);
  }
}

TEST(OptionRestarts, StoppedTheChangeIsAppliedWithoutAStart) {
  for (const RestartCase& row : kRestartCases) {
    FakeModel cam(restartConfig());
    if (row.startTriggered) cam.usb().triggerMode = 1;
    EXPECT_EQ(cam.put_Option(row.code, row.changed), S_OK) << row.name;
    EXPECT_EQ(option(cam, row.code), row.changed) << row.name;
    EXPECT_EQ(cam.startSteps(), 0u) << row.name;
    EXPECT_FALSE(cam.started()) << row.name;
    EXPECT_FALSE(cam.hasThreads()) << row.name;
  }
}

// A start that fails inside the restart is reported and leaves a camera the host can start again.
TEST(OptionRestarts, AFailingStartStepIsReturnedWithNoThreadLeft) {
  for (const RestartCase& row : kRestartCases) {
    FakeModel cam(restartConfig());
    if (row.startTriggered) cam.usb().triggerMode = 1;
    ASSERT_EQ(cam.start(), S_OK) << row.name;
    BaseImpl::FailThreadStartAt(1);
    EXPECT_EQ(cam.put_Option(row.code, row.changed), E_OUTOFMEMORY) << row.name;
    BaseImpl::FailThreadStartAt(0);
    EXPECT_FALSE(cam.started()) << row.name;
    EXPECT_FALSE(cam.hasThreads()) << row.name;
    EXPECT_EQ(cam.start(), S_OK) << row.name;
    EXPECT_TRUE(waitFor([&] { return cam.framesGrabbed() > 0; })) << row.name;
    EXPECT_EQ(cam.stop(), S_OK);
  }
}

// A quarter turn to three quarters keeps the shape: no restart. The current angle is 1 either way.
TEST(OptionRestarts, RotationKeepingTheShapeAppliesAtOnce) {
  const struct {
    int32_t from, to;
    HRESULT expected;
    uint32_t restarts;
  } rows[] = {
      {0, 180, S_OK, 0},        {90, 270, S_OK, 0},        {0, 270, S_OK, 1},
      {180, 90, S_OK, 1},       {90, 90, S_FALSE, 0},      {180, 180, S_FALSE, 0},
      {0, 45, E_INVALIDARG, 0}, {0, -90, E_INVALIDARG, 0},
  };
  for (const auto& row : rows) {
    FakeModel cam(restartConfig());
    ASSERT_EQ(PL_SetRotate(*cam.fakeHelper(), uint32_t(row.from)), row.from ? S_OK : S_FALSE);
    ASSERT_EQ(cam.start(), S_OK);
    EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_ROTATE, row.to), row.expected)
        << row.from << "->" << row.to;
    EXPECT_EQ(cam.startSteps() - 1, row.restarts) << row.from << "->" << row.to;
    EXPECT_EQ(option(cam, LUMORIX_OPTION_ROTATE), row.expected == S_OK ? row.to : row.from);
    EXPECT_EQ(cam.stop(), S_OK);
  }
}

TEST(OptionRestarts, BinningTakesSumsAndAveragesAndDiscardsCalibration) {
  const struct {
    int32_t value;
    HRESULT expected;
    int32_t stored;
  } rows[] = {
      {0x81, S_FALSE, 1},       {1, S_FALSE, 1},         {4, S_OK, 4},
      {0x84, S_OK, 0x84},       {0, E_INVALIDARG, 1},    {5, E_INVALIDARG, 1},
      {0x80, E_INVALIDARG, 1},  {0x85, E_INVALIDARG, 1}, {-1, E_INVALIDARG, 1},
      {0x182, E_INVALIDARG, 1},
  };
  for (const auto& row : rows) {
    FakeModel cam(restartConfig());
    PLHlperBase& h = *cam.fakeHelper();
    ASSERT_EQ(PL_SetFfcStatus(h, 0xFF0000FFu), S_OK);
    ASSERT_EQ(PL_FfcOnePush(h), S_OK);
    EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_BINNING, row.value), row.expected) << row.value;
    EXPECT_EQ(option(cam, LUMORIX_OPTION_BINNING), row.stored) << row.value;
    const bool discarded = h.ctx8->ffcFrames == 0 && h.ctx8->ffcRequest == 0;
    EXPECT_EQ(discarded, row.expected == S_OK) << row.value;
  }
}

// Formats by flag word: which one each switch picks and which state it builds while streaming.
TEST(OptionFormatSwitch, BitDepthAndPixelFormatPickTheFormatAndRebuildTheState) {
  constexpr int kNone = -1;
  const struct {
    const char* name;
    uint64_t flags;
    uint8_t startFormat;
    uint32_t code;
    int32_t value;
    HRESULT expected;
    int format;  // afterwards
  } rows[] = {
      {"8 and 12: deep", kTwoFormats, 0, LUMORIX_OPTION_BITDEPTH, 1, S_OK, 2},
      {"8 and 12: by number", kTwoFormats, 0, LUMORIX_OPTION_PIXEL_FORMAT, 2, S_OK, 2},
      {"8 and 12: back to 8", kTwoFormats, 2, LUMORIX_OPTION_BITDEPTH, 0, S_OK, 0},
      {"8 and 12: 10 not offered", kTwoFormats, 0, LUMORIX_OPTION_PIXEL_FORMAT, 1, E_NOTIMPL, 0},
      {"8 and 12: past the last", kTwoFormats, 0, LUMORIX_OPTION_PIXEL_FORMAT, 12, E_INVALIDARG, 0},
      {"8 and 12: negative", kTwoFormats, 0, LUMORIX_OPTION_PIXEL_FORMAT, -1, E_INVALIDARG, 0},
      {"12 alternative alone", LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12_ALT, 0,
       LUMORIX_OPTION_BITDEPTH, 1, S_OK, 10},
      {"8 alternative", LUMORIX_FLAG_RAW8_ALT | LUMORIX_FLAG_RAW12, 2, LUMORIX_OPTION_BITDEPTH, 0,
       S_OK, 9},
      {"three: 10 first", kTwoFormats | LUMORIX_FLAG_RAW10, 0, LUMORIX_OPTION_BITDEPTH, 1, S_OK, 1},
      {"three: 12 by number", kTwoFormats | LUMORIX_FLAG_RAW10, 0, LUMORIX_OPTION_PIXEL_FORMAT, 2,
       S_OK, 2},
      {"three: 10 to 12 is still deep", kTwoFormats | LUMORIX_FLAG_RAW10, 1,
       LUMORIX_OPTION_BITDEPTH, 1, S_FALSE, 1},
      {"no 8-bit format", LUMORIX_FLAG_RAW12, 2, LUMORIX_OPTION_BITDEPTH, 0, E_INVALIDARG, 2},
      {"one format", LUMORIX_FLAG_RAW12, 2, LUMORIX_OPTION_PIXEL_FORMAT, 2, S_FALSE, 2},
      {"8-bit only", LUMORIX_FLAG_RAW8, 0, LUMORIX_OPTION_BITDEPTH, 1, E_NOTIMPL, kNone},
  };
  for (const auto& row : rows) {
    FakeModel cam(
        FakeModelConfig{.flags = row.flags, .withState = true, .pixelFormat = row.startFormat});
    ASSERT_EQ(cam.start(), S_OK) << row.name;
    EXPECT_EQ(cam.put_Option(row.code, row.value), row.expected) << row.name;
    int32_t format = kNone;
    EXPECT_EQ(cam.get_Option(LUMORIX_OPTION_PIXEL_FORMAT, &format), S_OK) << row.name;
    if (row.format != kNone) {
      EXPECT_EQ(format, row.format) << row.name;
      const FakeHelper& h = *cam.fakeHelper();
      EXPECT_EQ(h.ctx16 != nullptr, IsHighBitFormat(uint32_t(row.format))) << row.name;
      EXPECT_EQ(h.ctx8 != nullptr, !IsHighBitFormat(uint32_t(row.format))) << row.name;
      int32_t deep = -1;
      EXPECT_EQ(cam.get_Option(LUMORIX_OPTION_BITDEPTH, &deep), S_OK) << row.name;
      EXPECT_EQ(deep, IsHighBitFormat(uint32_t(row.format)) ? 1 : 0) << row.name;
    }
    EXPECT_EQ(cam.stop(), S_OK);
  }
}

TEST(OptionTrigger, ModesFollowTheSoftAndExternalFlags) {
  constexpr uint64_t kSoft = LUMORIX_FLAG_TRIGGER_SOFT, kExt = LUMORIX_FLAG_TRIGGER_EXT;
  constexpr HRESULT kNo = E_NOTIMPL, kBad = E_INVALIDARG;
  const struct {
    const char* name;
    uint64_t flags;
    HRESULT expected[6];  // values 0, 1, 2, 3, 4, -1 on a camera in video mode
  } rows[] = {
      {"neither", 0, {S_FALSE, S_OK, kNo, kNo, kBad, kBad}},
      {"soft", kSoft, {S_FALSE, S_OK, kNo, kNo, kBad, kBad}},
      {"external", kExt, {S_FALSE, kNo, S_OK, S_OK, kBad, kBad}},
      {"both", kSoft | kExt, {S_FALSE, S_OK, S_OK, S_OK, kBad, kBad}},
  };
  const int32_t values[6] = {0, 1, 2, 3, 4, -1};
  for (const auto& row : rows) {
    for (int i = 0; i < 6; ++i) {
      FakeModel cam(FakeModelConfig{.flags = row.flags});
      EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_TRIGGER, values[i]), row.expected[i])
          << row.name << ", " << values[i];
      EXPECT_EQ(option(cam, LUMORIX_OPTION_TRIGGER), row.expected[i] == S_OK ? values[i] : 0)
          << row.name << ", " << values[i];
    }
  }
}

// The single-frame flag is part of the mode: 2 and 3 differ, each is unchanged against itself.
TEST(OptionTrigger, SingleFrameExternalIsItsOwnMode) {
  FakeModel cam(FakeModelConfig{.flags = LUMORIX_FLAG_TRIGGER_EXT});
  const struct {
    int32_t value;
    HRESULT expected;
    int32_t readBack;
  } steps[] = {{3, S_OK, 3}, {3, S_FALSE, 3}, {2, S_OK, 2}, {2, S_FALSE, 2}, {0, S_OK, 0}};
  for (const auto& step : steps) {
    EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_TRIGGER, step.value), step.expected) << step.value;
    EXPECT_EQ(option(cam, LUMORIX_OPTION_TRIGGER), step.readBack) << step.value;
  }
}

// A model that keeps its own presets.
class PresetModel : public FakeModel {
 public:
  using FakeModel::FakeModel;
  HRESULT STDMETHODCALLTYPE LoadPreset(uint32_t index) override {
    loaded.push_back(index);
    return answer;
  }
  std::vector<uint32_t> loaded;
  HRESULT answer = static_cast<HRESULT>(0x80070005);
};

TEST(OptionFactory, OnlyZeroAndTheModelsOwnPresetLoadAnswers) {
  const struct {
    int32_t value;
    HRESULT expected;
    size_t loads;
  } rows[] = {
      {0, static_cast<HRESULT>(0x80070005), 1}, {1, E_INVALIDARG, 0}, {-1, E_INVALIDARG, 0}};
  for (const auto& row : rows) {
    PresetModel cam;
    EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_FACTORY, row.value), row.expected) << row.value;
    ASSERT_EQ(cam.loaded.size(), row.loads) << row.value;
    if (row.loads) {
      EXPECT_EQ(cam.loaded[0], 0xFFFFFFFFu);
    }
  }
  FakeModel plain;
  EXPECT_EQ(plain.put_Option(LUMORIX_OPTION_FACTORY, 0), static_cast<HRESULT>(0xFFFFFFFF))
      << "no pipeline helper: nothing to apply";
  int32_t value = 0;
  EXPECT_EQ(plain.get_Option(LUMORIX_OPTION_FACTORY, &value), E_NOTIMPL);
}

TEST(OptionFactory, RefusedOnACameraThread) {
  PresetModel cam;
  std::atomic<HRESULT> result{E_PENDING};
  struct Ctx {
    PresetModel* cam;
    std::atomic<HRESULT>* result;
  } ctx{&cam, &result};
  ASSERT_EQ(cam.start(
                [](const uint8_t*, const LumorixFrameHeader*, int32_t, void* c) {
                  auto* x = static_cast<Ctx*>(c);
                  if (x->result->load() == E_PENDING)
                    *x->result = x->cam->put_Option(LUMORIX_OPTION_FACTORY, 0);
                },
                nullptr, nullptr, nullptr, &ctx),
            S_OK);
  ASSERT_TRUE(waitFor([&] { return result.load() != E_PENDING; }));
  EXPECT_EQ(result.load(), kWrongThread);
  EXPECT_TRUE(cam.loaded.empty());
  EXPECT_EQ(cam.stop(), S_OK);
}

// A stopped camera's reset still tells the last start's event callback, until a start is
// accepted: one that fails leaves it, and its own context is never called.
TEST(OptionFactory, WhileStoppedTheLastStartsEventCallbackHearsTheReset) {
  FakeModel cam(restartConfig());
  EventLog first, failed, second;
  const auto startAndStop = [&](EventLog& log) {
    ASSERT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log), S_OK);
    ASSERT_EQ(cam.stop(), S_OK);
  };
  startAndStop(first);
  EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_FACTORY, 0), S_OK);
  EXPECT_EQ(cam.LoadPreset(0xFFFFFFFFu), S_OK);
  EXPECT_EQ(first.count(kEventFactoryReset), 2u);
  const struct {
    const char* how;
    HRESULT expected;
    std::function<void(bool)> fail;  // arms the failure, or disarms it
  } failures[] = {
      {"the device refuses", E_FAIL,
       [&](bool on) { cam.openResult = on ? static_cast<HRESULT>(0x80070005) : S_OK; }},
      {"no pull queue", E_OUTOFMEMORY, [](bool on) { FailFrameAllocationAt(on ? 1 : 0); }},
  };
  size_t heard = 2;
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.how);
    failure.fail(true);
    EXPECT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &failed),
              failure.expected);
    failure.fail(false);
    EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_FACTORY, 0), S_OK);
    EXPECT_EQ(first.count(kEventFactoryReset), ++heard) << "the failed start took the callback";
    EXPECT_TRUE(failed.codes.empty()) << "a failed start's context was called";
  }
  startAndStop(second);
  EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_FACTORY, 0), S_OK);
  EXPECT_EQ(first.count(kEventFactoryReset), heard) << "a replaced callback was called";
  EXPECT_EQ(second.count(kEventFactoryReset), 1u);
}

// Flat- and dark-field frames kept or asked for: none once calibration is discarded.
int calibration(FakeModel& cam) {
  const auto& c = *cam.fakeHelper()->ctx8;
  return c.ffcFrames + c.dfcFrames + c.ffcRequest;
}

// Calibration under way and DDR mode on: what a factory reset undoes.
void setWhatAResetUndoes(FakeModel& cam) {
  PLHlperBase& h = *cam.fakeHelper();
  ASSERT_EQ(PL_SetFfcStatus(h, 0xFF0000FFu), S_OK);
  ASSERT_EQ(PL_FfcOnePush(h), S_OK);
  ASSERT_EQ(PL_SetDfcStatus(h, 0xFF0000FFu), S_OK);
  cam.setDdrMode(1);
}

// From inside the stopped reset's event a host is answered as from anywhere else: no lock of the
// camera's is held around it. The reset is done by then: DDR off, calibration discarded.
TEST(OptionFactory, CallsFromInsideTheStoppedResetsEventAnswerAsOutside) {
  struct Inside {
    FakeModel* cam = nullptr;
    EventLog log;
    std::vector<HRESULT> answers;
    int32_t ddrSeen = -1;
    int calibrationSeen = -1;
    static void onEvent(uint32_t code, void* x) {
      auto& in = *static_cast<Inside*>(x);
      in.log.add(code);
      if (code != kEventFactoryReset || in.log.count(kEventFactoryReset) != 1) return;
      FakeModel& c = *in.cam;
      in.ddrSeen = c.ddrMode();
      in.calibrationSeen = calibration(c);
      in.answers = {c.put_Option(LUMORIX_OPTION_ROTATE, 90),
                    c.start(nullptr, nullptr, nullptr, nullptr, nullptr, onEvent, x), c.stop(),
                    c.put_Option(LUMORIX_OPTION_FACTORY, 0)};
    }
  };
  for (const bool byPreset : {false, true}) {
    SCOPED_TRACE(byPreset ? "the preset" : "the option");
    auto cam = std::make_unique<FakeModel>(restartConfig());
    auto in = std::make_unique<Inside>();
    in->cam = cam.get();
    ASSERT_EQ(cam->start(nullptr, nullptr, nullptr, nullptr, nullptr, Inside::onEvent, in.get()),
              S_OK);
    ASSERT_EQ(cam->stop(), S_OK);
    ASSERT_NO_FATAL_FAILURE(setWhatAResetUndoes(*cam));
    ASSERT_NE(calibration(*cam), 0);
    std::atomic<HRESULT> reset{E_PENDING};
    std::thread host([&] {
      reset = byPreset ? cam->LoadPreset(0xFFFFFFFFu) : cam->put_Option(LUMORIX_OPTION_FACTORY, 0);
    });
    if (!waitFor([&] { return reset.load() != E_PENDING; })) {
      host.detach();
      (void)cam.release();
      (void)in.release();
      FAIL() << "hung: the reset, in its event callback's calls back into the camera";
    }
    host.join();
    EXPECT_EQ(reset.load(), S_OK);
    EXPECT_EQ(in->answers, (std::vector<HRESULT>{S_OK, S_OK, S_OK, S_OK}))
        << "rotation, start, stop, factory option";
    EXPECT_EQ(in->log.count(kEventFactoryReset), 2u);
    EXPECT_EQ(in->ddrSeen, 0) << "DDR mode at the event";
    EXPECT_EQ(in->calibrationSeen, 0) << "calibration at the event";
  }
}

TEST(OptionFactory, TheResetStepRaisesItsEventClearsDdrAndDiscardsCalibration) {
  FakeModel cam(restartConfig());
  ASSERT_NO_FATAL_FAILURE(setWhatAResetUndoes(cam));
  EventLog log;
  ASSERT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log), S_OK);
  cam.FactoryResetNotify();
  EXPECT_TRUE(waitFor([&] { return log.count(kEventFactoryReset) == 1; }));
  EXPECT_EQ(cam.ddrMode(), 0);
  EXPECT_EQ(calibration(cam), 0);
  EXPECT_EQ(cam.stop(), S_OK);
}

}  // namespace
