// The restart options on the USB3 3.1 MP camera streaming its simulated chart at 1024 x 770 into
// a pin's exact buffer: binning, byte order, software trigger, rotation against the pin's buffer,
// the exposure per trigger mode, host threads changing options while the pin pulls, host threads
// setting each other's callbacks from inside them, a clear against a callback waiting in a set, a
// stop from a callback beside the grabber's set, a call that takes the control lock from a
// callback beside a set of it while a stop or start holds the lock, and starts against property
// calls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/geometry.h"
#include "core/lumorix_options.h"
#include "pipeline/store/device_settings.h"
#include "platform/event.h"
#include "sim/eeprom_image.h"
#include "sim/frame_content.h"
#include "sim/usb3_31mp_family.h"
#include "tests/models/model_rig.h"
#include "tests/support/stream_rig.h"

namespace {

using namespace std::chrono_literals;
using testing_models::ModelRig;

constexpr uint32_t kPreview = 1;  // 1024 x 770
constexpr uint32_t kW = 1024, kH = 770;
constexpr uint32_t kStale = 5;  // frames grabbed or converted before a change

std::vector<uint8_t> pinBuffer(uint32_t w, uint32_t h) {
  return std::vector<uint8_t>(size_t{DibRowBytes(24, w)} * h);
}

void ignoreEvent(uint32_t, void*) {}

// Polls until pred holds; false once the bound has passed.
template <class Pred>
bool within(Pred pred, std::chrono::milliseconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  for (; !pred(); std::this_thread::sleep_for(1ms))
    if (std::chrono::steady_clock::now() > end) return false;
  return true;
}

class OptionsRig {
 public:
  // With pullQueue the frames go through the delivery thread into the queue PullImage reads; a
  // serial goes into the device's EEPROM.
  explicit OptionsRig(bool pullQueue = false, const char* serial = nullptr) {
    rig_.device().setFramePeriodMs(5);
    if (serial) rig_.device().setEeprom(sim::EepromImage(2).setSerial(serial).build());
    sim::SceneOptions scene = sim::Usb3Mp31Family::sceneOptions();
    scene.referenceExposureUs = 94000;
    rig_.device().setContent(sim::ContentKind::Chart, scene);
    cam_ = rig_.open(ZX_W('!'));
    const HRESULT started =
        !cam_ || cam_->put_eSize(kPreview) != S_OK ? E_FAIL
        : pullQueue ? cam_->start(nullptr, nullptr, nullptr, nullptr, nullptr, &ignoreEvent)
                    : cam_->start();
    if (started != S_OK) cam_ = nullptr;
    if (cam_) cam_->put_AutoExpoEnable(0);
  }
  ~OptionsRig() {
    if (cam_) cam_->stop();
  }
  bool ok() const { return cam_ != nullptr; }
  BaseImpl& cam() { return *cam_; }
  PLHlperBase& helper() { return rig_.helper(); }

