// The camera double's Misc, region, cooling and preset calls: getters answer the shared values,
// setters store them, and every call is recorded first.
#include <algorithm>
#include <cwchar>

#include "tests/dshow/filter/camera_accessors.h"
#include "tests/dshow/filter/camera_double.h"

using namespace camera_accessors;

namespace {

constexpr HRESULT kEmptyName = -2;
constexpr HRESULT kTakenName = -3;
constexpr uint32_t kFactory = 0xFFFFFFFFu;

}  // namespace

PresetRecord CurrentPresetRecord(const CameraValues& values, const WCHAR16* name) {
  PresetRecord record = {};
  std::wcsncpy(record.name, name, std::size(record.name) - 1);
  record.settings.expoTime = values.expoTimeUs;
  record.settings.hue = values.hue;
  record.settings.saturation = static_cast<int32_t>(values.saturation);
  record.settings.brightness = values.brightness;
  record.settings.contrast = values.contrast;
  record.settings.gamma = values.gamma;
  return record;
}

HRESULT LoadPresetValues(CameraValues& values, uint32_t index) {
  const HRESULT answer = values.record("LoadPreset", {static_cast<int32_t>(index)});
  if (answer != S_OK) return answer;
  if (index == kFactory) {
    values.expoTimeUs = values.expoTimeDefaultUs;
    values.hue = values.brightness = values.contrast = 0;
    values.saturation = 128;
    values.gamma = 100;
    return S_OK;
  }
  if (index >= values.presets.size()) return S_OK;  // the pin tests load record 0 of none
  const PLSettings& s = values.presets[index].settings;
  values.expoTimeUs = s.expoTime;
  values.hue = s.hue;
  values.saturation = static_cast<uint32_t>(s.saturation);
  values.brightness = s.brightness;
  values.contrast = s.contrast;
  values.gamma = s.gamma;
  return S_OK;
}

HRESULT CameraDouble::get_Speed(uint16_t* level) {
  return Probe(*values_, "get_Speed", level, values_->speed);
}
HRESULT CameraDouble::put_Speed(uint16_t level) {
  return Write(*values_, "put_Speed", &values_->speed, level);
}
uint32_t CameraDouble::get_MaxSpeed() {
  values_->record("get_MaxSpeed");
  return values_->maxSpeed;
}
HRESULT CameraDouble::get_HFlip(uint32_t* on) {
  return Probe(*values_, "get_HFlip", on, values_->hFlip);
}
HRESULT CameraDouble::put_HFlip(int32_t on) {
  return Write(*values_, "put_HFlip", &values_->hFlip, on);
}
HRESULT CameraDouble::get_VFlip(uint32_t* on) {
  return Probe(*values_, "get_VFlip", on, values_->vFlip);
}
HRESULT CameraDouble::put_VFlip(int32_t on) {
  return Write(*values_, "put_VFlip", &values_->vFlip, on);
}
HRESULT CameraDouble::get_LightFrequency(uint32_t* mode) {
  return Probe(*values_, "get_LightFrequency", mode, values_->lightFrequency);
}
HRESULT CameraDouble::put_LightFrequency(uint32_t mode) {
  return Write(*values_, "put_LightFrequency", &values_->lightFrequency, mode);
}
HRESULT CameraDouble::get_Skip(uint32_t* skip) {
  return Probe(*values_, "get_Skip", skip, values_->skip);
}
HRESULT CameraDouble::put_Skip(uint32_t skip) {
  return Write(*values_, "put_Skip", &values_->skip, skip);
}

HRESULT CameraDouble::get_Rect(RECT* rect) {
  return Probe(*values_, "get_Rect", rect, values_->rect);
}
HRESULT CameraDouble::put_Rect(const RECT* rect) {
  if (!rect) return E_POINTER;
  const HRESULT answer =
      values_->record("put_Rect", {rect->left, rect->top, rect->right, rect->bottom});
  if (answer == S_OK) values_->rect = *rect;
  return answer;
}
HRESULT CameraDouble::put_AeWindowMark(int32_t on) {
  return Write(*values_, "put_AeWindowMark", &values_->aeWindowMark, on);
}

HRESULT CameraDouble::get_FanSpeed(uint16_t* speed) {
  return Probe(*values_, "get_FanSpeed", speed, values_->fanSpeed);
}
HRESULT CameraDouble::put_FanSpeed(uint16_t speed) {
  return Write(*values_, "put_FanSpeed", &values_->fanSpeed, speed);
}
uint32_t CameraDouble::get_FanMaxSpeed() {
  values_->record("get_FanMaxSpeed");
  return values_->fanMaxSpeed;
}
// A null pointer asks only whether there is a cooler, as the filter and the page do.
HRESULT CameraDouble::get_Tec(uint32_t* on) {
  return Probe(*values_, "get_Tec", on, values_->tecOn);
}
HRESULT CameraDouble::put_Tec(uint32_t on) {
  return Write(*values_, "put_Tec", &values_->tecOn, on);
}
HRESULT CameraDouble::get_TecTarget(int32_t* tenths) {
  return Probe(*values_, "get_TecTarget", tenths, values_->tecTarget);
}
HRESULT CameraDouble::put_TecTarget(int32_t tenths) {
  return Write(*values_, "put_TecTarget", &values_->tecTarget, tenths);
}
HRESULT CameraDouble::get_Temperature(int16_t* tenths) {
  return Probe(*values_, "get_Temperature", tenths, values_->temperatureTenths);
}
HRESULT CameraDouble::get_ModelInfo(const ModelInfo** info) {
  return Probe(*values_, "get_ModelInfo", info, static_cast<const ModelInfo*>(&values_->model));
}

uint32_t CameraDouble::get_PresetCount() {
  values_->record("get_PresetCount");
  return static_cast<uint32_t>(values_->presets.size());
}
HRESULT CameraDouble::get_PresetModel(WCHAR16* name) {
  const HRESULT answer = values_->record("get_PresetModel");
  if (answer != S_OK) return answer;
  if (!name) return E_POINTER;
  std::copy(std::begin(values_->presetModel), std::end(values_->presetModel), name);
  return S_OK;
}
HRESULT CameraDouble::get_Preset(uint32_t index, PresetRecord* preset) {
  const HRESULT answer = values_->record("get_Preset", {index});
  if (answer != S_OK) return answer;
  if (!preset) return E_POINTER;
  if (index >= values_->presets.size()) return E_INVALIDARG;
  *preset = values_->presets[index];
  return S_OK;
}
HRESULT CameraDouble::AddPreset(const WCHAR16* name) {
  const HRESULT answer = values_->record("AddPreset");
  if (answer != S_OK) return answer;
  if (!name || !name[0]) return kEmptyName;
  for (const PresetRecord& r : values_->presets)
    if (std::wcsncmp(r.name, name, std::size(r.name)) == 0) return kTakenName;
  values_->presets.push_back(CurrentPresetRecord(*values_, name));
  return S_OK;
}
HRESULT CameraDouble::OverwritePreset(uint32_t index) {
  const HRESULT answer = values_->record("OverwritePreset", {index});
  if (answer != S_OK) return answer;
  if (index >= values_->presets.size()) return E_INVALIDARG;
  values_->presets[index] = CurrentPresetRecord(*values_, values_->presets[index].name);
  return S_OK;
}
HRESULT CameraDouble::put_Presets(const PresetRecord* records, uint32_t count) {
  const HRESULT answer = values_->record("put_Presets", {count});
  if (answer != S_OK) return answer;
  if (!records && count) return E_POINTER;
  values_->presets.assign(records, records + count);
  return S_OK;
}
