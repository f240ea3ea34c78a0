// Auto exposure in closed loop with the simulated camera's exposure physics, through the
// grabber's hook: every policy, from dark and from bright, each mains mode, with and without
// a frame of latency. A case that does not settle is printed with its trace.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "pipeline/algorithms/auto_exposure.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "tests/pipeline/pipeline_kit.h"
#include "tests/support/test_sensor.h"

namespace zxtest {
namespace {

constexpr uint32_t kW = 64, kH = 48;
constexpr uint32_t kSettleFrames = 90, kHoldFrames = 30;
// 200000 us and a quarter of it are whole numbers of periods at 50 and at 60 Hz; the scene
// shows 120 at 200000 us and 100 %, so the target stays reachable after a fourfold step.
constexpr uint32_t kGoodTime = 200000;

struct LoopCase {
  uint8_t policy;
  bool fromBright;
  uint32_t mainsHz;  // 0, 50 or 60
  bool latency;
  std::string name() const {
    std::ostringstream s;
    s << "policy " << int(policy) << (fromBright ? " bright" : " dark") << " mains " << mainsHz
      << (latency ? " latency" : "");
    return s.str();
  }
};

struct Outcome {
  bool settled = false, parked = false, resettled = false;
  bool wrongValueWritten = false, offGrid = false;
  std::string trace;
};

// Gain first under a mains lamp cannot reach the first scene's target. At the shortest time, one
// period, the largest gain shows 95 (50 Hz) or 79 (60 Hz). The time rises only with the gain at
// its maximum, and there a whole number of periods shows 95 or 190 (50 Hz) and 79 or 159 (60 Hz):
// - 50 Hz: one reference (95, 10000 us, 1600); the trial time 10000 x 120 / 95 = 12631 us snaps
//   back to 10000, so the trial point is the reference itself;
// - 60 Hz: 8333 x 120 / 79 snaps up to 16666 (159), which brackets the target; with the dark
//   reference's gain at its maximum only the time is interpolated, 12604 us, which snaps back to
//   16666; the bracket is only twice as wide and the brightness stays, so it never restarts.
// Such a case must park there (time, gain); the scene four times brighter is then in reach.
struct Park {
  uint32_t timeUs;
  uint16_t gain;
};
std::optional<Park> outOfReach(const LoopCase& lc) {
  if (lc.policy != kAeGainFirst || lc.mainsHz == 0) return std::nullopt;
  return lc.mainsHz == 50 ? Park{10000, 1600} : Park{16666, 1600};
}

uint32_t lightMode(uint32_t hz) {
  return hz == 60 ? 0 : hz == 50 ? 1 : 2;
}

// The scene's reference exposure for which kGoodTime at 100 % gives a mean of 120.
uint32_t referenceFor(const PLContext& c) {
  std::vector<uint8_t> frame(size_t(kW) * kH);
  sim::SceneOptions o;
  sim::RenderScene(frame.data(), kW, kH, o, o.referenceExposureUs, 100, 0);
  const ImageRect w{c.aeRectPx.left, c.aeRectPx.top, c.aeRectPx.right, c.aeRectPx.bottom};
  const int32_t m = AeMeasure(c, frame.data(), kW, kH, w);
  return uint32_t(uint64_t(kGoodTime) * uint32_t(m) / 120);
}

bool onGrid(uint32_t t, uint32_t hz) {
  if (hz == 50) return t % 10000 == 0;
  if (hz == 60) return t == uint32_t((uint64_t(t) * 3 + 12500) / 25000 * 25000 / 3);
  return true;
}

// Grabs until the brightness stays in the band with no sensor write for kHoldFrames.
bool settle(TestSensor& s, FrameDescriptor& d, std::vector<uint8_t>& frame,
            std::ostringstream& trace) {
  const PLContext& c = *s.ctx8;
  const ImageRect w{c.aeRectPx.left, c.aeRectPx.top, c.aeRectPx.right, c.aeRectPx.bottom};
  uint32_t quiet = 0, writes = s.timeWrites + s.gainWrites;
  for (uint32_t i = 0; i < kSettleFrames + kHoldFrames; ++i) {
    if (PL_AutoExposure(s, &d, nullptr) != 1) return false;
    const int32_t bri = AeMeasure(c, frame.data(), kW, kH, w);
    const uint32_t now = s.timeWrites + s.gainWrites;
    trace << bri << "@" << c.curTime << "/" << c.curGain << "s" << c.aeStatus << " ";
    const bool inBand = std::abs(bri - 120) < c.settings.aeThreshold;
    quiet = (now == writes && inBand) ? quiet + 1 : 0;
    writes = now;
    if (quiet >= kHoldFrames && i + 1 - kHoldFrames <= kSettleFrames) return true;
  }
  return false;
}

Outcome runLoop(const LoopCase& lc) {
  Outcome out;
  SimulatedCamera camera(kW, kH);
  TestSensorConfig config;
  config.latency = lc.latency;
  config.gainMin = 100, config.gainMax = 1600, config.gainDefault = 100;
  TestSensor s(camera, config);
  if (s.PLHlperInit() != 1) return out;
  InitPipeLineStep1(s, 0, kW, kH, nullptr, 0, 0);
  PLContext& c = *s.ctx8;
  sim::SceneOptions scene;
  scene.mainsHz = lc.mainsHz;
  scene.referenceExposureUs = referenceFor(c);
  camera.showScene(scene);
  c.settings.aePolicy = lc.policy;
  c.settings.lightFrequency = lightMode(lc.mainsHz);
  c.settings.aeEnable = 1;
  const bool gainOnly = lc.policy == 2;
  c.settings.expoTime = gainOnly ? 50000 : (lc.fromBright ? 400000 : 1000);
  c.settings.expoGain = gainOnly && lc.fromBright ? 1600 : 100;
  c.curTime = c.settings.expoTime, c.curGain = c.settings.expoGain;
  InitPipeLineStep2(s);
  const uint32_t times0 = s.timeWrites, gains0 = s.gainWrites;
  const size_t firstTime = s.timesWritten.size();
  std::vector<uint8_t> frame(size_t(kW) * kH);
  FrameDescriptor d;
  d.buffer = frame.data();
  std::ostringstream trace;
  out.settled = settle(s, d, frame, trace);
  if (const auto park = outOfReach(lc); park && !out.settled) {
    const uint32_t writes = s.timeWrites + s.gainWrites;
    for (uint32_t i = 0; i < kHoldFrames; ++i) PL_AutoExposure(s, &d, nullptr);
    out.parked = s.timeWrites + s.gainWrites == writes && c.curTime == park->timeUs &&
                 c.curGain == park->gain;
  }
  if (out.settled || out.parked) {
    scene.referenceExposureUs /= 4;  // the scene turns four times brighter
    camera.showScene(scene);
    trace << "| step | ";
    out.resettled = settle(s, d, frame, trace);
  }
  out.wrongValueWritten =
      (lc.policy == 2 && s.timeWrites != times0) || (lc.policy == 0 && s.gainWrites != gains0);
  for (size_t i = firstTime; i < s.timesWritten.size(); ++i)
    out.offGrid |= !onGrid(s.timesWritten[i], lc.mainsHz);
  out.trace = trace.str();
  return out;
}

TEST(AeClosedLoop, EveryPolicyFromDarkAndBright) {
  for (uint8_t policy = 0; policy < 4; ++policy)
    for (bool bright : {false, true})
      for (uint32_t mains : {0u, 50u, 60u})
        for (bool latency : {false, true}) {
          const LoopCase lc{policy, bright, mains, latency};
          const Outcome o = runLoop(lc);
          EXPECT_FALSE(o.wrongValueWritten) << lc.name();
          EXPECT_FALSE(o.offGrid) << lc.name();
          const bool first = outOfReach(lc) ? o.parked && !o.settled : o.settled;
          if (first && o.resettled) continue;
          const char* what = first            ? " did not settle after the step"
                             : outOfReach(lc) ? " did not park"
                                              : " did not settle";
          ADD_FAILURE() << lc.name() << what << ": " << o.trace.substr(0, 600);
        }
}

}  // namespace
}  // namespace zxtest