  // One pin pull into dst, woken after `bound`: S_OK a frame, E_FAIL a frame that does not fit,
  // S_FALSE none in time. The pulls end on the watchdog's word, not on a clock of their own: one
  // that ran a little behind the watchdog's took its one wake and then waited for ever.
  HRESULT pull(std::vector<uint8_t>& dst, std::chrono::milliseconds bound) {
    platform::Event wake(platform::Event::Kind::AutoReset, false);
    std::atomic<bool> done{false}, woken{false};
    std::thread watchdog([&] {
      const auto end = std::chrono::steady_clock::now() + bound;
      while (!done && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(5ms);
      woken = true;  // before the wake: no pull starts a wait once it has been used
      wake.set();
    });
    HRESULT hr = S_FALSE;
    while (hr == S_FALSE && !woken)
      hr = cam_->PullFrameForPin(dst.data(), uint32_t(dst.size()), &wake);
    done = true;
    watchdog.join();
    return hr;
  }
  // The first queued frame of w x h after skipping what was in flight; false when none came.
  bool nextQueued(std::vector<uint8_t>& dst, uint32_t w, uint32_t h) {
    uint32_t got = 0;
    for (int tries = 0; tries < 1000; ++tries) {
      LumorixFrameInfo info{};
      if (cam_->PullImage(dst.data(), 24, 0, &info) != S_OK)
        std::this_thread::sleep_for(5ms);
      else if (info.width == w && info.height == h && ++got > kStale)
        return true;
    }
    return false;
  }
  // The first frame that fits dst after skipping what was in flight; false when none came.
  bool nextFitting(std::vector<uint8_t>& dst, uint32_t skip = kStale) {
    uint32_t got = 0;
    for (int tries = 0; tries < 200; ++tries)
      if (pull(dst, 2s) == S_OK && ++got > skip) return true;
    return false;
  }

 private:
  ModelRig rig_{testing_models::RigOptions{.realTime = true}};
  BaseImpl* cam_ = nullptr;
};

// Exactly half: the frame fills a half-size buffer and one byte less refuses it.
TEST(Usb3_31Options, BinningTwoWhileStreamingGivesHalfSizeFrames) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  const uint32_t w = kW / 2, h = kH / 2 & ~1u;
  std::vector<uint8_t> half = pinBuffer(w, h);
  EXPECT_EQ(rig.pull(half, 5s), E_FAIL) << "a full frame must not fit a half-size buffer";
  ASSERT_EQ(rig.cam().put_Option(LUMORIX_OPTION_BINNING, 2), S_OK);
  ASSERT_TRUE(rig.nextFitting(half, 0));
  std::vector<uint8_t> short_ = pinBuffer(w, h);
  short_.pop_back();
  EXPECT_EQ(rig.pull(short_, 5s), E_FAIL);
  EXPECT_GT(stream_rig::CentreMean(half, w, h), 20.0) << "a picture, not an empty buffer";
  EXPECT_EQ(rig.cam().put_Option(LUMORIX_OPTION_BINNING, 2), S_FALSE);
}

// The pipeline reads a binned frame's samples at the binned size, so they must have been binned
// on both roads out of the camera; a region is cut before binning. A region of the top-left
// quarter shows red left of green.
TEST(Usb3_31Options, BinnedFramesKeepTheChartsColours) {
  constexpr int32_t kSum = 2, kAverage = 0x82;
  const struct {
    bool pullQueue;
    int32_t code;
    bool region;  // 512 x 386 from (2, 2)
  } rows[] = {{false, kSum, false}, {false, kAverage, false}, {false, kAverage, true},
              {true, kSum, false},  {true, kAverage, false},  {true, kAverage, true}};
  for (const auto& row : rows) {
    const std::string what = std::string(row.pullQueue ? "queue" : "pin") + " code " +
                             std::to_string(row.code) + (row.region ? " region" : "");
    OptionsRig rig(row.pullQueue);
    ASSERT_TRUE(rig.ok()) << what;
    if (row.region) {
      ASSERT_EQ(rig.cam().put_Roi(2, 2, 512, 386), S_OK) << what;
    }
    ASSERT_EQ(rig.cam().put_Option(LUMORIX_OPTION_BINNING, row.code), S_OK) << what;
    const uint32_t w = (row.region ? 512 : kW) / 2, h = (row.region ? 386 : kH) / 2 & ~1u;
    std::vector<uint8_t> frame = pinBuffer(w, h);
    ASSERT_TRUE(row.pullQueue ? rig.nextQueued(frame, w, h) : rig.nextFitting(frame)) << what;
    if (!row.region) {
      stream_rig::ExpectChart(frame, w, h, what.c_str());
      continue;
    }
    const stream_rig::Rgb red = stream_rig::PixelAt(frame, w, h, w / 4, h / 2);
    const stream_rig::Rgb green = stream_rig::PixelAt(frame, w, h, w * 3 / 4, h / 2);
    EXPECT_GT(red.r, std::max(red.g, red.b) + 40)
        << what << " red reads " << red.r << "," << red.g << "," << red.b;
    EXPECT_GT(green.g, std::max(green.r, green.b) + 40)
        << what << " green reads " << green.r << "," << green.g << "," << green.b;
  }
}

TEST(Usb3_31Options, ByteOrderZeroPutsRedFirst) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  std::vector<uint8_t> frame = pinBuffer(kW, kH);
  const uint32_t x = stream_rig::PatchX(0, kW), y = stream_rig::PatchY(0, kH);  // the red patch
  const struct {
    int32_t order;
    int high, low;  // byte of the pixel that carries red, and the one that carries blue
  } rows[] = {{1, 2, 0}, {0, 0, 2}, {1, 2, 0}};
  for (const auto& row : rows) {
    EXPECT_EQ(rig.cam().put_Option(LUMORIX_OPTION_BYTEORDER, row.order),
              row.order == 1 && &row == &rows[0] ? S_FALSE : S_OK);
    ASSERT_TRUE(rig.nextFitting(frame)) << row.order;
    for (uint32_t dy = 0; dy < 8; ++dy)
      for (uint32_t dx = 0; dx < 8; ++dx) {
        const uint8_t* px =
            frame.data() + size_t(kH - 1 - (y + dy)) * DibRowBytes(24, kW) + size_t(x + dx) * 3;
        ASSERT_GT(px[row.high], px[row.low] + 40) << "order " << row.order << " at +" << dx;
      }
  }
}

