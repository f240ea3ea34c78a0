// The pipeline half of every camera object: model ranges, device values, callbacks and the state.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "kernels/calibration.h"
#include "platform/aligned_buffer.h"
#include "pipeline/helper_model_hooks.h"
#include "pipeline/pl_state.h"
#include "pipeline/pl_state_lock.h"
#include "pipeline/preset.h"
#include "platform/lock.h"

// One defect list per resolution entry of the camera's EEPROM block.
struct DefectListSlot {
  static constexpr uint32_t kNoList = 0xFFFFFFFFu;
  uint8_t clipped = 0;
  uint32_t count = kNoList;
  std::vector<DefectPixel> entries;
};

// The constructor's arguments, in the order the models hand them over.
struct PLHlperArgs {
  const WCHAR16* subKey = nullptr;
  uint32_t bayer = 0;
  uint32_t maxWidth = 0, maxHeight = 0;
  uint32_t frameWidth = 0, frameHeight = 0;
  uint8_t wbTempTint = 1;
  uint8_t aeEnableDefault = 0;
  uint8_t hasToneMapping = 0;
  uint64_t modelFlags = 0;
  uint32_t defectListCount = 0;
  uint16_t maxSpeed = 0;
  uint32_t rawFrameBytes = 0;
  uint8_t perResolutionExposure = 0;
  double toneParams[3] = {0.5, 1.0, 1.0};
};

class PLHlperBase : public Preset, public HelperModelHooks {
 public:
  explicit PLHlperBase(const PLHlperArgs& args);
  PLHlperBase(const WCHAR16* subKey, uint32_t bayer, uint32_t maxWidth, uint32_t maxHeight,
              uint32_t frameWidth, uint32_t frameHeight, uint8_t wbTempTint,
              uint8_t aeEnableDefault, uint8_t hasToneMapping, uint64_t modelFlags,
              uint32_t defectListCount, uint16_t maxSpeed, uint32_t rawFrameBytes,
              uint8_t perResolutionExposure, double tone0, double tone1, double tone2);
  // Saves the black offsets, finishes the state and writes the fan and cooler values.
  ~PLHlperBase() override;
  PLHlperBase(const PLHlperBase&) = delete;
  PLHlperBase& operator=(const PLHlperBase&) = delete;

  // Held by the model layer around every sequence of sensor register writes.
  platform::RecursiveLock& sensorLock() { return sensorLock_; }
  // Held shared by every use of ctx8/ctx16 for the whole use, exclusively by what replaces them.
  // Taken before the sensor lock and before a state's settings lock, never after.
  PLStateLock& stateLock() const { return *stateLock_; }

  bool hasFlag(uint64_t flag) const { return (modelFlags & flag) != 0; }
  bool hasHighBitState() const {
    std::shared_lock<PLStateLock> hold(stateLock());
    return ctx16 != nullptr;
  }

  // Callback trampolines; the context is the helper.
  static void TempTintOnce(int32_t temp, int32_t tint, void* helper);
  static void RgbOnce(const int32_t gains[3], void* helper);
  static void BlackOnce(const uint16_t offsets[3], void* helper);
  static void FfcDone(void* helper);
  static void DfcDone(void* helper);
  static void IspMatrix(const double matrix[9], void* helper);
  static void IspWb(const int32_t gains[3], void* helper, const void* state, uint32_t smallest);
  static void IspBb(const uint16_t offsets[3], void* helper);
  static void IspLut(const void* lut, uint32_t bits, void* helper);

  // Settings key, wide as given and as UTF-8 for the registry seam; empty: persist nothing.
  WString subKey;
  std::string regKey;
  uint8_t wbTempTint;
  uint8_t aeEnableDefault;
  uint8_t hasToneMapping;
  uint8_t perResolutionExposure;
  uint8_t cgDefault = 1;
  uint64_t modelFlags;
  uint32_t rawFrameBytes;
  uint32_t defectListCount;
  uint32_t maxWidth, maxHeight;
  uint16_t maxSpeed;
  uint16_t fanMaxSpeed = 0;
  const uint8_t* rawLut8 = nullptr;
  const uint16_t* rawLut16 = nullptr;
  void* extraHook = nullptr;
  void* extraHookCtx = nullptr;
  std::array<double, 3> toneParams;
  std::array<uint8_t, kPixelFormatCount> formatAvailable{};
  uint8_t formatCount = 0;
  std::array<uint32_t, 3> wbGainBase{};
  std::array<uint32_t, 3> wbGainBase2{};  // the model layer's second copy
  std::array<uint32_t, 3> wbGain{};
  std::array<double, 9> colourMatrix{};
  uint8_t eepromRead = 0;
  uint8_t serialValid = 0;
  // The list the grabber repairs with: written while frames flow only by the grabber's step.
  uint32_t curDefectCount = 0;
  const DefectPixel* curDefects = nullptr;
  std::atomic<bool> defectListDue{false};  // a skip change asked the grabber for a new list
  std::vector<DefectListSlot> defectLists;
  char serial[32] = {};
  uint8_t pixelFormat = 0;
  uint16_t pixelFormatIndex = 0;  // the model layer's 16-bit copy
  uint16_t gainMin = 0, gainMax = 0, gainDefault = 0;
  uint32_t timeMin = 0, timeMax = 0, timeDefault = 0;
  uint32_t aeMinTime = 0;
  uint16_t aeMinGain = 0;
  uint32_t exposureInForceUs = 0;

