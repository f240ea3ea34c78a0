// The camera calls the filter answers itself rather than forwarding: integer vignette forms,
// changes that need the pins held or a connected size or shape kept, the stored name and the index.
#include <algorithm>
#include <cstring>

#include "base/vignette_units.h"
#include "core/lumorix_options.h"
#include "dshow/filter/cdcm.h"
#include "dshow/pins/cpushpindcm.h"
#include "dshow/pins/cstillpindcm.h"
#include "pipeline/preset_record.h"

namespace {

constexpr uint32_t kEightBits = 8;
constexpr int32_t kBinningAverageBit = 0x80;
constexpr int32_t kMaxBinningFactor = 4;
constexpr int32_t kBinningFactorBits = 0x0F;
constexpr uint32_t kFactoryPresetIndex = 0xFFFFFFFFu;  // LoadPreset's factory settings

bool quarterTurn(int32_t degrees) {
  return degrees == 90 || degrees == 270;
}

// The factor a stored binning code gives once the camera has checked it: an unknown code bins by
// 1, an averaging one by its low bits within 1..4.
int32_t presetBinningFactor(uint8_t code) {
  if (!(code & kBinningAverageBit)) return code >= 1 && code <= kMaxBinningFactor ? code : 1;
  return std::clamp<int32_t>(code & kBinningFactorBits, 1, kMaxBinningFactor);
}

// A stored turn as the camera reads it: 90 for its bit, else 180, else 270, else none.
int32_t presetDegrees(uint32_t processFlags) {
  namespace F = PLProcessFlags;
  if (processFlags & F::kRotate90) return 90;
  if (processFlags & F::kRotate180) return 180;
  return (processFlags & F::kRotate270) ? 270 : 0;
}

}  // namespace

HRESULT STDMETHODCALLTYPE CDcm::put_VignetteAmountInt(int32_t amount) {
  return put_VignetteAmount(VignetteAmountFromInt(amount));
}

HRESULT STDMETHODCALLTYPE CDcm::get_VignetteAmountInt(int32_t* amount) {
  double value = 0;
  const HRESULT hr = get_VignetteAmount(&value);
  if (SUCCEEDED(hr) && amount) *amount = VignetteAmountToInt(value);
  return hr;
}

HRESULT STDMETHODCALLTYPE CDcm::put_VignetteMidPointInt(int32_t midPoint) {
  return put_VignetteMidPoint(VignetteMidPointFromInt(midPoint));
}

HRESULT STDMETHODCALLTYPE CDcm::get_VignetteMidPointInt(int32_t* midPoint) {
  double value = 0;
  const HRESULT hr = get_VignetteMidPoint(&value);
  if (SUCCEEDED(hr) && midPoint) *midPoint = VignetteMidPointToInt(value);
  return hr;
}

bool CDcm::pausePins(bool held[2]) {
  if ((preview_ && preview_->onWorkerThread()) || (still_ && still_->onWorkerThread()))
    return false;
  // A pin without a running worker has nothing to hold, and must not be set running after.
  held[0] = preview_ && preview_->holdWorker();
  held[1] = still_ && still_->holdWorker();
  return true;
}

void CDcm::resumePins(const bool held[2]) {
  if (held[0]) preview_->releaseWorker();
  if (held[1]) still_->releaseWorker();
}

// A change of output depth rebuilds the pipeline, which no worker may be pulling from meanwhile.
HRESULT STDMETHODCALLTYPE CDcm::put_BitDepth(int32_t high) {
  ILumorix* cam = lumorix();
  if (!cam) return E_UNEXPECTED;
  if (cam->get_MaxBitDepth() <= kEightBits) return S_OK;
  uint32_t current = 0;
  const HRESULT read = cam->get_BitDepth(&current);
  if (FAILED(read)) return read;
  if ((current != 0) == (high != 0)) return S_OK;
  bool held[2] = {};
  if (!pausePins(held)) return RPC_E_WRONG_THREAD;
  const HRESULT hr = cam->put_BitDepth(high);
  resumePins(held);
  return hr;
}