TEST(Usb3_31Options, SoftwareTriggerThenTwoTriggersGivesExactlyTwoFrames) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  std::vector<uint8_t> frame = pinBuffer(kW, kH);
  ASSERT_EQ(rig.pull(frame, 5s), S_OK);
  ASSERT_EQ(rig.cam().put_Option(LUMORIX_OPTION_TRIGGER, 1), S_OK);
  while (rig.pull(frame, 500ms) == S_OK) {
  }  // what was grabbed before the switch
  ASSERT_EQ(rig.cam().trigger(2), S_OK);
  EXPECT_EQ(rig.pull(frame, 5s), S_OK);
  EXPECT_EQ(rig.pull(frame, 5s), S_OK);
  EXPECT_EQ(rig.pull(frame, 500ms), S_FALSE) << "a third frame";
  int32_t mode = -1;
  EXPECT_EQ(rig.cam().get_Option(LUMORIX_OPTION_TRIGGER, &mode), S_OK);
  EXPECT_EQ(mode, 1);
}

// The turned frame is larger than the pin's buffer: refused whole, never written past its end.
TEST(Usb3_31Options, RotationPastThePinsBufferIsRefusedAndTurningBackStreamsAgain) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  std::vector<uint8_t> frame = pinBuffer(kW, kH);
  ASSERT_EQ(rig.pull(frame, 5s), S_OK);
  ASSERT_EQ(rig.cam().put_Option(LUMORIX_OPTION_ROTATE, 90), S_OK);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rig.pull(frame, 5s), E_FAIL) << "frame " << i;
  ASSERT_EQ(rig.cam().put_Option(LUMORIX_OPTION_ROTATE, 0), S_OK);
  ASSERT_TRUE(rig.nextFitting(frame, 0));
  stream_rig::ExpectChart(frame, kW, kH, "turned back");
}

TEST(Usb3_31Options, TheExposureFollowsTheTriggerModesStoredTime) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  // The model offers no trigger flag, so no mode time through the interface: stored as a saved one.
  ASSERT_EQ(SaveModeTime(rig.helper(), true, 50000), S_OK);
  ASSERT_EQ(SaveModeTime(rig.helper(), false, 20000), S_OK);
  const struct {
    int32_t mode;
    uint32_t us;
  } rows[] = {{1, 50000}, {0, 20000}, {1, 50000}};
  for (const auto& row : rows) {
    ASSERT_EQ(rig.cam().put_Option(LUMORIX_OPTION_TRIGGER, row.mode), S_OK) << row.mode;
    uint32_t us = 0;
    EXPECT_EQ(rig.cam().get_ExpoTime(&us), S_OK);
    EXPECT_EQ(us, row.us) << "mode " << row.mode;
  }
}

// Two host threads restart the stream over and over while the pin pulls: nothing deadlocks, the
// pin never gets a frame its buffer cannot hold, and the stream delivers afterwards. A half-size
// frame is refused with E_FAIL (the filter keeps a host from binning under its connection); any
// other failure, a grab error above all, is the camera's.
TEST(Usb3_31Options, HostThreadsToggleBinningAndByteOrderWhileThePinPulls) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  std::atomic<bool> stop{false};
  std::atomic<int> pulled{0}, failed{0}, refused{0};
  // Spans of binning 2: begun before its set, ended once the set back to 1 (which drops the
  // ready half-size frames) has returned.
  std::atomic<int> binnedBegun{0}, binnedEnded{0};
  std::string answers;  // the failed pulls', written by the pin thread, read after its join
  std::thread pin([&] {
    std::vector<uint8_t> frame = pinBuffer(kW, kH);
    while (!stop) {
      const int endedBefore = binnedEnded.load();
      const HRESULT hr = rig.pull(frame, 200ms);
      const int32_t grab = rig.cam().grabStatus();  // negative until the next restart
      const bool binned = binnedBegun.load() > endedBefore;
      if (hr == S_OK) ++pulled;
      if (!FAILED(hr)) continue;
      if (hr == E_FAIL && binned && grab >= 0) {
        ++refused;
        continue;
      }
      ++failed;
      char answer[64];
      std::snprintf(answer, sizeof answer, " 0x%08x%s, grab status %d;", unsigned(hr),
                    binned ? " while binned" : "", int(grab));
      answers += answer;
    }
  });
  auto toggle = [&](uint32_t code, int32_t a, int32_t b) {
    for (int i = 0; i < 100; ++i) {
      // Halfway, let the pin get a frame through (bounded), so pulls and restarts really overlap
      // even on a slow, loaded run.
      for (int wait = 0; i == 50 && pulled.load() == 0 && wait < 2000; ++wait)
        std::this_thread::sleep_for(5ms);
      const int32_t value = i % 2 ? a : b;
      const bool binning = code == LUMORIX_OPTION_BINNING;
      if (binning && value != 1) ++binnedBegun;
      EXPECT_EQ(rig.cam().put_Option(code, value), S_OK);
      if (binning && value == 1) ++binnedEnded;
    }
  };
  std::thread binning(toggle, LUMORIX_OPTION_BINNING, 1, 2);
  std::thread order(toggle, LUMORIX_OPTION_BYTEORDER, 1, 0);
  binning.join();
  order.join();
  stop = true;
  pin.join();
  EXPECT_EQ(failed.load(), 0) << "the pulls that failed:" << answers;
  EXPECT_GT(pulled.load(), 0) << refused.load() << " half-size frames refused";
  std::vector<uint8_t> frame = pinBuffer(kW, kH);
  ASSERT_TRUE(rig.nextFitting(frame));
  stream_rig::ExpectChart(frame, kW, kH, "after the race");
}

