// Shared pieces of the pipeline-run suites: states with a chosen worker count, busy settings
// and deterministic raw frames.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kernels/kernel_base.h"
#include "pipeline/pl_state.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_vignette.h"
#include "pipeline/pl_worker_pool.h"

namespace zxtest {

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

inline uint32_t processorsFor(uint32_t workers) {
  return workers == 0 ? 2 : workers == 1 ? 4 : 8;
}

struct StateShape {
  uint32_t width = 64, height = 48;
  uint8_t byteOrder = 1;
  bool high = false;  // 12-bit samples in the high-bit state
  uint32_t outputFormat = 0;
  uint32_t procWidth = 0, procHeight = 0;  // 0: the frame size
};

inline PLInitParams paramsFor(const StateShape& s) {
  PLInitParams p;
  p.frameWidth = p.maxWidth = s.width;
  p.frameHeight = p.maxHeight = s.height;
  p.procWidth = s.procWidth ? s.procWidth : s.width;
  p.procHeight = s.procHeight ? s.procHeight : s.height;
  p.byteOrder = s.byteOrder;
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

template <typename Sample>
size_t frameSamples(uint32_t w, uint32_t h, uint8_t p) {
  const size_t a = kernels::rowStride<Sample>(p, int32_t(w)) * h,
               b = kernels::rowStride<Sample>(p, int32_t(h)) * w;
  return a > b ? a : b;
}

}  // namespace zxtest
