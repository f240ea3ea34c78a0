// Shared fixtures of the pipeline suites: a clean settings store, state parameters, a model fake.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pipeline/pl_helper_base.h"
#include "tests/support/idle_helper.h"
#include "pipeline/pl_init_params.h"
#include "pipeline/store/registry.h"
#include "pipeline/pl_state.h"
#include "platform/registry.h"

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
  void IspSetMatrix(const double m[9]) override { lastMatrix0 = m[0]; }
  void IspSetWB(const int32_t g[3]) override { lastWbGreen = g[1]; }
  void IspSetBB(const uint16_t b[3]) override { lastBlack = b[0]; }
  void IspSetLut(const uint16_t* t, uint32_t bits) override { lastLutTop = t[(1u << bits) - 1]; }
  uint8_t PLHlperGetBinning() override { return binningByte; }
  void PLHlperSetBinning(uint8_t b) override { binningByte = b; }

  uint8_t binningByte = 0;
  double lastMatrix0 = 0;
  int32_t lastWbGreen = 0;
  uint16_t lastBlack = 0;
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

}  // namespace zxtest