// A start rebuilds the pipeline state while a second host thread sets and reads the picture's
// properties: none of them fails or sees a state being freed, and the stream delivers after.
TEST(Usb3_31Options, StartAndStopAgainstPropertiesOnAnotherHostThread) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  std::atomic<bool> done{false};
  std::thread properties([&] {
    for (int32_t i = 0; !done; ++i) {
      EXPECT_EQ(rig.cam().put_Hue(i % 2 ? 60 : -60), S_OK);
      EXPECT_EQ(rig.cam().put_Gamma(80 + i % 40), S_OK);
      int32_t contrast = 0;
      EXPECT_EQ(rig.cam().get_Contrast(&contrast), S_OK);
    }
  });
  for (int round = 0; round < 50; ++round) {
    EXPECT_EQ(rig.cam().stop(), S_OK);
    EXPECT_EQ(rig.cam().start(), S_OK);
  }
  done = true;
  properties.join();
  EXPECT_EQ(rig.cam().put_Hue(0), S_OK);
  EXPECT_EQ(rig.cam().put_Gamma(100), S_OK);
  std::vector<uint8_t> frame = pinBuffer(kW, kH);
  ASSERT_TRUE(rig.nextFitting(frame));
  stream_rig::ExpectChart(frame, kW, kH, "after the starts");
}

