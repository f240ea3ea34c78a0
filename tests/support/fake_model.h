// A streaming camera for tests: BaseImpl with a real transport object, a scripted frame grab and
// a recording pipeline.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/base_impl.h"
#include "core/stream/stream_pipeline.h"
#include "pipeline/helper_model_hooks.h"
#include "platform/thread.h"
#include "tests/support/fake_helper.h"
#include "tests/support/fake_transport.h"

// What the next grab does; an empty script delivers frames.
struct GrabStep {
  enum Kind { Frame, Result, Delay, Block } kind = Frame;
  int32_t result = 1;    // for Result
  uint32_t delayMs = 0;  // for Delay
};

struct FakeModelConfig {
  uint64_t flags = 0;
  std::vector<ResolutionEntry> previews{{1024, 770, 1, 1}, {2048, 1534, 1, 1}, {320, 240, 1, 1}};
  uint32_t stillCount = 2;
  std::vector<ResolutionEntry> stills{};  // empty: stills at the preview sizes
  uint32_t maxSpeed = 3;
  uint32_t frameIntervalMs = 1;
  bool withHelper = false;  // a recording pipeline helper with the model's flags
  // The helper also holds a real pipeline state for frames of the first preview size, and the
  // stream converts through the real frame driver.
  bool withState = false;
  uint32_t procWidth = 0, procHeight = 0;  // the state's processing size; 0: the frame's
  uint8_t pixelFormat = 0;                 // a high-bit one on a RAW model gives the deep state
  uint8_t wbTempTint = 1;                  // 0: an RGB-gain model
  uint8_t toneMapping = 0;                 // 1: the helper and its state can map tones
  uint32_t ioCount = 0;                    // > 0: a recording I/O object
  const WCHAR16* settingsRoot = nullptr;
  const WCHAR16* helperKey = nullptr;  // the helper's settings key: presets persist below it
  uint32_t maxExposureUs = 0;          // 0: the model reports no exposure range
};

// One call of the fake I/O object.
struct IoCall {
  uint32_t index, type;
  int32_t value;
};

// Built before BaseImpl, which reads the record in its constructor.
struct FakeModelRecord {
  explicit FakeModelRecord(const FakeModelConfig& config);
  FakeModelConfig config_;
  ModelInfo info_{};
};

