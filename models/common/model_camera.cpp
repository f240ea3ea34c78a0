// The device-neutral part of every model's camera object: construction order, tables, getters.
#include "models/common/model_camera.h"

#include <algorithm>
#include <stdexcept>

#include "models/catalogue_table.h"
#include "pipeline/pl_start.h"
#include "pipeline/store/device_settings.h"

namespace {

const ModelCatalogueRow& rowOf(const ModelSpec& spec) {
  const ModelCatalogueRow* row = spec.row();
  if (!row) throw std::logic_error("model class without a catalogue row");
  return *row;
}

}  // namespace

PLHlperArgs ModelCamera::helperArgs(const ModelSpec& spec, const BaseImpl& camera, uint8_t flagA,
                                    uint8_t flagB) {
  const ModelCatalogueRow& row = rowOf(spec);
  PLHlperArgs a;
  a.subKey = camera.hasRegistryKey() ? camera.registrySubkey() : nullptr;
  a.bayer = spec.bayer;
  a.maxWidth = row.model.resolutions[0].width;
  a.maxHeight = row.model.resolutions[0].height;
  const uint32_t index = std::min(camera.previewIndex(), row.model.previewCount - 1);
  a.frameWidth = row.model.resolutions[index].width;
  a.frameHeight = row.model.resolutions[index].height;
  a.wbTempTint = flagA;
  a.aeEnableDefault = flagB;
  a.hasToneMapping = 1;
  a.modelFlags = spec.helperFlags;
  a.defectListCount = spec.defectModes;
  a.maxSpeed = static_cast<uint16_t>(row.model.maxSpeed);
  a.rawFrameBytes = spec.rawFrameBytes;
  a.perResolutionExposure = 0;
  for (size_t i = 0; i < 3; ++i) a.toneParams[i] = spec.helperDoubles[i];
  return a;
}

ModelCameraTables::ModelCameraTables(const ModelSpec& spec) : spec_(spec) {
  const ModelCatalogueRow& row = rowOf(spec);
  modelName_ = row.model.displayName;
  for (uint32_t i = 0; i < row.model.previewCount && i < previews_.size(); ++i) {
    const ResolutionRatio ratio = i < spec.ratios.size() ? spec.ratios[i] : ResolutionRatio{1, 1};
    previews_[i] = ResolutionEntry{row.model.resolutions[i].width, row.model.resolutions[i].height,
                                   ratio.numerator, ratio.denominator};
  }
}

ModelCamera::ModelCamera(const ModelSpec& spec, const WCHAR16* settingsRoot, uint8_t flagA,
                         uint8_t flagB, const ModelInfo* model)
    : ModelCameraTables(spec),
      BaseImpl(spec.rawFrameBytes, spec.defaultPreviewIndex, model, settingsRoot, flagA, flagB,
               modelName_, previews_.data()) {}

// The helper and its state save from their destructors; without the key they save nothing.
void ModelCamera::forgetSettings() {
  dropSettingsKey();
  if (!helper_) return;
  helper_->subKey.clear();
  helper_->regKey.clear();
  if (helper_->ctx8) helper_->ctx8->regKey.clear();
  if (helper_->ctx16) helper_->ctx16->regKey.clear();
}

void ModelCamera::retire() {
  if (retired_) return;
  retired_ = true;
  if (!hasRegistryKey()) forgetSettings();  // discarded by its factory, or opened without a key
  stopBeforeDelete();
}

// The helper's settings come after its defaults, the state after the settings, the raw table
// after the state.
void ModelCamera::joinParts(CUsb& device, PLHlperBase& helper) {
  adoptHelper(helper);
  frames_ = std::make_unique<PLFrameHooks>(*helper_);
  stream_ = std::make_unique<HelperStream>(*helper_, device);
  applyHelperDefaults();
  LoadSettings(*helper_);
  if (!PLInit(*helper_, nullptr, 0, 0)) throw std::bad_alloc();
  if (hasRegistryKey()) {
    uint16_t offsets[3] = {};
    LoadBlackBalance(*helper_, offsets, helper_->pixelFormat);
    PL_SetBlackBalance(*helper_, offsets);
  }
  installRawLut();
  setTransport(&device);
  setHelper(helper_, frames_.get());
  setStreamPipeline(stream_.get());
}