// Two host threads: one turns colour on and off and its colour callback sets the exposure
// callback, the other sets the exposure time and its exposure callback sets the colour callback.
// Each set may meet the other thread inside the callback it replaces, itself inside a set: both
// threads go on.
TEST(Usb3_31Options, HostThreadsSettingEachOthersCallbackFromInsideBothGoOn) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  // Shared with the host threads, which a hang lets go on their own. Each callback stays until
  // the other thread is inside its own too (bounded), then sets.
  struct Crossed {
    BaseImpl* cam;
    std::atomic<int> colourRounds{0}, exposureRounds{0}, colourCalls{0}, exposureCalls{0};
    std::atomic<int> inColour{0}, inExposure{0};
    static void meet(const std::atomic<int>& other) {
      const auto end = std::chrono::steady_clock::now() + 2ms;
      while (other == 0 && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    }
    static void onColour(void* self) {
      auto& c = *static_cast<Crossed*>(self);
      ++c.colourCalls, ++c.inColour;
      meet(c.inExposure);
      c.cam->put_ExpoCallback(&onExposure, self);
      --c.inColour;
    }
    static void onExposure(void* self) {
      auto& c = *static_cast<Crossed*>(self);
      ++c.exposureCalls, ++c.inExposure;
      meet(c.inColour);
      c.cam->put_ChromeCallback(&onColour, self);
      --c.inExposure;
    }
  };
  const auto crossed = std::make_shared<Crossed>(&rig.cam());
  ASSERT_EQ(rig.cam().put_ChromeCallback(&Crossed::onColour, crossed.get()), S_OK);
  ASSERT_EQ(rig.cam().put_ExpoCallback(&Crossed::onExposure, crossed.get()), S_OK);
  constexpr int kRounds = 500;
  std::thread colourHost([crossed] {
    for (int i = 0; i < kRounds; ++i, ++crossed->colourRounds)
      crossed->cam->put_Chrome(uint32_t(i % 2));
  });
  std::thread exposureHost([crossed] {
    for (int i = 0; i < kRounds; ++i, ++crossed->exposureRounds)
      crossed->cam->put_ExpoTime(i % 2 ? 20000 : 30000);
  });
  const auto over = [&] {
    return crossed->colourRounds == kRounds && crossed->exposureRounds == kRounds;
  };
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (!over() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(5ms);
  if (!over()) {  // a hang: fail rather than block the suite
    colourHost.detach();
    exposureHost.detach();
    FAIL() << "the host threads stopped inside their callbacks' sets: colour at round "
           << crossed->colourRounds.load() << ", exposure at round "
           << crossed->exposureRounds.load();
  }
  colourHost.join();
  exposureHost.join();
  EXPECT_GE(crossed->colourCalls.load(), kRounds);
  EXPECT_GE(crossed->exposureCalls.load(), kRounds);
  ASSERT_EQ(rig.cam().put_ChromeCallback(nullptr, nullptr), S_OK);
  ASSERT_EQ(rig.cam().put_ExpoCallback(nullptr, nullptr), S_OK);
  EXPECT_EQ(rig.cam().put_Chrome(0), S_OK);
}

// Host thread 1's exposure callback sets the colour callback, so waits for host thread 2's slow
// colour call, then reads its context; a third thread replaces the exposure callback and lets the
// old context go once the clear returns. The clear waits for thread 1's call: thread 1 waits for
// thread 2, not for the clearing thread. Contexts are only marked gone, so any build sees a late
// read.
TEST(Usb3_31Options, AClearWaitsForACallbackWaitingInASetOnAnotherThread) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  struct Shared {
    BaseImpl* cam;
    std::atomic<bool> stop{false};
    std::atomic<int> lateReads{0};
    static void onColour(void*) { std::this_thread::sleep_for(20ms); }
  } shared{&rig.cam()};
  struct Context {
    Shared* shared;
    std::atomic<bool> inSet{false}, gone{false};
    static void onExposure(void* self) {
      auto& c = *static_cast<Context*>(self);
      c.inSet = true;
      c.shared->cam->put_ChromeCallback(&Shared::onColour, nullptr);
      if (c.gone) ++c.shared->lateReads;
    }
  };
  std::vector<std::unique_ptr<Context>> contexts;  // outlive the threads, which are joined
  contexts.push_back(std::make_unique<Context>(&shared));
  ASSERT_EQ(rig.cam().put_ChromeCallback(&Shared::onColour, nullptr), S_OK);
  ASSERT_EQ(rig.cam().put_ExpoCallback(&Context::onExposure, contexts.back().get()), S_OK);
  std::thread exposureHost([&] {
    for (int i = 0; !shared.stop; ++i) rig.cam().put_ExpoTime(i % 2 ? 20000 : 30000);
  });
  std::thread colourHost([&] {
    for (int i = 0; !shared.stop; ++i) rig.cam().put_Chrome(uint32_t(i % 2));
  });
  for (int round = 0; round < 30; ++round) {  // no fatal failure while the host threads run
    if (!within([&] { return contexts.back()->inSet.load(); }, 2s)) continue;
    EXPECT_EQ(rig.cam().put_ExpoCallback(nullptr, nullptr), S_OK);
    contexts.back()->gone = true;
    contexts.push_back(std::make_unique<Context>(&shared));
    EXPECT_EQ(rig.cam().put_ExpoCallback(&Context::onExposure, contexts.back().get()), S_OK);
  }
  EXPECT_EQ(rig.cam().put_ExpoCallback(nullptr, nullptr), S_OK);
  shared.stop = true;
  exposureHost.join();
  colourHost.join();
  EXPECT_EQ(shared.lateReads.load(), 0) << "an exposure callback read its context after its clear";
  ASSERT_EQ(rig.cam().put_ChromeCallback(nullptr, nullptr), S_OK);
}

