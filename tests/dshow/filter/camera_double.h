// A camera double for the filter's tests: resolutions, sizes, start and stop, frames on demand.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/model_catalogue.h"
#include "core/stream/notify_slot.h"
#include "dshow/filter/camera_provider.h"
#include "dshow/filter/cdcm.h"
#include "tests/dshow/filter/camera_values.h"

// What the cameras of one provider saw; outlives the cameras, which the filter deletes.
struct CameraLog {
  std::atomic<int> starts{0};
  std::atomic<int> stops{0};
  std::atomic<int> alive{0};
  std::atomic<int> pulls{0};
  std::atomic<uint32_t> largestPullSize{0};
  std::atomic<int> bitDepthCalls{0};
  std::atomic<int> snaps{0};
  std::atomic<int> presetLoads{0};
  // Pulls and stills begun while a depth or preset change was inside the camera: a pin that was
  // held begins none.
  std::atomic<int> pullsDuringChange{0};
  std::atomic<int> snapsDuringChange{0};
  std::function<void()> onChange;     // called as such a change begins, set before streaming
  std::function<void()> onChangeEnd;  // called as it ends, still inside the camera
  std::mutex lock;
  std::vector<std::wstring> openedIds;
  // The settings pages read and write, shared by every camera of the provider; each call on
  // them is recorded here.
  std::shared_ptr<CameraValues> values = std::make_shared<CameraValues>();
};

struct CameraSetup {
  std::vector<SIZE> sizes{{640, 480}, {320, 240}};
  uint32_t stills = 0;  // the first N sizes are still sizes too
  uint32_t fps = 30;    // get_MaxFrameRateOf
  HRESULT startResult = S_OK;
  HRESULT pullResult = S_OK;  // anything but S_OK is answered instead of a frame
  uint32_t frameBytes = 0;    // 0: the delivered frame's RGB24 size
  bool refuseSelect = false;  // put_eSize / put_eStillSize answer E_UNEXPECTED
  bool noFrames = false;      // a pull waits for the pin's command (at most 10 s)
  bool turned = false;        // frames and stills come rotated by 90 degrees (the rotate option)
  uint32_t maxBitDepth = 8;
  HRESULT bitDepthResult = S_OK;  // what put_BitDepth answers
  DWORD bitDepthMs = 0;           // how long put_BitDepth and LoadPreset take
  HRESULT snapResult = S_OK;      // anything but S_OK is answered instead of a still
  DWORD snapMs = 0;               // how long a still takes (a command ends it early)
  bool exposureAtStart = false;   // start raises the exposure callback, as the core's does
  bool exposureAtStop = false;    // and stop
};

