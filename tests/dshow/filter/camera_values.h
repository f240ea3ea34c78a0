// The settings a fake camera holds for page tests: every value its getters answer, the callbacks
// it was handed and every call made on it. Shared by the test and the camera the filter owns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/lumorix.h"
#include "core/model_catalogue.h"
#include "pipeline/preset.h"
#include "pipeline/preset_record.h"

struct CameraCall {
  std::string name;
  std::vector<int64_t> args;  // integer arguments in order; pointer arguments are left out
};

class CameraValues {
 public:
  // --- Exposure.
  uint32_t autoExposure = 0;
  uint16_t aeTarget = 120;
  uint32_t expoTimeUs = 10000;  // get_RealExpoTime answers it too
  uint32_t expoTimeMinUs = 100;
  uint32_t expoTimeMaxUs = 5000000;
  uint32_t expoTimeDefaultUs = 10000;
  uint16_t gain = 100;
  uint16_t gainMin = 100;
  uint16_t gainMax = 1600;
  uint16_t gainDefault = 100;
  uint32_t aeMaxTimeUs = 350000;
  uint16_t aeMaxGain = 500;
  // --- Colour.
  int32_t temperature = 6503;
  int32_t tint = 1000;
  int32_t hue = 0;
  uint32_t saturation = 128;
  int32_t brightness = 0;
  int32_t contrast = 0;
  int32_t gamma = 100;
  uint32_t colour = 1;  // get_IsColor
  uint32_t grey = 0;    // get_Chrome: colour output switched to grey
  uint16_t levelLow[4] = {0, 0, 0, 0};
  uint16_t levelHigh[4] = {255, 255, 255, 255};
  // --- Everything else a page may read: options by code (a code not listed answers E_NOTIMPL;
  // the rotate option stays the double's own) and the one-push result.
  std::map<uint32_t, int32_t> options;
  int32_t onePushTemperature = 5000;
  int32_t onePushTint = 900;
  // put_eSize and put_eStillSize are refused while set, as by a streaming camera.
  bool streaming = false;
  // A method named here answers this instead of doing its work (its call is still recorded).
  std::map<std::string, HRESULT, std::less<>> failing;

  // --- Misc, region, cooling, model record and presets. A camera without a cooler, a fan or a
  // power-frequency choice is scripted through `failing` (E_NOTIMPL for its getters).
  uint16_t speed = 1;
  uint32_t maxSpeed = 2;
  uint32_t hFlip = 0;
  uint32_t vFlip = 0;
  uint32_t lightFrequency = 1;
  uint32_t skip = 0;
  RECT rect = {100, 50, 300, 150};
  int32_t aeWindowMark = 0;
  uint16_t fanSpeed = 1;
  uint32_t fanMaxSpeed = 3;
  uint32_t tecOn = 1;
  int32_t tecTarget = -100;
  int16_t temperatureTenths = -52;
  ModelInfo model = {};  // get_ModelInfo; flags 0: no HDR conversion gain
  std::vector<PresetRecord> presets;
  WCHAR16 presetModel[kPresetNameUnits] = L"FakeCam";

  // --- The callbacks as last handed over; null after the page withdrew them.
  LumorixNotifyCallback expoCallback = nullptr;
  void* expoContext = nullptr;
  LumorixNotifyCallback chromeCallback = nullptr;
  void* chromeContext = nullptr;
  LumorixHistogramCallback histogramCallback = nullptr;  // kept by GetHistogram until fired
  void* histogramContext = nullptr;
  LumorixTempTintCallback onePushCallback = nullptr;  // kept by AwbOnePush until fired
  void* onePushContext = nullptr;

  // Records a call; answers S_OK or the failure scripted for name.
  HRESULT record(std::string_view name, std::initializer_list<int64_t> args = {});
  bool fails(std::string_view name) const { return failing.find(name) != failing.end(); }

  size_t count(std::string_view name) const;
  // The arguments of the last call of name; empty when there was none.
  std::vector<int64_t> last(std::string_view name) const;
  std::vector<CameraCall> calls() const;
  // "name(a, b)" lines of the calls since mark (an index into the call list), for messages.
  std::string describe(size_t mark = 0) const;
  size_t mark() const;
  void clearCalls();

  // Fire what the camera would: exposure or chrome notifications, a histogram (to the callback
  // GetHistogram stored, once), the one-push result (applied first, as the camera does).
  void fireExposure();
  void fireChrome();
  bool fireHistogram(const float* luma, const float* red, const float* green, const float* blue);
  bool fireOnePush();

 private:
  mutable std::mutex lock_;
  std::vector<CameraCall> calls_;
};

// The double's presets: a record of the current exposure and colour settings under name; and
// LoadPreset's work, which records the call and applies record index, or the defaults for
// 0xFFFFFFFF (the factory settings); an index past the end changes nothing.
PresetRecord CurrentPresetRecord(const CameraValues& values, const WCHAR16* name);
HRESULT LoadPresetValues(CameraValues& values, uint32_t index);