// The automatic exposure raises the exposure callback on the grabber, which sets the colour
// callback while a host thread's colour callback, raised by its own put_Chrome, stops the stream:
// the set must not wait for that call, whose stop joins the grabber. Both return.
TEST(Usb3_31Options, AStopFromACallbackBesideTheGrabbersSetOfItBothReturn) {
  struct Meeting {
    BaseImpl* cam;
    std::thread::id host;
    std::atomic<bool> inColour{false}, inExposure{false}, setReturned{false};
    std::atomic<HRESULT> stopped{E_PENDING};
    static void onColour(void* self) {
      auto& m = *static_cast<Meeting*>(self);
      m.inColour = true;
      if (within([&] { return m.inExposure.load(); }, 10s)) m.stopped = m.cam->stop();
    }
    static void onExposure(void* self) {
      auto& m = *static_cast<Meeting*>(self);
      if (std::this_thread::get_id() == m.host || m.inExposure.exchange(true)) return;
      within([&] { return m.inColour.load(); }, 10s);
      m.cam->put_ChromeCallback(&onColour, self);
      m.setReturned = true;
    }
  };
  // Both let go unjoined if the grabber hangs.
  auto meeting = std::make_unique<Meeting>(nullptr, std::this_thread::get_id());
  auto rig = std::make_unique<OptionsRig>();
  ASSERT_TRUE(rig->ok());
  meeting->cam = &rig->cam();
  ASSERT_EQ(rig->cam().put_ExpoTime(2000), S_OK);  // far below the scene's: AE has work to do
  ASSERT_EQ(rig->cam().put_ChromeCallback(&Meeting::onColour, meeting.get()), S_OK);
  ASSERT_EQ(rig->cam().put_ExpoCallback(&Meeting::onExposure, meeting.get()), S_OK);
  ASSERT_EQ(rig->cam().put_AutoExpoEnable(1), S_OK);
  std::thread colourHost([m = meeting.get()] { m->cam->put_Chrome(1); });
  const auto over = [&] { return meeting->setReturned && meeting->stopped != E_PENDING; };
  if (!within(over, 30s)) {  // a hang: fail rather than block the suite
    colourHost.detach();
    rig.release();
    const Meeting* const m = meeting.release();
    FAIL() << "hung: " << (m->setReturned ? "" : "the grabber's set of the colour callback; ")
           << (m->stopped != E_PENDING ? "" : "the host's stop from its colour callback");
  }
  colourHost.join();
  EXPECT_EQ(meeting->stopped.load(), S_OK);
  ASSERT_EQ(rig->cam().put_ExpoCallback(nullptr, nullptr), S_OK);
  ASSERT_EQ(rig->cam().put_ChromeCallback(nullptr, nullptr), S_OK);
}

// The host calls that take the camera's control lock, made from inside a host callback.
enum class LockingCall { Stop, LoadPreset, AddPreset, Rotate, SerialNumber };

const char* nameOf(LockingCall call) {
  switch (call) {
    case LockingCall::Stop:
      return "stop";
    case LockingCall::LoadPreset:
      return "LoadPreset";
    case LockingCall::AddPreset:
      return "AddPreset";
    case LockingCall::Rotate:
      return "put_Option(ROTATE)";
    case LockingCall::SerialNumber:
      return "get_SerialNumber";
  }
  return "?";
}

HRESULT makeLockingCall(BaseImpl& cam, LockingCall call) {
  char serial[32] = {};
  switch (call) {
    case LockingCall::Stop:
      return cam.stop();
    case LockingCall::LoadPreset:
      return cam.LoadPreset(0);
    case LockingCall::AddPreset:
      return cam.AddPreset(ZX_W("beside"));
    case LockingCall::Rotate:
      return cam.put_Option(LUMORIX_OPTION_ROTATE, 180);
    case LockingCall::SerialNumber:
      return cam.get_SerialNumber(serial);
  }
  return E_UNEXPECTED;
}

// Three threads that only the control lock closes into a ring: the setter sets a callback whose
// old pair the inner host is running; the inner host's callback makes a call that takes the lock;
// the holder holds the lock and waits for the setter, joining it in a stop or being it in a start.
// The set must not wait for the inner host's call. Shared with the threads, which a hang lets go.
struct LockRing {
  BaseImpl* cam = nullptr;
  LockingCall call;
  std::atomic<std::thread::id> innerHost{}, holder{};
  std::atomic<bool> innerIn{false}, setterIn{false}, setReturned{false};
  std::atomic<HRESULT> called{E_PENDING}, held{E_PENDING};
  static constexpr auto kMeet = 5s;  // within the ring's bound: a missed meeting is no hang