class FakeModel : private FakeModelRecord,
                  public BaseImpl,
                  public StreamPipeline,
                  public HelperFrameServices {
 public:
  explicit FakeModel(const FakeModelConfig& config = {});
  ~FakeModel() override;

  HRESULT OpenCamera(uint32_t previewIndex) override;
  void StopSensor() override;
  void SetResolution(uint32_t index, bool still) override;
  void GetColorMatrix(double matrix[9]) override;
  void GetWbGainBase(uint32_t gains[3]) override;
  // The configured maximum exposure, or E_NOTIMPL without one.
  HRESULT STDMETHODCALLTYPE get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                             uint32_t* defaultValue) override;

  HRESULT startPipeline() override { return S_OK; }
  void finishPipeline() override {}
  int32_t grabFrame(RawBufferRecord* record, platform::Event* stopEvent) override;
  StillFrame grabStill(uint8_t* output, uint8_t* second, uint32_t pitch, uint8_t bits,
                       platform::Event* stopEvent, uint32_t width, uint32_t height,
                       uint32_t sensorWidth, uint32_t sensorHeight, uint32_t index) override;
  StreamOutputShape shape() override;
  void installNotifications(LumorixImplCallback*) override {}
  int32_t readFocusPipe(uint8_t* buffer, uint32_t length, platform::Event& cancel) override;
  uint32_t focusPosition() override { return focusMoves.load(); }
  HRESULT openDevice() override { return openResult.load(); }
  HRESULT setFan(uint16_t speed) override;
  HRESULT setTec(uint32_t on) override;
  // Frame services: a conversion writes the whole image it makes, as a real one does, so a short
  // output buffer shows under the address checker; the frame's first four bytes lead it.
  StillResult* GrabStillFrame(StillResult* r, uint8_t*, uint8_t*, uint8_t, platform::Event*,
                              uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {
    return r;
  }
  HRESULT PL_ProcessFrame8(const FrameConvertRequest& r) override;
  HRESULT PL_ProcessRaw16(const FrameConvertRequest& r) override { return PL_ProcessFrame8(r); }
  HRESULT PL_ProcessMono16(const FrameConvertRequest& r) override { return PL_ProcessFrame8(r); }
  int32_t QuickRawToRgb(uint8_t*, uint32_t, uint32_t, uint8_t) override {
    ++quickDemosaics;
    return 0;
  }
  // With a state, the real frame driver calls the hooks.
  void SetHistogramCallback(PL_HistogramCallback hook, void* context) override;
  void SetDemosaicCallback(PL_DemosaicHook hook, void* context) override;
  using BaseImpl::transport;

  void script(std::initializer_list<GrabStep> steps);
  // Every grabbed record carries this region from now on; an empty one means none. Each of the
  // region's rows in the full frame is filled with its row number's low byte.
  void setRecordRegion(const SensorRect& region);
  std::vector<std::string> calls();
  FakeTransport& usb() { return *usb_; }
  FakeHelper* fakeHelper() { return helper_.get(); }
  std::vector<IoCall> ioCalls();

  std::atomic<HRESULT> openResult{S_OK};
  std::atomic<HRESULT> openCameraResult{S_OK};
  std::atomic<int32_t> stillStatus{1};
  std::atomic<bool> rotated{false};
  std::atomic<bool> bottomUp{false};
  std::atomic<uint32_t> bayer{0};
  std::atomic<uint32_t> outputMode{0};
  // Raw samples now and of the deepest format the camera could switch to; a raw still (bits 0)
  // writes all of its samples.
  std::atomic<uint32_t> rawBytes{1};
  std::atomic<uint32_t> deepestRawBytes{1};
  // Called in every conversion with the raw frame before it is read; set it before starting.
  std::function<void(const uint8_t* raw)> onConvert;
  std::atomic<uint32_t> exposureUs{10000};
  std::atomic<uint32_t> grabs{0};
  std::atomic<uint32_t> quickDemosaics{0};
  // Grabs handed a buffer that changed since the grab before wrote it: delivery shaped the frame.
  std::atomic<uint32_t> reshapedFrames{0};
  std::atomic<platform::ThreadPriority> grabberPriority{platform::ThreadPriority::Idle};  // last
  std::atomic<int32_t> idleResult{1};  // what a grab gives once the script is used up
  // Focus pipe: each move is one read that reports a new position; with failing reads every
  // read fails at once; otherwise a read blocks until cancelled.
  std::atomic<uint32_t> focusMovesLeft{0};
  std::atomic<uint32_t> focusMoves{0};
  std::atomic<bool> focusFails{false};
  std::atomic<uint32_t> focusReads{0};

 private:
  int32_t runStep(const GrabStep& step, platform::Event* stopEvent);
  void markRegionRows(RawBufferRecord* record);
  void checkShaped(const RawBufferRecord* record, bool written);
  uint64_t convertedBytes(const FrameConvertRequest& r);
  void note(const std::string& call);

  static HRESULT ioOperation(void* io, uint32_t index, uint32_t type, int32_t value, int32_t* out);

  std::unique_ptr<FakeTransport> usb_;
  std::unique_ptr<FakeHelper> helper_;
  std::vector<IoCall> ioCalls_;
  std::mutex lock_;
  std::deque<GrabStep> script_;
  SensorRect recordRegion_{};
  std::map<const uint8_t*, std::vector<uint8_t>> written_;  // each buffer's start, as grabbed
  std::vector<std::string> calls_;
  std::atomic<uint32_t> sequence_{0};
};
