// The camera double's page settings: getters answer the shared values, setters store them, the
// callbacks are kept for the test to fire, and every call is recorded first.
#include <algorithm>

#include "tests/dshow/filter/camera_accessors.h"
#include "tests/dshow/filter/camera_double.h"

using namespace camera_accessors;

HRESULT CameraDouble::get_AutoExpoEnable(uint32_t* on) {
  return Read(*values_, "get_AutoExpoEnable", on, values_->autoExposure);
}
HRESULT CameraDouble::put_AutoExpoEnable(uint32_t on) {
  return Write(*values_, "put_AutoExpoEnable", &values_->autoExposure, on);
}
HRESULT CameraDouble::get_AutoExpoTarget(uint16_t* target) {
  return Read(*values_, "get_AutoExpoTarget", target, values_->aeTarget);
}
HRESULT CameraDouble::put_AutoExpoTarget(uint16_t target) {
  return Write(*values_, "put_AutoExpoTarget", &values_->aeTarget, target);
}
HRESULT CameraDouble::get_ExpoTime(uint32_t* us) {
  return Read(*values_, "get_ExpoTime", us, values_->expoTimeUs);
}
HRESULT CameraDouble::put_ExpoTime(uint32_t us) {
  const HRESULT answer = values_->record("put_ExpoTime", {us});
  if (answer != S_OK) return answer;
  if (us < values_->expoTimeMinUs || us > values_->expoTimeMaxUs) return E_INVALIDARG;
  values_->expoTimeUs = us;
  return S_OK;
}
HRESULT CameraDouble::get_RealExpoTime(uint32_t* us) {
  return Read(*values_, "get_RealExpoTime", us, values_->expoTimeUs);
}
HRESULT CameraDouble::get_ExpoAGain(uint16_t* percent) {
  return Read(*values_, "get_ExpoAGain", percent, values_->gain);
}
HRESULT CameraDouble::put_ExpoAGain(uint16_t percent) {
  return Write(*values_, "put_ExpoAGain", &values_->gain, percent);
}

HRESULT CameraDouble::get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                       uint32_t* defaultValue) {
  return ReadEach(*values_, "get_ExpTimeRange", Assign{minimum, values_->expoTimeMinUs},
                  Assign{maximum, values_->expoTimeMaxUs},
                  Assign{defaultValue, values_->expoTimeDefaultUs});
}

HRESULT CameraDouble::get_ExpoAGainRange(uint16_t* minimum, uint16_t* maximum,
                                         uint16_t* defaultValue) {
  return ReadEach(*values_, "get_ExpoAGainRange", Assign{minimum, values_->gainMin},
                  Assign{maximum, values_->gainMax}, Assign{defaultValue, values_->gainDefault});
}

HRESULT CameraDouble::get_AutoExpoMaxTimeAGain(uint32_t* us, uint16_t* percent) {
  return ReadEach(*values_, "get_AutoExpoMaxTimeAGain", Assign{us, values_->aeMaxTimeUs},
                  Assign{percent, values_->aeMaxGain});
}

HRESULT CameraDouble::put_AutoExpoMaxTimeAGain(uint32_t us, uint16_t percent) {
  return WriteEach(*values_, "put_AutoExpoMaxTimeAGain", Assign{&values_->aeMaxTimeUs, us},
                   Assign{&values_->aeMaxGain, percent});
}

HRESULT CameraDouble::put_ExpoCallback(LumorixNotifyCallback callback, void* context) {
  const HRESULT kept = Keep(*values_, "put_ExpoCallback", callback, context, &values_->expoCallback,
                            &values_->expoContext);
  if (kept == S_OK) exposureSlot_.set(callback, context);
  return kept;
}

HRESULT CameraDouble::get_TempTint(int32_t* temperature, int32_t* tint) {
  return ReadEach(*values_, "get_TempTint", Assign{temperature, values_->temperature},
                  Assign{tint, values_->tint});
}