HRESULT STDMETHODCALLTYPE CDcm::LoadPreset(uint32_t index) {
  ILumorixPreset* presets = CameraCompanion<ILumorixPreset>(lumorix());
  if (!presets) return E_UNEXPECTED;
  if (presetFixedAgainst(presets, index)) return VFW_E_ALREADY_CONNECTED;
  const bool hold = get_MaxBitDepth() > kEightBits;
  bool held[2] = {};
  if (hold && !pausePins(held)) return RPC_E_WRONG_THREAD;
  const HRESULT hr = presets->LoadPreset(index);
  if (hold) resumePins(held);
  return hr;
}

// While the preview is connected its frame size is fixed: a region may move, not resize.
HRESULT STDMETHODCALLTYPE CDcm::put_Roi(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  ILumorix* cam = lumorix();
  if (!cam) return E_UNEXPECTED;
  if (!preview_ || !preview_->IsConnected()) return cam->put_Roi(x, y, width, height);
  uint32_t currentWidth = 0;
  uint32_t currentHeight = 0;
  if (FAILED(cam->get_Roi(nullptr, nullptr, &currentWidth, &currentHeight))) return E_UNEXPECTED;
  if (x == 0 && y == 0 && width == 0) {
    int32_t fullWidth = 0;
    int32_t fullHeight = 0;
    const HRESULT hr = cam->get_Size(&fullWidth, &fullHeight);
    if (FAILED(hr)) return hr;
    width = static_cast<uint32_t>(fullWidth);
    height = static_cast<uint32_t>(fullHeight);
  }
  if (width != currentWidth || height != currentHeight) return E_UNEXPECTED;
  return cam->put_Roi(x, y, width, height);
}

bool CDcm::pictureTurned() const {
  ILumorix* cam = lumorix();
  int32_t degrees = 0;
  return cam && SUCCEEDED(cam->get_Option(LUMORIX_OPTION_ROTATE, &degrees)) && quarterTurn(degrees);
}

bool CDcm::turnFixedAgainst(int32_t degrees) const {
  const bool connected = (preview_ && preview_->IsConnected()) || (still_ && still_->IsConnected());
  const bool known = degrees == 0 || degrees == 180 || quarterTurn(degrees);
  return connected && known && quarterTurn(degrees) != pictureTurned();
}

// The connected types size every sample: a turn that swaps width and height would have the camera
// refuse each frame and abort the graph. A half turn keeps the shape; the camera judges the rest.
// Binning divides the preview's size, so while it is connected only the current factor is taken.
HRESULT STDMETHODCALLTYPE CDcm::put_Option(uint32_t code, int32_t value) {
  ILumorix* cam = lumorix();
  if (!cam) return NoTargetResult<ILumorix>(LumorixTraits<ILumorix>::put_Option);
  if (code == LUMORIX_OPTION_ROTATE && turnFixedAgainst(value)) return E_UNEXPECTED;
  if (code == LUMORIX_OPTION_BINNING && binningFixedAgainst(value)) return VFW_E_ALREADY_CONNECTED;
  return cam->put_Option(code, value);
}

bool CDcm::binningFixedAgainst(int32_t value) const {
  ILumorix* cam = lumorix();
  const int32_t factor = value & ~kBinningAverageBit;
  if (!preview_ || !preview_->IsConnected() || factor < 1 || factor > kMaxBinningFactor)
    return false;
  int32_t current = 0;
  if (FAILED(cam->get_Option(LUMORIX_OPTION_BINNING, &current))) return true;
  return (current & ~kBinningAverageBit) != factor;
}