  explicit LockRing(LockingCall c) : call(c) {}
  bool onThread(const std::atomic<std::thread::id>& who) const {
    return who.load() == std::this_thread::get_id();
  }
  // On the inner host, once the holder has the lock (holding() shows it).
  template <class Holding>
  void callInside(Holding holding) {
    if (!onThread(innerHost) || innerIn.exchange(true)) return;  // its own call's notices too
    within(holding, kMeet);
    called = makeLockingCall(*cam, call);
  }
  // The setter's set, once the inner host is inside the callback it replaces.
  template <class Set>
  void setBeside(Set set) {
    if (setterIn.exchange(true)) return;
    within([&] { return innerIn.load(); }, kMeet);
    set();
    setReturned = true;
  }
  // Empty once every thread has returned; else which of them hung.
  std::string hung(const char* setter, const char* slot, const char* holding) const {
    std::string what;
    if (!setReturned) what += std::string(setter) + "'s set of the " + slot + " callback; ";
    if (called == E_PENDING)
      what += std::string("host 2's ") + nameOf(call) + " from its " + slot + " callback; ";
    if (held == E_PENDING) what += std::string("host 1's ") + holding + "; ";
    return what.substr(0, what.size() - 2);
  }

  // Auto exposure off: the fill-buffer thread's raw-data callback sets the colour callback while
  // host 2 runs it from its own put_Chrome; host 1's stop holds the lock and joins the
  // fill-buffer thread.
  static void onRaw(const uint8_t*, const SensorRect*, uint8_t, void* self) {
    auto& r = *static_cast<LockRing*>(self);
    r.setBeside([&] { r.cam->put_ChromeCallback(nullptr, nullptr); });
  }
  static void onColour(void* self) {
    auto& r = *static_cast<LockRing*>(self);
    r.callInside([&] { return r.cam->runState() == RunState::Stopped; });
  }
  // Host 1's start raises the exposure callback under the lock, which sets the exposure callback
  // while host 2 runs it from its own put_ExpoTime.
  static void onExposure(void* self) {
    auto& r = *static_cast<LockRing*>(self);
    if (r.onThread(r.holder))
      r.setBeside([&] { r.cam->put_ExpoCallback(nullptr, nullptr); });
    else
      r.callInside([&] { return r.cam->started(); });
  }
};

// Runs host 1 and host 2 for one ring and waits for them; empty once all returned, else which
// thread hung, with the rig and the ring let go to the threads that hold them.
template <class Host1, class Host2>
std::string awaitRing(std::unique_ptr<OptionsRig>& rig, std::unique_ptr<LockRing>& ring,
                      Host1 host1, Host2 host2, const char* setter, const char* slot,
                      const char* holding) {
  LockRing* const r = ring.get();
  std::thread first([r, host1] {
    r->holder = std::this_thread::get_id();
    r->held = host1(*r);
  });
  std::thread second([r, host2] {
    r->innerHost = std::this_thread::get_id();
    host2(*r);
  });
  // Short enough that every row of a hung table ends well within the suite's time limit.
  if (!within([r] { return r->held != E_PENDING && r->called != E_PENDING; }, 12s)) {
    first.detach();
    second.detach();
    rig.release();
    return ring.release()->hung(setter, slot, holding);
  }
  first.join();
  second.join();
  return "";
}

