// The model-independent camera object: the interface family, settings, buffers and stream state.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "base/lumorix_flags.h"
#include "core/camera_buffer_impl.h"
#include "core/control_lock.h"
#include "core/frame_rate.h"
#include "core/lumorix_frame.h"
#include "core/lumorix_impl_base.h"
#include "core/lumorix_impl_callback.h"
#include "core/model_catalogue.h"
#include "core/resolution_entry.h"
#include "core/stream/notify_slot.h"
#include "core/stream/stream_claims.h"
#include "pipeline/helper_model_hooks.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "platform/thread.h"
#include "platform/types.h"

class CUsb;
class CIo;
class PLHlperBase;
class StreamPipeline;
class StreamControl;
class Grabber;
class Delivery;
class PullApi;
class EventSink;
class FocusThread;

// The stream refuses a stop or restart asked on one of its own threads.
inline constexpr HRESULT kWrongThread = static_cast<HRESULT>(0x8001010E);

inline constexpr size_t kRegistrySubkeyChars = 260;  // with the terminator

enum class RunState : uint32_t { Stopped = 0, StillRequested = 1, StillParked = 2, Running = 3 };
enum class PauseState : uint32_t { ResumeRequested = 0, Paused = 1, Running = 2 };

struct SnapRequest {
  uint32_t resolutionIndex;
  int32_t count;
  uint64_t context;
};

// Where a start's events go: its callback, else its window, else nowhere.
struct EventChoice {
  LumorixEventCallback callback = nullptr;
  void* context = nullptr;
  void* window = nullptr;
  uint32_t message = 0;
};