// A preset brings its own binning and turn: with a pin connected, one that would change a connected
// size is refused as the option itself would be. The factory settings bin by 1 and do not turn.
bool CDcm::presetFixedAgainst(ILumorixPreset* presets, uint32_t index) const {
  const bool connected = (preview_ && preview_->IsConnected()) || (still_ && still_->IsConnected());
  if (!connected) return false;
  int32_t binning = 1;
  int32_t degrees = 0;
  if (index != kFactoryPresetIndex) {
    PresetRecord record{};
    if (FAILED(presets->get_Preset(index, &record))) return false;  // the camera refuses it too
    binning = presetBinningFactor(record.binning);
    degrees = presetDegrees(record.settings.processFlags);
  }
  return binningFixedAgainst(binning) || turnFixedAgainst(degrees);
}

// While the preview is connected its type sizes every sample: another size would be delivered into
// buffers of the old one. The current size is taken, as SetFormat takes it.
bool CDcm::previewIndexFixedAgainst(uint32_t index) const {
  ILumorix* cam = lumorix();
  if (!preview_ || !preview_->IsConnected() || index >= cam->get_ResolutionNumber()) return false;
  uint32_t current = 0;
  return FAILED(cam->get_eSize(&current)) || current != index;
}

HRESULT STDMETHODCALLTYPE CDcm::put_eSize(uint32_t index) {
  ILumorix* cam = lumorix();
  if (!cam) return NoTargetResult<ILumorix>(LumorixTraits<ILumorix>::put_eSize);
  if (previewIndexFixedAgainst(index)) return VFW_E_ALREADY_CONNECTED;
  return cam->put_eSize(index);
}

// A size the list does not hold is the camera's to refuse.
HRESULT STDMETHODCALLTYPE CDcm::put_Size(int32_t width, int32_t height) {
  ILumorix* cam = lumorix();
  if (!cam) return NoTargetResult<ILumorix>(LumorixTraits<ILumorix>::put_Size);
  const uint32_t count = preview_ && preview_->IsConnected() ? cam->get_ResolutionNumber() : 0;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t w = 0;
    int32_t h = 0;
    if (FAILED(cam->get_Resolution(i, &w, &h)) || w != width || h != height) continue;
    if (previewIndexFixedAgainst(i)) return VFW_E_ALREADY_CONNECTED;
    break;
  }
  return cam->put_Size(width, height);
}

bool CDcm::stillSizeFixedAgainst(int32_t width, int32_t height) {
  if (!still_ || !still_->IsConnected()) return false;
  ILumorixStillImage* stills = CameraCompanion<ILumorixStillImage>(lumorix());
  int32_t currentWidth = 0;
  int32_t currentHeight = 0;
  if (!stills || FAILED(stills->get_StillSize(&currentWidth, &currentHeight))) return true;
  return width != currentWidth || height != currentHeight;
}

// The connected still type sizes the still pin's samples: a larger still would overrun them.
HRESULT STDMETHODCALLTYPE CDcm::put_StillSize(int32_t width, int32_t height) {
  ILumorixStillImage* stills = CameraCompanion<ILumorixStillImage>(lumorix());
  if (!stills) return E_UNEXPECTED;
  if (stillSizeFixedAgainst(width, height)) return E_UNEXPECTED;
  return stills->put_StillSize(width, height);
}

HRESULT STDMETHODCALLTYPE CDcm::put_eStillSize(uint32_t index) {
  ILumorixStillImage* stills = CameraCompanion<ILumorixStillImage>(lumorix());
  if (!stills) return E_UNEXPECTED;
  if (still_ && still_->IsConnected()) {
    int32_t width = 0;
    int32_t height = 0;
    if (FAILED(stills->get_StillResolution(index, &width, &height)) ||
        stillSizeFixedAgainst(width, height))
      return E_UNEXPECTED;
  }
  return stills->put_eStillSize(index);
}

// The name the camera was enumerated under; the camera is not asked.
HRESULT STDMETHODCALLTYPE CDcm::get_Name(char* name) {
  if (!name) return E_POINTER;
  if (displayName_[0] == '\0') return E_UNEXPECTED;
  std::memcpy(name, displayName_, std::strlen(displayName_) + 1);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDcm::get_Index(uint32_t* index) {
  if (!index) return E_POINTER;
  *index = index_;
  return S_OK;
}