class CameraDouble : public FilterCamera,
                     public LumorixNotImplemented<ILumorix>,
                     public LumorixNotImplemented<ILumorixStillImage>,
                     public LumorixNotImplemented<ILumorixInternal>,
                     public LumorixNotImplemented<ILumorixPreset>,
                     public LumorixNotImplemented<ILumorixInternalInternal> {
 public:
  CameraDouble(const CameraSetup& setup, std::shared_ptr<CameraLog> log);
  ~CameraDouble() override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }

  ILumorix* lumorix() override { return this; }
  HRESULT start() override;
  HRESULT stop() override;
  HRESULT PullFrameForPin(uint8_t* buffer, uint32_t size, HANDLE cancelEvent) override;
  HRESULT SnapForPin(uint8_t* buffer, uint32_t size, HANDLE cancelEvent) override;

  uint32_t STDMETHODCALLTYPE get_ResolutionNumber() override;
  HRESULT STDMETHODCALLTYPE get_Resolution(uint32_t index, int32_t* w, int32_t* h) override;
  HRESULT STDMETHODCALLTYPE get_eSize(uint32_t* index) override;
  HRESULT STDMETHODCALLTYPE put_eSize(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE get_FinalSize(int32_t* w, int32_t* h) override;
  HRESULT STDMETHODCALLTYPE put_VignetteEnable(uint32_t) override { return S_OK; }
  uint32_t STDMETHODCALLTYPE get_StillResolutionNumber() override { return setup_.stills; }
  HRESULT STDMETHODCALLTYPE get_StillResolution(uint32_t index, int32_t* w, int32_t* h) override;
  HRESULT STDMETHODCALLTYPE get_eStillSize(uint32_t* index) override;
  HRESULT STDMETHODCALLTYPE put_eStillSize(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE get_StillSize(int32_t* w, int32_t* h) override;
  uint32_t STDMETHODCALLTYPE get_MaxFrameRateOf(uint32_t) override { return setup_.fps; }
  HRESULT STDMETHODCALLTYPE put_VignetteAmount(double v) override { return store(amount_, v); }
  HRESULT STDMETHODCALLTYPE get_VignetteAmount(double* v) override { return load(amount_, v); }
  HRESULT STDMETHODCALLTYPE put_VignetteMidPoint(double v) override { return store(mid_, v); }
  HRESULT STDMETHODCALLTYPE get_VignetteMidPoint(double* v) override { return load(mid_, v); }

  uint32_t STDMETHODCALLTYPE get_MaxBitDepth() override { return setup_.maxBitDepth; }
  HRESULT STDMETHODCALLTYPE get_BitDepth(uint32_t* high) override;
  HRESULT STDMETHODCALLTYPE put_BitDepth(int32_t high) override;
  HRESULT STDMETHODCALLTYPE LoadPreset(uint32_t index) override;
  // The rotate option only: 0, 90, 180, 270.
  HRESULT STDMETHODCALLTYPE put_Option(uint32_t code, int32_t value) override;
  HRESULT STDMETHODCALLTYPE get_Option(uint32_t code, int32_t* value) override;

  // The region is the current preview size at (roiX, roiY) unless put_Roi chose another.
  HRESULT STDMETHODCALLTYPE get_Size(int32_t* w, int32_t* h) override;
  HRESULT STDMETHODCALLTYPE put_Roi(uint32_t x, uint32_t y, uint32_t w, uint32_t h) override;
  HRESULT STDMETHODCALLTYPE get_Roi(uint32_t* x, uint32_t* y, uint32_t* w, uint32_t* h) override;
  std::atomic<int> roiCalls{0};
  uint32_t roi[4] = {};  // x, y, width, height of the last put_Roi; width 0: none yet

  // --- The settings pages read and write (camera_double_pages.cpp); each call is recorded.
  HRESULT STDMETHODCALLTYPE get_AutoExpoEnable(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_AutoExpoEnable(uint32_t on) override;
  HRESULT STDMETHODCALLTYPE get_AutoExpoTarget(uint16_t* target) override;
  HRESULT STDMETHODCALLTYPE put_AutoExpoTarget(uint16_t target) override;
  HRESULT STDMETHODCALLTYPE get_ExpoTime(uint32_t* us) override;
  HRESULT STDMETHODCALLTYPE put_ExpoTime(uint32_t us) override;
  HRESULT STDMETHODCALLTYPE get_RealExpoTime(uint32_t* us) override;
  HRESULT STDMETHODCALLTYPE get_ExpoAGain(uint16_t* percent) override;
  HRESULT STDMETHODCALLTYPE put_ExpoAGain(uint16_t percent) override;
  HRESULT STDMETHODCALLTYPE get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                             uint32_t* defaultValue) override;
  HRESULT STDMETHODCALLTYPE get_ExpoAGainRange(uint16_t* minimum, uint16_t* maximum,
                                               uint16_t* defaultValue) override;
  HRESULT STDMETHODCALLTYPE get_AutoExpoMaxTimeAGain(uint32_t* us, uint16_t* percent) override;
  HRESULT STDMETHODCALLTYPE put_AutoExpoMaxTimeAGain(uint32_t us, uint16_t percent) override;
  HRESULT STDMETHODCALLTYPE put_ExpoCallback(LumorixNotifyCallback callback,
                                             void* context) override;
  HRESULT STDMETHODCALLTYPE get_TempTint(int32_t* temperature, int32_t* tint) override;
  HRESULT STDMETHODCALLTYPE put_TempTint(int32_t temperature, int32_t tint) override;
  HRESULT STDMETHODCALLTYPE AwbOnePush(LumorixTempTintCallback callback, void* context) override;
  HRESULT STDMETHODCALLTYPE get_Hue(int32_t* hue) override;
  HRESULT STDMETHODCALLTYPE put_Hue(int32_t hue) override;
  HRESULT STDMETHODCALLTYPE get_Saturation(uint32_t* saturation) override;
  HRESULT STDMETHODCALLTYPE put_Saturation(uint32_t saturation) override;
  HRESULT STDMETHODCALLTYPE get_Brightness(int32_t* brightness) override;
  HRESULT STDMETHODCALLTYPE put_Brightness(int32_t brightness) override;
  HRESULT STDMETHODCALLTYPE get_Contrast(int32_t* contrast) override;
  HRESULT STDMETHODCALLTYPE put_Contrast(int32_t contrast) override;
  HRESULT STDMETHODCALLTYPE get_Gamma(int32_t* gamma) override;
  HRESULT STDMETHODCALLTYPE put_Gamma(int32_t gamma) override;
  uint32_t STDMETHODCALLTYPE get_IsColor() override;
  HRESULT STDMETHODCALLTYPE get_Chrome(uint32_t* grey) override;
  HRESULT STDMETHODCALLTYPE put_Chrome(uint32_t grey) override;
  HRESULT STDMETHODCALLTYPE put_ChromeCallback(LumorixNotifyCallback callback,
                                               void* context) override;
  HRESULT STDMETHODCALLTYPE GetHistogram(LumorixHistogramCallback callback, void* context) override;
  HRESULT STDMETHODCALLTYPE get_LevelRange(uint16_t low[4], uint16_t high[4]) override;
  HRESULT STDMETHODCALLTYPE put_LevelRange(const uint16_t low[4], const uint16_t high[4]) override;
  HRESULT STDMETHODCALLTYPE LevelRangeAuto() override;
  // --- Misc, region, cooling and presets (camera_double_devices.cpp); each call is recorded.
  HRESULT STDMETHODCALLTYPE get_Speed(uint16_t* level) override;
  HRESULT STDMETHODCALLTYPE put_Speed(uint16_t level) override;
  uint32_t STDMETHODCALLTYPE get_MaxSpeed() override;
  HRESULT STDMETHODCALLTYPE get_HFlip(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_HFlip(int32_t on) override;
  HRESULT STDMETHODCALLTYPE get_VFlip(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_VFlip(int32_t on) override;
  HRESULT STDMETHODCALLTYPE get_LightFrequency(uint32_t* mode) override;
  HRESULT STDMETHODCALLTYPE put_LightFrequency(uint32_t mode) override;
  HRESULT STDMETHODCALLTYPE get_Skip(uint32_t* skip) override;
  HRESULT STDMETHODCALLTYPE put_Skip(uint32_t skip) override;
  HRESULT STDMETHODCALLTYPE get_Rect(RECT* rect) override;
  HRESULT STDMETHODCALLTYPE put_Rect(const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE put_AeWindowMark(int32_t on) override;
  HRESULT STDMETHODCALLTYPE get_FanSpeed(uint16_t* speed) override;
  HRESULT STDMETHODCALLTYPE put_FanSpeed(uint16_t speed) override;
  uint32_t STDMETHODCALLTYPE get_FanMaxSpeed() override;
  HRESULT STDMETHODCALLTYPE get_Tec(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_Tec(uint32_t on) override;
  HRESULT STDMETHODCALLTYPE get_TecTarget(int32_t* tenths) override;
  HRESULT STDMETHODCALLTYPE put_TecTarget(int32_t tenths) override;
  HRESULT STDMETHODCALLTYPE get_Temperature(int16_t* tenths) override;
  HRESULT STDMETHODCALLTYPE get_ModelInfo(const ModelInfo** info) override;
  uint32_t STDMETHODCALLTYPE get_PresetCount() override;
  HRESULT STDMETHODCALLTYPE get_PresetModel(WCHAR16* name) override;
  HRESULT STDMETHODCALLTYPE get_Preset(uint32_t index, PresetRecord* preset) override;
  HRESULT STDMETHODCALLTYPE AddPreset(const WCHAR16* name) override;
  HRESULT STDMETHODCALLTYPE OverwritePreset(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE put_Presets(const PresetRecord* records, uint32_t count) override;
  CameraValues& values() { return *values_; }

  std::atomic<uint32_t> previewIndex{0};
  std::atomic<uint32_t> highDepth{0};
  std::atomic<uint32_t> stillIndex{0};
  std::atomic<int32_t> degrees{0};
  // The exposure callback through the core's own slot, on the calling thread, as an exposure
  // change would; a put_ExpoCallback then waits for the call as the core's does.
  void raiseExposure() { exposureSlot_.call(); }

 private:
  NotifySlot exposureSlot_;
  CameraSetup setup_;
  std::shared_ptr<CameraLog> log_;
  std::atomic<bool> streaming_{false};
  std::shared_ptr<CameraValues> values_;
  bool turned() const { return degrees == 90 || degrees == 270; }
  // A slow change inside the camera, counting what the pins began meanwhile.
  void change();
  static HRESULT store(double& to, double v) {
    to = v;
    return S_OK;
  }
  static HRESULT load(double from, double* v) {
    *v = from;
    return S_OK;
  }
  double amount_ = 0;
  double mid_ = 0;
};

// Hands out doubles for the setups it lists, as enumeration and opening would.
class DoubleProvider : public CameraProvider {
 public:
  explicit DoubleProvider(std::vector<CameraSetup> cameras);
  ~DoubleProvider() override;  // no longer the active provider

  uint32_t enumerate(CameraDeviceRecord (&records)[kMaxCameraRecords]) override;
  std::unique_ptr<FilterCamera> open(const WCHAR16* id) override;
  std::unique_ptr<FilterCamera> openFirst(WCHAR16 prefix) override;

  std::shared_ptr<CameraLog> log = std::make_shared<CameraLog>();
  CameraDouble* last = nullptr;  // the camera opened last; owned by its filter

 private:
  std::vector<CameraSetup> cameras_;
  ModelInfoV1 model_{};
};

// The real filter over one camera double; the double's values are shared with the test.
class FilterWithDouble {
 public:
  // prepare sets the values before the filter is created.
  explicit FilterWithDouble(CameraSetup setup = {},
                            const std::function<void(CameraValues&)>& prepare = {});
  ~FilterWithDouble();
  FilterWithDouble(const FilterWithDouble&) = delete;
  FilterWithDouble& operator=(const FilterWithDouble&) = delete;
  IUnknown* object() const { return static_cast<ILumorix*>(filter_); }
  CameraValues& values() { return *provider_.log->values; }
  CDcm* filter() const { return filter_; }

 private:
  DoubleProvider provider_;
  CDcm* filter_ = nullptr;
};