class BaseImpl : public LumorixImplBase,
                 public LumorixNotImplemented<ILumorixStillImage>,
                 public LumorixNotImplemented<ILumorixSerialNumber>,
                 public LumorixNotImplemented<ILumorixInternal>,
                 public LumorixNotImplemented<ILumorixProcessFlag>,
                 public LumorixNotImplemented<ILumorixPreset>,
                 public LumorixNotImplemented<ILumorixInternalInternal>,
                 public LumorixImplCallback,
                 public LumorixNotImplemented<ILumorixVersion>,
                 public LumorixNotImplemented<ILumorixST4> {
 public:
  // Reads the stored preview and still index when settingsRoot is non-empty. Construction
  // cannot report failure itself: a factory checks valid() and deletes an object that is not.
  BaseImpl(uint32_t rawBufferBytes, uint32_t defaultPreviewIndex, const ModelInfo* model,
           const WCHAR16* settingsRoot, uint8_t openFlagA, uint8_t openFlagB,
           const WCHAR16* registryName, const ResolutionEntry* previewTable);
  // Writes the current indexes back. The owner stops a started camera first.
  virtual ~BaseImpl();
  BaseImpl(const BaseImpl&) = delete;
  BaseImpl& operator=(const BaseImpl&) = delete;

  // Every buffer and event exists.
  bool valid() const;
  // The object persists nothing from now on; for a factory discarding an unusable camera.
  void dropSettingsKey() { hasRegistryKey_ = false; }

  // IUnknown, shared by every interface; no reference counting.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }

  // Generic interface bodies.
  uint32_t STDMETHODCALLTYPE get_MaxSpeed() override;
  uint32_t STDMETHODCALLTYPE get_ResolutionNumber() override;
  HRESULT STDMETHODCALLTYPE get_RealTime(uint32_t* mode) override;
  uint32_t STDMETHODCALLTYPE get_StillResolutionNumber() override;
  uint32_t STDMETHODCALLTYPE get_NoFrameState() override;

  // Streaming (core/stream/).
  HRESULT start(LumorixDataCallback dataA = nullptr, LumorixDataCallbackV2 dataB = nullptr,
                LumorixStillBufferCallback stillBuffer = nullptr,
                LumorixStillRequestCallback stillRequest = nullptr, void* userContext = nullptr,
                LumorixEventCallback event = nullptr, void* eventContext = nullptr,
                void* window = nullptr, uint32_t message = 0, int32_t startPaused = 0) override;
  HRESULT stop() override;
  HRESULT close() override;
  // For a model's destructor: stop() that also works from one of the camera's own callbacks.
  void stopBeforeDelete();
  HRESULT Snap(uint32_t resolutionIndex, int32_t count, uint64_t context) override;
  HRESULT trigger(uint16_t count) override;
  HRESULT PullImage(uint8_t* dst, uint32_t bits, uint32_t rowPitch,
                    LumorixFrameInfo* info) override;
  HRESULT PullStillImage(uint8_t* dst, uint32_t bits, uint32_t rowPitch,
                         LumorixFrameInfo* info) override;
  HRESULT PullFrameForPin(uint8_t* dst, uint32_t dstSize, platform::Event* extraEvent) override;
  HRESULT SnapForPin(uint8_t* dst, uint32_t size, platform::Event* cancelEvent) override;
  HRESULT PopFrame(LumorixFrameEntry* entry) override;
  HRESULT PopStillFrame(LumorixFrameEntry* entry) override;
  HRESULT ReturnFrame(LumorixFrameEntry* entry) override;
  HRESULT FreeFrame(LumorixFrameEntry* entry) override;
  HRESULT STDMETHODCALLTYPE Flush() override;
  // Every restart path goes through here: stop the threads, apply, start again if streaming with
  // the start step's two switches. A failed start leaves the camera fully stopped and is returned.
  // kWrongThread on any thread the camera or its pipeline owns, and inside a conversion.
  template <class Apply>
  HRESULT RestartStream(bool openCamera, bool roiOnly, Apply&& apply);
  // As RestartStream, but whether it must restart is decided under the control lock, so no
  // restart changes the answer before apply; without one apply runs at once. On a camera thread a
  // needed restart is kWrongThread, an unneeded one applies (every restart waits for that thread).
  template <class Needed, class Apply>
  HRESULT RestartStreamIf(Needed&& needed, Apply&& apply);
  HRESULT SetSpeedRestart(uint16_t speed, bool force);
  void DdrRealtime();
  void FactoryResetNotify();
  bool onCameraThread() const;

  // Sizes (core/size_properties.cpp), each get/put pair side by side.
  HRESULT STDMETHODCALLTYPE get_Resolution(uint32_t index, int32_t* width,
                                           int32_t* height) override;
  HRESULT STDMETHODCALLTYPE get_ResolutionRatio(uint32_t index, int32_t* numerator,
                                                int32_t* denominator) override;
  HRESULT STDMETHODCALLTYPE get_StillResolution(uint32_t index, int32_t* width,
                                                int32_t* height) override;
  HRESULT STDMETHODCALLTYPE get_Size(int32_t* width, int32_t* height) override;
  HRESULT STDMETHODCALLTYPE put_Size(int32_t width, int32_t height) override;
  HRESULT STDMETHODCALLTYPE get_eSize(uint32_t* index) override;
  HRESULT STDMETHODCALLTYPE put_eSize(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE get_StillSize(int32_t* width, int32_t* height) override;
  HRESULT STDMETHODCALLTYPE put_StillSize(int32_t width, int32_t height) override;
  HRESULT STDMETHODCALLTYPE get_eStillSize(uint32_t* index) override;
  HRESULT STDMETHODCALLTYPE put_eStillSize(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE get_FinalSize(int32_t* width, int32_t* height) override;
  // The region of interest (core/roi.cpp), in preview pixels counted from the top.
  HRESULT STDMETHODCALLTYPE put_Roi(uint32_t x, uint32_t y, uint32_t width,
                                    uint32_t height) override;
  HRESULT STDMETHODCALLTYPE get_Roi(uint32_t* x, uint32_t* y, uint32_t* width,
                                    uint32_t* height) override;
  // Device values (core/device_properties.cpp): one guard each, then the pipeline's setter.
  HRESULT STDMETHODCALLTYPE get_Speed(uint16_t* level) override;
  HRESULT STDMETHODCALLTYPE put_Speed(uint16_t level) override;
  uint32_t STDMETHODCALLTYPE get_MaxFrameRate() override;
  uint32_t STDMETHODCALLTYPE get_MaxFrameRateOf(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE get_FrameRate(uint32_t* frames, uint32_t* ms, uint32_t* total) override;
  HRESULT get_FrameStats(uint32_t* rate, uint32_t* grabbed, uint32_t* second);
  uint32_t STDMETHODCALLTYPE get_GrabRetry() override;
  HRESULT STDMETHODCALLTYPE put_RealTime(uint32_t mode) override;
  HRESULT STDMETHODCALLTYPE get_Skip(uint32_t* skip) override;
  HRESULT STDMETHODCALLTYPE put_Skip(uint32_t skip) override;
  HRESULT STDMETHODCALLTYPE get_Temperature(int16_t* tenths) override;
  HRESULT STDMETHODCALLTYPE put_Temperature(int16_t tenths) override;
  HRESULT STDMETHODCALLTYPE get_Tec(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_Tec(uint32_t on) override;
  HRESULT STDMETHODCALLTYPE get_TecTarget(int32_t* tenths) override;
  HRESULT STDMETHODCALLTYPE put_TecTarget(int32_t tenths) override;
  uint32_t STDMETHODCALLTYPE get_FanMaxSpeed() override;
  HRESULT STDMETHODCALLTYPE get_FanSpeed(uint16_t* speed) override;
  HRESULT STDMETHODCALLTYPE put_FanSpeed(uint16_t speed) override;
  HRESULT STDMETHODCALLTYPE get_ModeExpoTime(int32_t trigger, uint32_t* us) override;
  HRESULT STDMETHODCALLTYPE put_ModeExpoTime(uint32_t trigger, uint32_t us) override;
  // Exposure (core/exposure_properties.cpp) and image properties (core/image_properties.cpp).
  HRESULT STDMETHODCALLTYPE get_AutoExpoEnable(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_AutoExpoEnable(uint32_t on) override;
  HRESULT STDMETHODCALLTYPE get_AutoExpoTarget(uint16_t* target) override;
  HRESULT STDMETHODCALLTYPE put_AutoExpoTarget(uint16_t target) override;
  HRESULT STDMETHODCALLTYPE put_AutoExpoMaxTimeAGain(uint32_t us, uint16_t percent) override;
  HRESULT STDMETHODCALLTYPE get_AutoExpoMaxTimeAGain(uint32_t* us, uint16_t* percent) override;
  HRESULT STDMETHODCALLTYPE put_AutoExpoMinTimeAGain(uint32_t us, uint16_t percent) override;
  HRESULT STDMETHODCALLTYPE get_AutoExpoMinTimeAGain(uint32_t* us, uint16_t* percent) override;
  HRESULT STDMETHODCALLTYPE put_AeWindowMark(int32_t on) override;
  HRESULT STDMETHODCALLTYPE get_AeWindowMark(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE get_ExpoTime(uint32_t* us) override;
  HRESULT STDMETHODCALLTYPE put_ExpoTime(uint32_t us) override;
  HRESULT STDMETHODCALLTYPE get_ExpoAGain(uint16_t* percent) override;
  HRESULT STDMETHODCALLTYPE put_ExpoAGain(uint16_t percent) override;
  HRESULT STDMETHODCALLTYPE get_RealExpoTime(uint32_t* us) override;
  HRESULT STDMETHODCALLTYPE put_LightFrequency(uint32_t mode) override;
  HRESULT STDMETHODCALLTYPE get_LightFrequency(uint32_t* mode) override;
  HRESULT STDMETHODCALLTYPE GetHistogram(LumorixHistogramCallback callback, void* context) override;
  HRESULT STDMETHODCALLTYPE GetHistogramEx(LumorixHistogramCallback callback, void* context,
                                           uint32_t kind) override;
  HRESULT STDMETHODCALLTYPE put_Hue(int32_t hue) override;
  HRESULT STDMETHODCALLTYPE get_Hue(int32_t* hue) override;
  HRESULT STDMETHODCALLTYPE put_Saturation(uint32_t saturation) override;
  HRESULT STDMETHODCALLTYPE get_Saturation(uint32_t* saturation) override;
  HRESULT STDMETHODCALLTYPE put_Brightness(int32_t brightness) override;
  HRESULT STDMETHODCALLTYPE get_Brightness(int32_t* brightness) override;
  HRESULT STDMETHODCALLTYPE get_Contrast(int32_t* contrast) override;
  HRESULT STDMETHODCALLTYPE put_Contrast(int32_t contrast) override;
  HRESULT STDMETHODCALLTYPE get_Gamma(int32_t* gamma) override;
  HRESULT STDMETHODCALLTYPE put_Gamma(int32_t gamma) override;
  HRESULT STDMETHODCALLTYPE get_Chrome(uint32_t* grey) override;
  HRESULT STDMETHODCALLTYPE put_Chrome(uint32_t grey) override;
  HRESULT STDMETHODCALLTYPE get_VFlip(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_VFlip(int32_t on) override;
  HRESULT STDMETHODCALLTYPE get_HFlip(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_HFlip(int32_t on) override;
  HRESULT STDMETHODCALLTYPE put_Negative(uint32_t on) override;
  HRESULT STDMETHODCALLTYPE get_Negative(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE LevelRangeAuto() override;
  HRESULT STDMETHODCALLTYPE put_LevelRange(const uint16_t low[4], const uint16_t high[4]) override;
  HRESULT STDMETHODCALLTYPE get_LevelRange(uint16_t low[4], uint16_t high[4]) override;
  HRESULT STDMETHODCALLTYPE put_VignetteEnable(uint32_t on) override;
  HRESULT STDMETHODCALLTYPE get_VignetteEnable(uint32_t* on) override;
  HRESULT STDMETHODCALLTYPE put_VignetteAmount(double amount) override;
  HRESULT STDMETHODCALLTYPE get_VignetteAmount(double* amount) override;
  HRESULT STDMETHODCALLTYPE put_VignetteMidPoint(double midPoint) override;
  HRESULT STDMETHODCALLTYPE get_VignetteMidPoint(double* midPoint) override;
  HRESULT STDMETHODCALLTYPE put_VignetteAmountInt(int32_t amount) override;
  HRESULT STDMETHODCALLTYPE get_VignetteAmountInt(int32_t* amount) override;
  HRESULT STDMETHODCALLTYPE put_VignetteMidPointInt(int32_t midPoint) override;
  HRESULT STDMETHODCALLTYPE get_VignetteMidPointInt(int32_t* midPoint) override;
  HRESULT STDMETHODCALLTYPE put_WhiteBalanceGain(const int32_t gains[3]) override;
  HRESULT STDMETHODCALLTYPE get_WhiteBalanceGain(int32_t gains[3]) override;
  HRESULT STDMETHODCALLTYPE put_TempTint(int32_t temperature, int32_t tint) override;
  HRESULT STDMETHODCALLTYPE get_TempTint(int32_t* temperature, int32_t* tint) override;
  HRESULT STDMETHODCALLTYPE put_WbGainBase(const uint16_t gains[3]) override;
  HRESULT STDMETHODCALLTYPE put_ColorMatrix(const double matrix[9]) override;
  HRESULT STDMETHODCALLTYPE put_BlackBalance(const uint16_t levels[3]) override;
  HRESULT STDMETHODCALLTYPE get_BlackBalance(uint16_t levels[3]) override;
  HRESULT STDMETHODCALLTYPE put_Rect(const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE get_Rect(RECT* rect) override;
  HRESULT STDMETHODCALLTYPE put_AWBRect(const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE get_AWBRect(RECT* rect) override;
  HRESULT STDMETHODCALLTYPE put_AERect(const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE get_AERect(RECT* rect) override;
  HRESULT STDMETHODCALLTYPE put_ABBRect(const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE get_ABBRect(RECT* rect) override;
  HRESULT STDMETHODCALLTYPE put_OutputLut(const uint8_t* lut8, const uint16_t* lut16) override;
  HRESULT STDMETHODCALLTYPE put_ToneCurveTable(const uint8_t* table8,
                                               const uint16_t* table16) override;
  HRESULT STDMETHODCALLTYPE put_ProcessFlag(int8_t bits) override;
  HRESULT STDMETHODCALLTYPE get_ProcessFlag(uint32_t* bits) override;
  uint32_t STDMETHODCALLTYPE get_IsColor() override;
  uint32_t STDMETHODCALLTYPE get_MaxBitDepth() override;
  // Bit depth and pixel format go through options 6 and 26, which restart the stream.
  HRESULT STDMETHODCALLTYPE get_BitDepth(uint32_t* high) override;
  HRESULT STDMETHODCALLTYPE put_BitDepth(int32_t high) override;
  HRESULT STDMETHODCALLTYPE get_PixelFormat(uint32_t* format) override;
  HRESULT STDMETHODCALLTYPE put_PixelFormat(uint32_t format) override;
  // Calibration (core/calibration_properties.cpp): options 27 and 29, runs and files.
  HRESULT STDMETHODCALLTYPE get_FfcStatus(int32_t* status) override;
  HRESULT STDMETHODCALLTYPE put_FfcStatus(int32_t status) override;
  HRESULT STDMETHODCALLTYPE get_DfcStatus(int32_t* status) override;
  HRESULT STDMETHODCALLTYPE put_DfcStatus(int32_t status) override;
  HRESULT STDMETHODCALLTYPE FfcOnePush() override;
  HRESULT STDMETHODCALLTYPE DfcOnePush() override;
  HRESULT STDMETHODCALLTYPE DfcExport(const WCHAR16* path) override;
  HRESULT STDMETHODCALLTYPE DfcImport(const WCHAR16* path) override;
  HRESULT STDMETHODCALLTYPE FfcExport(const WCHAR16* path) override;
  HRESULT STDMETHODCALLTYPE FfcImport(const WCHAR16* path) override;
  // One-push balance (core/balance_properties.cpp).
  HRESULT STDMETHODCALLTYPE AwbInit(LumorixResultCallback callback, void* context) override;
  HRESULT STDMETHODCALLTYPE AwbOnePush(LumorixTempTintCallback callback, void* context) override;
  HRESULT STDMETHODCALLTYPE AbbOnePush(LumorixResultCallback callback, void* context) override;
  // The internal interface (core/internal_interface.cpp): error reports and the model record.
  HRESULT STDMETHODCALLTYPE put_ErrorCallback(LumorixErrorCallback callback,
                                              void* context) override;
  HRESULT STDMETHODCALLTYPE SetErrorFlag(int32_t code) override;
  HRESULT STDMETHODCALLTYPE ClearErrorFlag(int32_t code) override;
  HRESULT STDMETHODCALLTYPE HandleError(int32_t code) override;
  HRESULT STDMETHODCALLTYPE get_ModelInfo(const ModelInfo** info) override;
  // Presets, serial number and name (core/preset_interface.cpp); the list under the control lock.
  uint32_t STDMETHODCALLTYPE get_PresetCount() override;
  HRESULT STDMETHODCALLTYPE get_PresetModel(WCHAR16* name) override;
  HRESULT STDMETHODCALLTYPE get_Preset(uint32_t index, PresetRecord* preset) override;
  HRESULT STDMETHODCALLTYPE AddPreset(const WCHAR16* name) override;
  HRESULT STDMETHODCALLTYPE LoadPreset(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE OverwritePreset(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE put_Presets(const PresetRecord* records, uint32_t count) override;
  HRESULT STDMETHODCALLTYPE get_SerialNumber(char serial[32]) override;
  HRESULT STDMETHODCALLTYPE get_Name(char* name) override;
  // The numbered I/O values (core/io_properties.cpp).
  HRESULT STDMETHODCALLTYPE IoControl(uint32_t index, uint32_t type, int32_t value,
                                      int32_t* result) override;
  HRESULT InitUSB();
  // Raw device access (core/device_access.cpp): vendor requests, pipes, versions, guide port.
  HRESULT STDMETHODCALLTYPE VenCommandEx(uint16_t hi, uint16_t lo, uint16_t value) override;
  HRESULT STDMETHODCALLTYPE VenRead(uint16_t address, void* buffer, uint32_t length) override;
  HRESULT STDMETHODCALLTYPE VenWrite(uint16_t address, const void* buffer,
                                     uint32_t length) override;
  HRESULT STDMETHODCALLTYPE VenReadBuffer(void* buffer, uint32_t length) override;
  HRESULT STDMETHODCALLTYPE VenWriteBuffer(const void* buffer, uint32_t length) override;
  HRESULT STDMETHODCALLTYPE ReadPipe(uint32_t pipe, void* buffer, uint32_t length) override;
  HRESULT STDMETHODCALLTYPE WritePipe(uint32_t pipe, const void* buffer, uint32_t length) override;
  HRESULT STDMETHODCALLTYPE VenCommand(uint16_t value) override;
  HRESULT STDMETHODCALLTYPE get_FocusMotor(LumorixFocusInfo* info) override;
  HRESULT STDMETHODCALLTYPE get_FwVersion(char text[16]) override;
  HRESULT STDMETHODCALLTYPE get_HwVersion(char text[16]) override;
  HRESULT STDMETHODCALLTYPE get_ProductionDate(char text[9]) override;
  HRESULT STDMETHODCALLTYPE get_DeviceVersion(char* text) override;
  HRESULT STDMETHODCALLTYPE get_Revision(uint16_t* revision) override;
  HRESULT STDMETHODCALLTYPE ST4PlusGuide(uint32_t direction, uint32_t ms) override;
  HRESULT STDMETHODCALLTYPE ST4PlusGuideState() override;
  HRESULT put_ST4PulseGuide(uint32_t direction, uint32_t ms) override;
  HRESULT QueryGuideState() override;
  HRESULT get_Zero150(uint32_t* value) override;
  HRESULT get_PLHlperParams38(uint32_t* a, uint32_t* b, uint32_t* c) override;
  HRESULT VenReqWrite31(const void* buffer, uint32_t length, uint16_t index) override;
  HRESULT VenReqQuery34() override;
  HRESULT VenReqWrite35(uint8_t value) override;
  HRESULT VenReqReset30() override;
  HRESULT VenReqRead32(void* buffer, uint32_t length, uint16_t index) override;
  HRESULT VenReqWrite33(uint8_t value) override;
  HRESULT VenReqRaw(uint8_t request, uint8_t direction, uint16_t index, uint16_t value,
                    void* buffer, uint32_t length, uint32_t* transferred) override;
  HRESULT VenReqFE() override;
  // Numbered options (core/option_dispatcher.cpp): one table row per code.
  HRESULT STDMETHODCALLTYPE put_Option(uint32_t code, int32_t value) override;
  HRESULT STDMETHODCALLTYPE get_Option(uint32_t code, int32_t* value) override;

  // The camera's own operations.
  HRESULT put_Pause(int32_t pause) override;
  HRESULT OnOption3(int32_t value) override;
  HRESULT OnOption3Get(int32_t* value) override;
  HRESULT put_ModelWindow(int32_t on, int32_t x, int32_t y) override;
  HRESULT get_ModelWindow(uint32_t* on, uint32_t* x, uint32_t* y) override;
  HRESULT get_RawFormat(uint32_t* fourcc, uint32_t* bits) override;
  HRESULT put_RawDataCallback(LumorixRawDataCallback callback, void* context) override;
  HRESULT put_HistogramCallback(PL_HistogramCallback callback, void* context) override;
  HRESULT put_DemosaicCallback(PL_DemosaicCallback callback, void* context) override;
  // What the pipeline calls for the host's hooks and statistics callback, with the camera as the
  // context: each calls the pair set now, if any.
  static bool demosaicThroughSlot(uint32_t fourcc, int32_t width, int32_t height, const void* raw,
                                  void* out, uint8_t bitDepth, void* camera);
  static void histogramThroughSlot(const uint32_t* counts, uint32_t bits, void* camera);
  static void statsThroughSlot(const float* luma, const float* red, const float* green,
                               const float* blue, void* camera);
  HRESULT put_FrameRateEnable(int32_t bypass) override;
  int32_t RawQuickDemosaic(uint8_t* frame, uint32_t width, uint32_t height,
                           uint8_t pixelFormat) override;
  HRESULT RawToRgb24(const uint8_t* raw, uint32_t pixelFormat, uint8_t* output, void* auxiliary,
                     const RECT* roi, uint32_t binning, uint32_t outputMode) override;
  StillResult* GrabStill(StillResult* result, uint8_t* output, uint8_t* rawCopy, uint8_t outputBits,
                         platform::Event* stopEvent, uint32_t frameWidth, uint32_t frameHeight,
                         uint32_t processWidth, uint32_t processHeight,
                         uint32_t resolutionIndex) override;

  // Pipeline notifications: the stream delivers them once it exists. The two notification
  // callbacks are stored beside them (core/stream/event_sink.cpp).
  HRESULT STDMETHODCALLTYPE put_ExpoCallback(LumorixNotifyCallback callback,
                                             void* context) override;
  HRESULT STDMETHODCALLTYPE put_ChromeCallback(LumorixNotifyCallback callback,
                                               void* context) override;
  void OnExposureChanged() override;
  void OnWhiteBalanceDone(int32_t temperature, int32_t tint) override;
  void OnAwbInitDone(int32_t result) override;
  void OnChromeChanged() override;
  void OnBlackBalanceDone(int32_t result) override;
  void OnFfcDone() override;
  void OnDfcDone() override;

  // The first preview index of that size (see FindResolutionIndex), or -1.
  int32_t FindResolutionIndex(uint32_t width, uint32_t height) const;

  // State readers.
  const ModelInfo* model() const { return model_; }
  uint64_t modelFlags() const { return model_ ? model_->flags : 0; }
  bool isMono() const { return (modelFlags() & LUMORIX_FLAG_MONO) != 0; }
  uint32_t previewCount() const { return model_ ? model_->previewCount : 0; }
  uint32_t stillCount() const { return model_ ? model_->stillCount : 0; }
  uint32_t previewIndex() const { return previewIndex_.load(); }
  uint32_t stillIndex() const { return stillIndex_.load(); }
  uint32_t defaultPreviewIndex() const { return defaultPreviewIndex_; }
  uint8_t openFlagA() const { return openFlagA_; }
  uint8_t openFlagB() const { return openFlagB_; }
  bool hasRegistryKey() const { return hasRegistryKey_; }
  const WCHAR16* registrySubkey() const { return registrySubkey_; }
  RunState runState() const { return static_cast<RunState>(runState_.load()); }
  PauseState pauseState() const { return static_cast<PauseState>(pause_.load()); }
  int32_t triggerCount() const { return triggerCount_.load(); }
  int32_t grabStatus() const { return grabStatus_.load(); }
  uint32_t threadPriority() const { return threadPriority_.load(); }
  uint32_t frameDequeLength() const { return frameDequeLength_.load(); }
  CameraBufferImpl& buffers() { return buffers_; }
  CFrameRate& frameRate() { return frameRate_; }
  platform::Event& stopEvent() { return stopEvent_; }
  platform::Event* triggerEvent() { return triggerEvent_.get(); }
  bool started() const { return started_.load(); }
  uint32_t framesGrabbed() const { return framesGrabbed_.load(); }
  uint32_t framesDelivered() const { return framesDelivered_.load(); }
  // Start steps run since construction: a restart shows as one more.
  uint32_t startSteps() const { return startSteps_.load(); }
  uint32_t lostFrames() const;
  bool hasThreads() const;
  uint32_t threadCount() const;  // for the controlling thread, between start and stop
  // Events this object made beyond its fixed ones; made once, so a long run must not grow it.
  uint32_t madeEventCount() const {
    return (triggerEvent_ ? 1u : 0u) + (frameAvailable_ ? 1u : 0u) + (eventQueueWake_ ? 1u : 0u);
  }

  // Options the stream reads; the option layer sets them.
  void setRealTimeMode(uint32_t mode) { realTime_ = mode; }
  void setNoFrameTimeoutOption(bool on) {
    optNoFrameTimeout_ = on;
    noFrameTimerArmed_ = 0;
  }
  void setCallbackThreadOption(bool on) { optCallbackThread_ = on; }
  void setRawOption(bool on) { optRaw_ = on; }
  void setHistogramOption(bool on) { optHistogram_ = on; }
  void setDdrMode(int32_t mode) { ddrMode_ = mode; }
  int32_t ddrMode() const { return ddrMode_.load(); }
  void setFrameDequeLength(uint32_t length) { frameDequeLength_ = length; }
  // Stores 0 normal, 1 above normal or 2 highest and gives it to the grabber and the fill-buffer
  // thread when they run.
  void setThreadPriority(uint32_t level);
  bool noFrameTimeoutOption() const { return optNoFrameTimeout_.load(); }
  bool callbackThreadOption() const { return optCallbackThread_.load(); }
  bool rawOption() const { return optRaw_.load(); }
  bool histogramOption() const { return optHistogram_.load(); }
  void setErrorCallback(LumorixErrorCallback callback, void* context) {
    errorNotify_.set(callback, context);
  }

  // Process-wide hook for tests: makes the nth camera-thread creation from now on fail.
  static void FailThreadStartAt(int nth);

 protected:
  // The model fills these after its own parts are built.
  void setStillTable(const ResolutionEntry* table) { stillTable_ = table; }
  void setTransport(CUsb* transport) { transport_ = transport; }
  void setHelper(PLHlperBase* helper, HelperFrameServices* frames) {
    helper_ = helper;
    frames_ = frames;
  }
  const ResolutionEntry* previewTable() const { return previewTable_; }
  const ResolutionEntry* stillTable() const { return stillTable_; }
  CUsb* transport() const { return transport_; }
  PLHlperBase* helper() const { return helper_; }
  HelperFrameServices* frameServices() const { return frames_; }
  void setStreamPipeline(StreamPipeline* pipeline) { pipeline_ = pipeline; }
  StreamPipeline* streamPipeline() const { return pipeline_; }
  // Transport state the stream reads; false or 1 without a transport.
  bool transportInTriggerMode() const;
  // The model's optional I/O object: (index, type, value, out) -> HRESULT.
  using IoOperation = HRESULT (*)(void* io, uint32_t index, uint32_t type, int32_t value,
                                  int32_t* out);
  void setIoObject(void* io, IoOperation operation) {
    ioObject_ = io;
    ioOperation_ = operation;
  }

 private:
  // The one guard of the device-value properties: the helper when the model has one of flag's
  // bits and a pipeline helper; else null, traced under the caller's name.
  PLHlperBase* helperWith(uint64_t flag, const char* caller) const;
  bool stillSizeDiffers() const;  // at the current preview index
  HRESULT openForRequest();
  // Held while a raw request uses the transport (core/device_access.cpp).
  std::unique_lock<platform::RecursiveLock> deviceLock();
  HRESULT sendRequest(bool in, uint8_t request, uint16_t value, uint16_t index, void* data,
                      uint32_t length, uint32_t* transferred);
  HRESULT readVersionText(uint8_t request, char* text);
  bool upsideDown() const;
  void applyThreadPriority();  // the stored level to the grabber and fill-buffer threads
  // The control lock, except on the camera's own threads: a stop holding it waits for them.
  std::unique_lock<ControlLock> controlUnlessOwnThread();
  bool presetWouldRestart(uint32_t index);
  HRESULT finishPresetLoad(bool factory, uint16_t oldSpeed, uint16_t speed, bool formatChanged,
                           uint8_t format);
  // Under the control lock. The stop also parks the sensor when the start reopens it.
  bool restartStop(bool openCamera);  // true when the camera was started
  HRESULT restartStart(bool openCamera, bool roiOnly);
  friend class StreamControl;
  friend struct OptionAccess;
  friend class Grabber;
  friend class Delivery;
  friend class PullApi;
  friend class EventSink;
  friend class FocusThread;

  void openSettingsKey(const WCHAR16* settingsRoot, const WCHAR16* registryName);
  void loadIndexes();
  void saveIndexes();

  // Configuration.
  const ResolutionEntry* previewTable_;
  const ResolutionEntry* stillTable_ = nullptr;  // null: stills use the preview sizes
  const ModelInfo* model_;
  const uint32_t defaultPreviewIndex_;
  const uint8_t openFlagA_;  // passed on to the helper by the model, not read here
  const uint8_t openFlagB_;
  CUsb* transport_ = nullptr;
  CIo* io_ = nullptr;  // no model supplies one
  PLHlperBase* helper_ = nullptr;
  HelperFrameServices* frames_ = nullptr;

  // Persistence.
  bool hasRegistryKey_ = false;
  WCHAR16 registrySubkey_[kRegistrySubkeyChars] = {};

  // Stream state; the workers read these without a lock.
  std::atomic<uint32_t> runState_{static_cast<uint32_t>(RunState::Stopped)};
  std::atomic<uint32_t> pause_{static_cast<uint32_t>(PauseState::Running)};
  std::atomic<uint32_t> noFrameTimerArmed_{1};
  std::atomic<int32_t> triggerCount_{0};  // signed: a software trigger can run below zero
  std::atomic<bool> started_{false};
  std::atomic<bool> noFrameLatched_{false};
  std::atomic<bool> optNoFrameTimeout_{false};
  std::atomic<bool> cpuLatencyRegistered_{false};
  std::atomic<bool> optCallbackThread_{false};
  std::atomic<int32_t> ddrMode_{0};
  std::atomic<uint32_t> realTime_{0};
  std::atomic<int32_t> grabStatus_{1};
  std::atomic<uint32_t> previewIndex_{0};
  std::atomic<uint32_t> stillIndex_{0};
  std::atomic<uint32_t> threadPriority_{1};

  // Event sink and threads. A start chooses the sink while host threads may raise events
  // (exposure notices, device events): each field is published whole, the sink itself last.
  std::atomic<void*> window_{nullptr};
  std::atomic<uint32_t> windowMessage_{0};
  std::atomic<uint32_t> fillBufferThreadId_{0};
  std::unique_ptr<platform::Thread> grabberThread_;
  std::unique_ptr<platform::Thread> fillBufferThread_;
  std::unique_ptr<platform::Thread> focusThread_;
  std::unique_ptr<platform::Thread> callbackThread_;
  platform::Event stopEvent_{platform::Event::Kind::ManualReset, false};
  std::unique_ptr<platform::Event> triggerEvent_;  // only without a transport trigger

  std::atomic<bool> optRaw_{false};
  std::atomic<bool> optHistogram_{false};  // a histogram request asks for the full kind
  uint8_t* scratch_ = nullptr;             // owned from start to stop

  std::deque<SnapRequest> snapQueue_;
  std::atomic<bool> snapPending_{false};
  // Held for the queue only, no callback under it: never in a set, so no edge in the wait table.
  platform::Mutex snapLock_;

  std::atomic<uint32_t> frameDequeLength_{3};
  std::atomic<uint16_t> focusPosition_{0};

  // User callbacks; one context for the first four.
  LumorixDataCallback dataCallbackA_ = nullptr;
  LumorixDataCallbackV2 dataCallbackB_ = nullptr;
  LumorixStillRequestCallback stillRequestCallback_ = nullptr;
  LumorixStillBufferCallback stillBufferCallback_ = nullptr;
  uint64_t userContext_ = 0;
  CallbackSlot<LumorixRawDataCallback> rawDataNotify_;

  // Pull queues, all under framesLock_.
  std::deque<uint8_t*> stillBufferPool_;
  std::deque<LumorixFrameEntry> freeFrames_;
  std::deque<LumorixFrameEntry> filledFrames_;
  std::deque<LumorixFrameEntry> stillFrames_;
  // Held for the queues only, no callback under it: never in a set, so no edge in the wait table.
  platform::Mutex framesLock_;
  std::unique_ptr<platform::Event> frameAvailable_;  // made by a pull-mode start

  // Event sink and notification callbacks.
  std::atomic<LumorixEventCallback> eventSink_{nullptr};
  std::atomic<void*> eventSinkContext_{nullptr};
  CallbackSlot<LumorixEventCallback> eventNotify_;  // the start's; a stop keeps it
  EventChoice acceptedEvents_;                      // under controlLock_: a failed start's undo
  // Set by the first start and never cleared: the colour/grey notice is raised once wired.
  std::atomic<bool> chromeNoticeInstalled_{false};
  NotifySlot exposureNotify_;
  CallbackSlot<LumorixTempTintCallback> whiteBalanceNotify_;
  CallbackSlot<LumorixResultCallback> blackBalanceNotify_;
  NotifySlot chromeNotify_;
  CallbackSlot<LumorixResultCallback> awbInitNotify_;
  CallbackSlot<LumorixErrorCallback> errorNotify_;
  // The host's frame hooks and statistics callback. The pipeline holds only the trampolines
  // above, so a clear waits for a hook still running on a conversion thread.
  CallbackSlot<PL_DemosaicCallback> demosaicHook_;
  CallbackSlot<PL_HistogramCallback> histogramHook_;
  CallbackSlot<LumorixHistogramCallback> statsNotify_;

  // No-frame bookkeeping.
  std::atomic<uint32_t> noFrameState_{0};
  std::atomic<uint32_t> lastAttemptTick_{0};
  std::atomic<uint32_t> lastFrameTick_{0};
  std::atomic<uint32_t> framesGrabbed_{0};

  // Event queue of the callback thread.
  std::deque<uint32_t> eventQueue_;
  // Held for the queue only, no callback under it: never in a set, so no edge in the wait table.
  platform::Mutex eventQueueLock_;
  std::unique_ptr<platform::Event> eventQueueWake_;

  // Streaming additions.
  StreamPipeline* pipeline_ = nullptr;
  void* ioObject_ = nullptr;
  IoOperation ioOperation_ = nullptr;
  ControlLock controlLock_;  // serialises start, stop and every restart
  std::atomic<uint32_t> grabberThreadId_{0};
  std::atomic<uint32_t> callbackThreadId_{0};
  std::atomic<uint32_t> focusThreadId_{0};
  // Raw records a pin holds between its pop and its return: never re-listed by a reset.
  // Held for the bits and lists only, no callback under it: no edge in the wait table.
  platform::Mutex lendLock_;
  uint32_t lentRecords_ = 0;  // bit per record
  StreamClaims claims_;       // consumers outside the camera threads: a pin's still
  std::atomic<uint32_t> framesDelivered_{0};
  std::atomic<uint32_t> startSteps_{0};
  // Buffers made by this object for the pull queues and the still pool; others are not re-listed.
  std::vector<uint8_t*> pullBuffers_;
  std::vector<uint8_t*> stillPoolBuffers_;
  uint32_t scratchBytes_ = 0;
  uint32_t pullBufferBytes_ = 0;
  std::atomic<bool> grabberAlive_{false};

  // Embedded helpers.
  CFrameRate frameRate_;
  CameraBufferImpl buffers_;
};

template <class Apply>
HRESULT BaseImpl::RestartStream(bool openCamera, bool roiOnly, Apply&& apply) {
  if (onCameraThread()) return kWrongThread;
  std::lock_guard<ControlLock> guard(controlLock_);
  const bool wasStarted = restartStop(openCamera);
  apply();
  return wasStarted ? restartStart(openCamera, roiOnly) : S_OK;
}

template <class Needed, class Apply>
HRESULT BaseImpl::RestartStreamIf(Needed&& needed, Apply&& apply) {
  if (onCameraThread()) {
    if (needed()) return kWrongThread;
    apply();
    return S_OK;
  }
  std::lock_guard<ControlLock> guard(controlLock_);
  if (!needed()) {
    apply();
    return S_OK;
  }
  const bool wasStarted = restartStop(false);
  apply();
  return wasStarted ? restartStart(false, false) : S_OK;
}
