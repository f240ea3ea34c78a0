// Test kit of the pipeline suites: a clean settings store, state parameters, a model fake, worker
// counts, busy settings, deterministic raw frames and bare states for the frame steps.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/process_globals.h"
#include "kernels/kernel_base.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_init_params.h"
#include "pipeline/pl_state.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_vignette.h"
#include "pipeline/pl_worker_pool.h"
#include "pipeline/store/registry.h"
#include "platform/registry.h"
#include "tests/kernels/kit.h"
#include "tests/support/idle_helper.h"
#include "tests/support/verbose_trace.h"

namespace zxtest {

// Natively an in-memory store; under Wine the real registry, below a key the tests own.
inline constexpr const char* kCameraKey = "Software\\ZerithalTest\\Pipeline\\Model";
inline const WCHAR16* cameraKeyWide() {
  return ZX_W("Software\\ZerithalTest\\Pipeline\\Model");
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    scoped_ = std::make_unique<platform::ScopedRegistry>(platform::MakeMemoryRegistry());
#endif
    reg().deleteKey("Software\\ZerithalTest\\Pipeline");
  }
  void TearDown() override {
    reg().deleteKey("Software\\ZerithalTest\\Pipeline");
  }

  static platform::Registry& reg() {
    return platform::CurrentRegistry();
  }
  static void put(const std::string& name, uint32_t v) {
    ASSERT_EQ(reg().writeDword(kCameraKey, name, v), platform::RegStatus::Ok);
  }
  static bool has(const std::string& name) {
    uint32_t v;
    return reg().readDword(kCameraKey, name, v) == platform::RegStatus::Ok;
  }
  static uint32_t get(const std::string& name) {
    uint32_t v = 0xDEADBEEF;
    reg().readDword(kCameraKey, name, v);
    return v;
  }

 private:
  std::unique_ptr<platform::ScopedRegistry> scoped_;
};

// A colour temperature/tint camera, 640x480, gain 100..5000, time 100..1000000 us.
inline PLInitParams colourParams(uint32_t w = 640, uint32_t h = 480) {
  PLInitParams p;
  p.regKey = cameraKeyWide();
  p.frameWidth = p.procWidth = p.maxWidth = w;
  p.frameHeight = p.procHeight = p.maxHeight = h;
  p.gainMin = 100, p.gainMax = 5000, p.gainDefault = 200;
  p.timeMin = 100, p.timeMax = 1000000, p.timeDefault = 20000;
  return p;
}

// Every model operation as a do-nothing; the tests read back what the base hands over.
class FakeHelper : public IdleHelper {
 public:
  using IdleHelper::IdleHelper;
  void IspSetWB(const int32_t g[3]) override { lastWbGreen = g[1]; }
  void IspSetLut(const uint16_t* t, uint32_t bits) override { lastLutTop = t[(1u << bits) - 1]; }
  uint8_t PLHlperGetBinning() override { return binningByte; }
  void PLHlperSetBinning(uint8_t b) override { binningByte = b; }

  uint8_t binningByte = 0;
  int32_t lastWbGreen = 0;
  uint16_t lastLutTop = 0;
};

inline PLHlperArgs helperArgs(const WCHAR16* key, uint64_t flags) {
  PLHlperArgs a;
  a.subKey = key;
  a.maxWidth = a.frameWidth = 640;
  a.maxHeight = a.frameHeight = 480;
  a.modelFlags = flags;
  a.defectListCount = 4;
  a.maxSpeed = 3;
  return a;
}

// Sets the processor count and failing thread creations for the pool while it lives.
class ScopedWorkerEnvironment {
 public:
  explicit ScopedWorkerEnvironment(uint32_t processors, uint32_t failMask = 0)
      : saved_(PipelineWorkerEnvironment()) {
    PipelineWorkerEnvironment() = {processors, failMask};
  }
  ~ScopedWorkerEnvironment() { PipelineWorkerEnvironment() = saved_; }

 private:
  WorkerEnvironment saved_;
};

struct StateShape {
  uint32_t width = 64, height = 48;
  uint8_t byteOrder = 1;
  bool high = false;  // 12-bit samples in the high-bit state
  uint32_t outputFormat = 0;
  uint32_t procWidth = 0, procHeight = 0;  // 0: the frame size
  uint8_t rowOrder = 1;                    // clear: rows stored bottom-up
};