// Each lock-taking call from inside a callback, in both rings: a stop that holds the lock joins
// the fill-buffer thread, whose raw-data callback sets the colour callback; a start that holds it
// raises the exposure callback, which sets the exposure callback. Every thread returns and the
// camera streams again.
TEST(Usb3_31Options, ALockTakingCallInACallbackASetWaitsForAllReturn) {
  const struct {
    bool start;  // the start's ring, else the stop's
    LockingCall call;
  } rows[] = {{false, LockingCall::Stop},         {false, LockingCall::LoadPreset},
              {false, LockingCall::AddPreset},    {false, LockingCall::Rotate},
              {false, LockingCall::SerialNumber}, {true, LockingCall::Stop},
              {true, LockingCall::LoadPreset},    {true, LockingCall::Rotate},
              {true, LockingCall::SerialNumber}};
  for (const auto& row : rows) {
    const std::string what = std::string("host 1's ") + (row.start ? "start" : "stop") +
                             " beside host 2's " + nameOf(row.call);
    auto ring = std::make_unique<LockRing>(row.call);  // outlives the camera
    auto rig = std::make_unique<OptionsRig>(!row.start, "RING0001");
    ASSERT_TRUE(rig->ok()) << what;
    BaseImpl& cam = rig->cam();
    ring->cam = &cam;
    ASSERT_EQ(cam.AddPreset(ZX_W("ring")), S_OK) << what;  // the preset LoadPreset(0) loads
    std::string hung;
    if (!row.start) {
      ASSERT_EQ(cam.put_ChromeCallback(&LockRing::onColour, ring.get()), S_OK);
      ASSERT_EQ(cam.put_RawDataCallback(&LockRing::onRaw, ring.get()), S_OK);
      hung = awaitRing(
          rig, ring,
          [](LockRing& r) {
            within([&] { return r.innerIn && r.setterIn; }, LockRing::kMeet);
            return r.cam->stop();
          },
          [](LockRing& r) { r.cam->put_Chrome(1); }, "the fill-buffer thread", "colour", "stop");
    } else {
      ASSERT_EQ(cam.stop(), S_OK);
      ASSERT_EQ(cam.put_ExpoCallback(&LockRing::onExposure, ring.get()), S_OK);
      hung = awaitRing(
          rig, ring,
          [](LockRing& r) {
            within([&] { return r.innerIn.load(); }, LockRing::kMeet);
            return r.cam->start();
          },
          [](LockRing& r) { r.cam->put_ExpoTime(20000); }, "host 1", "exposure", "start");
    }
    if (!hung.empty()) {  // a hang: fail rather than block the suite, and try the next row
      ADD_FAILURE() << what << " hung: " << hung;
      continue;
    }
    EXPECT_TRUE(ring->setterIn && ring->innerIn) << what << ": the callbacks never met";
    EXPECT_EQ(ring->held.load(), S_OK) << what;
    EXPECT_EQ(ring->called.load(), S_OK) << what;
    ASSERT_EQ(cam.put_RawDataCallback(nullptr, nullptr), S_OK);
    ASSERT_EQ(cam.put_ChromeCallback(nullptr, nullptr), S_OK);
    ASSERT_EQ(cam.put_ExpoCallback(nullptr, nullptr), S_OK);
    if (!cam.started()) {
      EXPECT_EQ(cam.start(), S_OK) << what;
    }
    std::vector<uint8_t> frame = pinBuffer(kW, kH);
    EXPECT_TRUE(rig->nextFitting(frame)) << what << ": no frame after the ring";
  }
}

// A pin's conversion held in the host's demosaic hook past stop's wait for it: the start after
// that stop rebuilds the pipeline state only once the conversion has ended, so the conversion
// never finishes on a freed state (the address sanitizer watches the rest), and frames flow again.
TEST(Usb3_31Options, AStartAfterAStopThatGaveUpOnAConversionWaitsForIt) {
  OptionsRig rig;
  ASSERT_TRUE(rig.ok());
  struct Hold {
    platform::Event entered{platform::Event::Kind::ManualReset, false};
    platform::Event release{platform::Event::Kind::ManualReset, false};
    std::atomic<bool> armed{true}, returned{false};
    static void hook(uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void* self) {
      auto& h = *static_cast<Hold*>(self);
      if (!h.armed.exchange(false)) return;
      h.entered.set();
      h.release.wait(60000);
      h.returned = true;
    }
  } hold;
  const stream_rig::StopsOnExit stops(rig.cam());  // before hold goes, whatever ends the test
  ASSERT_EQ(rig.cam().put_DemosaicCallback(Hold::hook, &hold), S_OK);
  std::vector<uint8_t> frame = pinBuffer(kW, kH);
  std::atomic<HRESULT> pulled{E_PENDING};
  std::thread pin([&] { pulled = rig.pull(frame, 20s); });
  if (!hold.entered.wait(60000)) {  // the pin's thread is joined before the failure returns
    hold.release.set();
    pin.join();
    FAIL() << "the pin's conversion never reached the demosaic hook";
  }
  EXPECT_EQ(rig.cam().stop(), S_OK);  // gives up waiting for the conversion
  std::atomic<bool> startedAfterIt{false};
  std::atomic<HRESULT> started{E_PENDING};
  std::thread starting([&] {
    started = rig.cam().start();
    startedAfterIt = hold.returned.load();
  });
  // Room for a start that does not wait (one takes well under a second here).
  for (int i = 0; i < 300 && started.load() == E_PENDING; ++i) std::this_thread::sleep_for(10ms);
  hold.release.set();
  pin.join();
  starting.join();
  EXPECT_EQ(pulled.load(), S_OK);
  EXPECT_EQ(started.load(), S_OK);
  EXPECT_TRUE(startedAfterIt);
  ASSERT_EQ(rig.cam().put_DemosaicCallback(nullptr, nullptr), S_OK);
  ASSERT_TRUE(rig.nextFitting(frame));
  stream_rig::ExpectChart(frame, kW, kH, "after the held conversion");
}

}  // namespace