HRESULT CameraDouble::put_TempTint(int32_t temperature, int32_t tint) {
  return WriteEach(*values_, "put_TempTint", Assign{&values_->temperature, temperature},
                   Assign{&values_->tint, tint});
}

HRESULT CameraDouble::AwbOnePush(LumorixTempTintCallback callback, void* context) {
  return Keep(*values_, "AwbOnePush", callback, context, &values_->onePushCallback,
              &values_->onePushContext);
}

HRESULT CameraDouble::get_Hue(int32_t* hue) {
  return Read(*values_, "get_Hue", hue, values_->hue);
}
HRESULT CameraDouble::put_Hue(int32_t hue) {
  return Write(*values_, "put_Hue", &values_->hue, hue);
}
HRESULT CameraDouble::get_Saturation(uint32_t* saturation) {
  return Read(*values_, "get_Saturation", saturation, values_->saturation);
}
HRESULT CameraDouble::put_Saturation(uint32_t saturation) {
  return Write(*values_, "put_Saturation", &values_->saturation, saturation);
}
HRESULT CameraDouble::get_Brightness(int32_t* brightness) {
  return Read(*values_, "get_Brightness", brightness, values_->brightness);
}
HRESULT CameraDouble::put_Brightness(int32_t brightness) {
  return Write(*values_, "put_Brightness", &values_->brightness, brightness);
}
HRESULT CameraDouble::get_Contrast(int32_t* contrast) {
  return Read(*values_, "get_Contrast", contrast, values_->contrast);
}
HRESULT CameraDouble::put_Contrast(int32_t contrast) {
  return Write(*values_, "put_Contrast", &values_->contrast, contrast);
}
HRESULT CameraDouble::get_Gamma(int32_t* gamma) {
  return Read(*values_, "get_Gamma", gamma, values_->gamma);
}
HRESULT CameraDouble::put_Gamma(int32_t gamma) {
  return Write(*values_, "put_Gamma", &values_->gamma, gamma);
}

uint32_t CameraDouble::get_IsColor() {
  values_->record("get_IsColor");
  return values_->colour;
}
HRESULT CameraDouble::get_Chrome(uint32_t* grey) {
  return Read(*values_, "get_Chrome", grey, values_->grey);
}
HRESULT CameraDouble::put_Chrome(uint32_t grey) {
  return Write(*values_, "put_Chrome", &values_->grey, grey);
}

HRESULT CameraDouble::put_ChromeCallback(LumorixNotifyCallback callback, void* context) {
  return Keep(*values_, "put_ChromeCallback", callback, context, &values_->chromeCallback,
              &values_->chromeContext);
}

HRESULT CameraDouble::GetHistogram(LumorixHistogramCallback callback, void* context) {
  return Keep(*values_, "GetHistogram", callback, context, &values_->histogramCallback,
              &values_->histogramContext);
}

HRESULT CameraDouble::get_LevelRange(uint16_t low[4], uint16_t high[4]) {
  if (!low || !high) return E_POINTER;
  const HRESULT answer = values_->record("get_LevelRange");
  if (answer != S_OK) return answer;
  std::copy_n(values_->levelLow, 4, low);
  std::copy_n(values_->levelHigh, 4, high);
  return S_OK;
}

HRESULT CameraDouble::put_LevelRange(const uint16_t low[4], const uint16_t high[4]) {
  if (!low || !high) return E_POINTER;
  const HRESULT answer = values_->record(
      "put_LevelRange", {low[0], low[1], low[2], low[3], high[0], high[1], high[2], high[3]});
  if (answer != S_OK) return answer;
  std::copy_n(low, 4, values_->levelLow);
  std::copy_n(high, 4, values_->levelHigh);
  return S_OK;
}

HRESULT CameraDouble::LevelRangeAuto() {
  const HRESULT answer = values_->record("LevelRangeAuto");
  if (answer != S_OK) return answer;
  for (int i = 0; i < 4; ++i) {
    values_->levelLow[i] = 10;
    values_->levelHigh[i] = 245;
  }
  return S_OK;
}