inline PLInitParams paramsFor(const StateShape& s) {
  PLInitParams p;
  p.frameWidth = p.maxWidth = s.width;
  p.frameHeight = p.maxHeight = s.height;
  p.procWidth = s.procWidth ? s.procWidth : s.width;
  p.procHeight = s.procHeight ? s.procHeight : s.height;
  p.byteOrder = s.byteOrder;
  p.rowOrder = s.rowOrder;
  p.bayer = 1;
  p.outputFormat = s.outputFormat;
  p.hasToneMapping = 1;
  p.gainMin = 100, p.gainMax = 1000, p.gainDefault = 100;
  p.timeMin = 100, p.timeMax = 1000000, p.timeDefault = 10000;
  if (s.high) {
    p.pixelFormat = 2;
    p.bitDepthCaps[2] = 1;
  }
  return p;
}

// An 8-bit or a high-bit state from the same parameters.
template <typename Sample>
auto makeState(const PLInitParams& p) {
  if constexpr (sizeof(Sample) == 1)
    return PLContextPtr(PL_Init(&p));
  else
    return PLContext16Ptr(PL_Init16(&p));
}

// Colour far from neutral so that every stripe step changes bytes.
template <typename Sample>
void makeBusy(PLContextT<Sample>& c, bool vignette) {
  PLSettings& s = c.settings;
  s.hue = 25, s.saturation = 190, s.brightness = 6, s.contrast = 12, s.gamma = 85;
  s.wbTemp = 4300, s.wbTint = 1200;
  for (int i = 0; i < 4; ++i) s.levelLow[i] = uint8_t(4 + i), s.levelHigh[i] = uint8_t(240 - i);
  s.processFlags |= PLProcessFlags::kToneMap2;
  s.blackOffset[0] = 3, s.blackOffset[1] = 2, s.blackOffset[2] = 4;
  s.vignetteAmount = 40;
  c.colourMatrix = {1.3, -0.2, -0.1, -0.15, 1.25, -0.1, 0.05, -0.3, 1.25};
  c.colourMatrixOn = 1;
  PL_ApplySettings(&c, false);
  PL_UpdateHueSat(&c);
  if (vignette) {
    PL_BuildVignetteTable(&c);
    s.vignetteEnable = 1;
  }
  c.statsRequest = 2;  // continuous
}

// Every optional step of a driver switched on, for a 64 x 48 frame: busy colour, mirror, a half
// turn, the raw table, both calibrations (flat field over `ffcFrames`), both one-push balances,
// the AE mark and both host callbacks.
inline void switchEveryStepOn(PLContext& c, uint32_t ffcFrames) {
  makeBusy(c, true);
  c.settings.mirror = 1;
  c.settings.processFlags |= PLProcessFlags::kRotate180;
  c.settings.stepBits |= 4;
  c.rawLut.assign(256, 7);
  c.ffcRequest = 1, c.ffcFrames = ffcFrames;
  c.ffcEnable = c.ffcValid = 1, c.ffcGain.assign(64 * 48, 65536);
  c.dfcRequest = 1, c.dfcEnable = c.dfcValid = 1, c.darkTable.assign(64 * 48, 1);
  c.abbRequest = c.awbRequest = c.aeMarkWindow = 1;
  c.callbacks.statsCallback = [](const float*, const float*, const float*, const float*, void*) {};
  c.callbacks.histogramCallback = [](const uint32_t*, uint32_t, void*) {};
}

// A ramp across each row plus noise, masked to `bits`.
template <typename Sample>
std::vector<Sample> rawFrame(uint32_t w, uint32_t h, uint32_t bits, uint32_t seed = 1) {
  std::vector<Sample> v(size_t(w) * h);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < v.size(); ++i) {
    x = x * 1664525u + 1013904223u;
    const uint32_t ramp = uint32_t((i % w) * ((1u << bits) - 1) / w);
    v[i] = Sample((ramp + (x >> 20)) & ((1u << bits) - 1));
  }
  return v;
}

// Room for a w x h frame of p samples a pixel, upright or turned a quarter.
template <typename Sample>
size_t frameSamples(uint32_t w, uint32_t h, uint8_t p = 3) {
  const size_t a = kernels::rowStride<Sample>(p, int32_t(w)) * h,
               b = kernels::rowStride<Sample>(p, int32_t(h)) * w;
  return a > b ? a : b;
}

// A bare state for the frame steps: layout and the fixed luma tables, nothing else.
template <typename S>
void prepareState(PLContextT<S>& ctx, uint8_t bits, uint8_t p, bool byteOrder, bool rowOrder) {
  ctx.bitDepth = bits;
  ctx.samplesPerPixel = p;
  ctx.byteOrder = byteOrder;
  ctx.rowOrder = rowOrder;
  constexpr uint32_t n = PLContextT<S>::kTableEntries;
  ctx.lumaR.resize(n), ctx.lumaG.resize(n), ctx.lumaB.resize(n);
  for (uint32_t v = 0; v < n; ++v)
    ctx.lumaR[v] = v * 0.299, ctx.lumaG[v] = v * 0.587, ctx.lumaB[v] = v * 0.114;
}

}  // namespace zxtest