void ModelCamera::applyHelperDefaults() {
  PLHlperBase& h = *helper_;
  h.speed = spec_.defaultSpeed;
  h.timeMin = spec_.exposureUs.min, h.timeMax = spec_.exposureUs.max;
  h.timeDefault = spec_.exposureUs.def;
  h.gainMin = static_cast<uint16_t>(spec_.gainPercent.min);
  h.gainMax = static_cast<uint16_t>(spec_.gainPercent.max);
  h.gainDefault = static_cast<uint16_t>(spec_.gainPercent.def);
  h.aeMaxTime = spec_.aeMaxTime(), h.aeMinTime = spec_.aeMinTime();
  h.aeMaxGain = spec_.aeMaxGain(), h.aeMinGain = spec_.aeMinGain();
  h.triggerModeTime = spec_.triggerModeTimeUs, h.videoModeTime = spec_.videoModeTimeUs;
  h.tecTarget = 0;
  h.pixelFormat = 0;
  for (size_t i = 0; i < 3; ++i) h.wbGainBase[i] = h.wbGainBase2[i] = spec_.wbBase[i];
  if (spec_.wbGains[0] != 0)
    std::copy(spec_.wbGains.begin(), spec_.wbGains.end(), h.wbGain.begin());
  if (spec_.startsSkipping) h.skip = 1;
  h.colourMatrix = spec_.colourMatrix;
}

// A model without a raw curve of its own keeps the pipeline's.
void ModelCamera::installRawLut() {
  if (spec_.rawLut.size() == rawLut_.size()) {
    std::copy(spec_.rawLut.begin(), spec_.rawLut.end(), rawLut_.begin());
  } else if (!spec_.rawLutAnchors.empty()) {
    std::array<uint16_t, 256> wide{};
    ModelMath::lutFromAnchors(spec_.rawLutAnchors, wide);
    for (size_t i = 0; i < wide.size(); ++i)
      rawLut_[i] = static_cast<uint8_t>(std::min<uint16_t>(wide[i], 255));
  } else {
    return;
  }
  helper_->rawLut8 = rawLut_.data();
  if (helper_->ctx8) helper_->ctx8->rawLut.assign(rawLut_.begin(), rawLut_.end());
}

bool ModelCamera::valid() const {
  return BaseImpl::valid() && helper_ && helper_->ctx8 && frames_ && stream_;
}

void ModelCamera::GetColorMatrix(double matrix[9]) {
  if (matrix) std::copy(spec_.colourMatrix.begin(), spec_.colourMatrix.end(), matrix);
}

void ModelCamera::GetWbGainBase(uint32_t gains[3]) {
  if (gains) std::copy(spec_.wbBase.begin(), spec_.wbBase.end(), gains);
}

HRESULT STDMETHODCALLTYPE ModelCamera::get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                                        uint32_t* defaultValue) {
  if (minimum) *minimum = spec_.exposureUs.min;
  if (maximum) *maximum = spec_.exposureUs.max;
  if (defaultValue) *defaultValue = spec_.exposureUs.def;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ModelCamera::get_ExpoAGainRange(uint16_t* minimum, uint16_t* maximum,
                                                          uint16_t* defaultValue) {
  if (minimum) *minimum = static_cast<uint16_t>(spec_.gainPercent.min);
  if (maximum) *maximum = static_cast<uint16_t>(spec_.gainPercent.max);
  if (defaultValue) *defaultValue = static_cast<uint16_t>(spec_.gainPercent.def);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ModelCamera::get_PixelSize(uint32_t index, float* x, float* y) {
  if (index >= previewCount()) return E_INVALIDARG;
  if (!x && !y) return E_POINTER;
  const ResolutionEntry& e = previews_[index];
  const float size = ModelMath::pixelSizeByRatio(
      model() ? model()->pixelWidth : 0.0f, ResolutionRatio{e.ratioNumerator, e.ratioDenominator});
  if (x) *x = size;
  if (y) *y = size;
  return S_OK;
}