  std::atomic<void (*)(void* context)> onExposureChanged{nullptr};
  std::atomic<void*> onExposureChangedCtx{nullptr};
  void (*onTempTintOnce)(int32_t temp, int32_t tint, void* context) = nullptr;
  void* onTempTintOnceCtx = nullptr;
  void (*statsCallback)(const float*, const float*, const float*, const float*, void*) = nullptr;
  void* statsCallbackCtx = nullptr;
  uint32_t statsRequest = 0;
  void (*onRgbOnce)(const int32_t gains[3], void* context) = nullptr;
  void* onRgbOnceCtx = nullptr;
  void (*onBlackOnce)(const uint16_t offsets[3], void* context) = nullptr;
  void* onBlackOnceCtx = nullptr;
  std::atomic<void (*)(void* context)> onFfcDone{nullptr};
  std::atomic<void*> onFfcDoneCtx{nullptr};
  std::atomic<void (*)(void* context)> onDfcDone{nullptr};
  std::atomic<void*> onDfcDoneCtx{nullptr};
  uint32_t bayer;
  // A rebuild copies these into its state under its exclusive hold; a setter writes them under a
  // shared one and hookLock, which two setters take in turn. Its holders wait for nothing.
  platform::Mutex hookLock;
  PL_HistogramCallback histogramCallback = nullptr;
  void* histogramCallbackCtx = nullptr;
  PL_DemosaicHook demosaicCallback = nullptr;
  void* demosaicCallbackCtx = nullptr;

  uint16_t blackLevel = 0;
  uint16_t fanSpeed = 0;
  uint16_t speed = 0;
  uint16_t appliedGain = 0;
  uint32_t preciseFrameRate = 0;
  uint32_t bandwidth = 85;
  uint32_t tecOn = 0;
  uint32_t skip = 0;
  int32_t tecTarget = 0;
  uint32_t appliedTime = 0;
  uint32_t triggerModeTime = 0, videoModeTime = 0;
  uint32_t resolutionIndex = 0;
  uint32_t frameWidth, frameHeight;
  uint32_t procWidth, procHeight;
  uint32_t aeMaxTime = 0;
  uint16_t aeMaxGain = 0;
  // The quick demosaic's scratch, for a host thread beside the fill-buffer thread: every use,
  // its growth by an open included, holds quickLock.
  // Holders run the quick kernel only, no callback: never in a set, so no edge in the wait table.
  platform::Mutex quickLock;
  platform::AlignedBuffer quickBuffer;
  size_t quickBufferBytes = 0;  // kept across opens; grown only when a larger frame needs it
  platform::AlignedBuffer stillBuffer;
  uint32_t outputFormat = 0;
  uint8_t byteOrder = 1;
  uint8_t hasWbGainBase = 1;
  uint8_t hasColourMatrix = 1;
  uint8_t workersAllowed = 1;
  uint8_t rowOrder = 1;
  // The host's camera tone curves and output tables, copied at the call (empty: none); every
  // new state takes them.
  std::vector<uint8_t> toneTable8, outputLut8;
  std::vector<uint16_t> toneTable16, outputLut16;
  PLContextPtr ctx8;
  PLContext16Ptr ctx16;

 private:
  bool retireStateHeldHere();

  // Holders do register I/O; notices wait for its release: no edge in the wait table.
  platform::RecursiveLock sensorLock_;
  // Its own allocation: a helper deleted inside its own hold leaves it to that hold to end.
  std::unique_ptr<PLStateLock> stateLock_ = std::make_unique<PLStateLock>();
};

// Runs f on the helper's state, the 8-bit one when both exist; false when there is none. The
// state lives until f returns.
template <typename Helper, typename F>
bool WithState(Helper& helper, F&& f) {
  std::shared_lock<PLStateLock> hold(helper.stateLock());
  if (helper.ctx8) {
    f(*helper.ctx8);
    return true;
  }
  if (helper.ctx16) {
    f(*helper.ctx16);
    return true;
  }
  return false;
}

// True when the output turns by 90 or 270 degrees (180 with 270 cancels); false without a state.
bool PL_IsRotated90(const PLHlperBase& helper);

// Copies the helper's statistics callback, its context and request word into the state.
void PL_SetStatsCallback(PLHlperBase& helper);

// 0x8000FFFF without a state. Enabling builds the vignette tables, reusing the radius table
// while the processing size holds, and publishes them before storing the switch.
HRESULT PL_SetVignetteEnable(PLHlperBase& helper, int32_t on);
