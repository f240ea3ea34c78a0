// FakeModel: scripted grabs that end promptly on the stop event they are handed.
#include "tests/support/fake_model.h"

#include <algorithm>
#include <cstring>

#include "base/lumorix_flags.h"
#include "core/stream/frame_geometry.h"
#include "pipeline/device_values.h"
#include "pipeline/pl_frame_hooks.h"
#include "platform/clock.h"
#include "platform/thread.h"

FakeModelRecord::FakeModelRecord(const FakeModelConfig& config) : config_(config) {
  info_.displayName = ZX_W("Fake");
  info_.flags = config.flags;
  info_.maxSpeed = config.maxSpeed;
  info_.previewCount = static_cast<uint32_t>(config.previews.size());
  info_.stillCount = config.stillCount;
  info_.ioCount = config.ioCount;
}

FakeModel::FakeModel(const FakeModelConfig& config)
    : FakeModelRecord(config),
      BaseImpl(2048 * 1536, 0, &info_, config.settingsRoot, 1, 1, ZX_W("Fake"),
               config_.previews.data()),
      usb_(std::make_unique<FakeTransport>(&info_)) {
  if (config.withHelper || config.withState)
    helper_ = std::make_unique<FakeHelper>(config.flags, config.helperKey, config.wbTempTint);
  if (helper_) helper_->hasToneMapping = config.toneMapping;
  if (config.withState)
    helper_->makeState(config.previews[0].width, config.previews[0].height, config.procWidth,
                       config.procHeight, config.pixelFormat);
  setHelper(helper_.get(), this);
  setTransport(usb_.get());
  setStreamPipeline(this);
  if (!config_.stills.empty()) setStillTable(config_.stills.data());
  if (config.ioCount > 0) setIoObject(this, ioOperation);
}

// Records writes; a read answers the index plus the type.
HRESULT FakeModel::ioOperation(void* io, uint32_t index, uint32_t type, int32_t value,
                               int32_t* out) {
  auto* self = static_cast<FakeModel*>(io);
  if (type & 1) {
    *out = static_cast<int32_t>(index + type);
    return S_OK;
  }
  std::lock_guard<std::mutex> guard(self->lock_);
  self->ioCalls_.push_back(IoCall{index, type, value});
  return S_OK;
}

std::vector<IoCall> FakeModel::ioCalls() {
  std::lock_guard<std::mutex> guard(lock_);
  return ioCalls_;
}

HRESULT STDMETHODCALLTYPE FakeModel::get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                                      uint32_t* defaultValue) {
  if (config_.maxExposureUs == 0) return E_NOTIMPL;
  if (minimum) *minimum = 1;
  if (maximum) *maximum = config_.maxExposureUs;
  if (defaultValue) *defaultValue = config_.maxExposureUs / 2;
  return S_OK;
}

FakeModel::~FakeModel() {
  stopBeforeDelete();
}

// The pins name a region and factor; delivery converts the frame the output size describes.
uint64_t FakeModel::convertedBytes(const FrameConvertRequest& r) {
  if (r.roi)
    return ImageBytes(OutputBits(r.outputMode),
                      DeliveredShape(uint32_t(r.roi->right - r.roi->left),
                                     uint32_t(r.roi->bottom - r.roi->top), r.binning, rotated));
  int32_t w = 0, h = 0;
  get_FinalSize(&w, &h);
  return ImageBytes(OutputBits(r.outputMode), ImageShape{uint32_t(w), uint32_t(h)});
}

void FakeModel::SetHistogramCallback(PL_HistogramCallback hook, void* context) {
  if (config_.withState) PLFrameHooks(*helper_).SetHistogramCallback(hook, context);
}

void FakeModel::SetDemosaicCallback(PL_DemosaicHook hook, void* context) {
  if (config_.withState) PLFrameHooks(*helper_).SetDemosaicCallback(hook, context);
}

HRESULT FakeModel::PL_ProcessFrame8(const FrameConvertRequest& r) {
  if (onConvert) onConvert(r.raw);
  if (config_.withState) return ::PL_ProcessFrame8(*helper_, r);
  if (r.output == nullptr) return S_OK;
  std::memset(r.output, 0x3C, convertedBytes(r));
  std::memcpy(r.output, r.raw, 4);  // the sequence stamp
  return S_OK;
}

void FakeModel::note(const std::string& call) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back(call);
}

std::vector<std::string> FakeModel::calls() {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

void FakeModel::script(std::initializer_list<GrabStep> steps) {
  std::lock_guard<std::mutex> guard(lock_);
  script_.insert(script_.end(), steps.begin(), steps.end());
}

void FakeModel::setRecordRegion(const SensorRect& region) {
  std::lock_guard<std::mutex> guard(lock_);
  recordRegion_ = region;
}

HRESULT FakeModel::OpenCamera(uint32_t) {
  note("OpenCamera");
  if (helper_) helper_->sensorOpen = true;
  return openCameraResult.load();
}

void FakeModel::StopSensor() {
  note("StopSensor");
  if (helper_) helper_->sensorOpen = false;
}

void FakeModel::SetResolution(uint32_t index, bool still) {
  note("SetResolution " + std::to_string(index) + (still ? " still" : " preview"));
}

void FakeModel::GetColorMatrix(double matrix[9]) {
  for (int i = 0; i < 9; ++i) matrix[i] = i % 4 == 0 ? 1.0 : 0.0;
}

void FakeModel::GetWbGainBase(uint32_t gains[3]) {
  gains[0] = gains[1] = gains[2] = 256;
}

StreamOutputShape FakeModel::shape() {
  StreamOutputShape s;
  s.rotated90 = rotated.load();
  s.bottomUp = bottomUp.load();
  s.exposureUs = exposureUs.load();
  s.bayer = bayer.load();
  s.outputMode = outputMode.load();
  s.rawBytesPerPixel = rawBytes.load();
  s.deepestRawBytesPerPixel = deepestRawBytes.load();
  return s;
}

// Sequence-stamped frames, scripted results, delays and blocks; every wait ends on the stop
// event it is handed.
int32_t FakeModel::grabFrame(RawBufferRecord* record, platform::Event* stopEvent) {
  ++grabs;
  grabberPriority = platform::currentThreadPriority();
  GrabStep step;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!script_.empty()) {
      step = script_.front();
      script_.pop_front();
    }
    record->roi = recordRegion_;
    record->roiPresent = recordRegion_.right > recordRegion_.left ? 1 : 0;
  }
  checkShaped(record, false);
  const int32_t r = runStep(step, stopEvent);
  if (r < 1) return r;
  markRegionRows(record);
  const uint32_t sequence = ++sequence_;
  std::memcpy(record->data, &sequence, sizeof sequence);
  checkShaped(record, true);
  record->format = 0;
  record->info = LumorixFrameInfo{0, 0, 1, sequence, platform::TickCountMs()};
  return r;
}

// Delivery crops the region out of the full frame: the marks show which rows it kept.
void FakeModel::markRegionRows(RawBufferRecord* record) {
  if (!record->roiPresent) return;
  const size_t width = config_.previews[previewIndex()].width, bytes = rawBytes.load();
  const size_t row = size_t{record->roi.right - record->roi.left} * bytes;
  for (uint32_t y = record->roi.top; y < record->roi.bottom; ++y) {
    const size_t at = (y * width + record->roi.left) * bytes;
    if (at < buffers().rawBytes())
      std::memset(record->data + at, y, std::min(row, buffers().rawBytes() - at));
  }
}

// The start of each buffer as written, compared when the buffer comes back to be written again.
void FakeModel::checkShaped(const RawBufferRecord* record, bool written) {
  constexpr size_t kCompared = 256;
  const size_t n = std::min(kCompared, size_t{buffers().rawBytes()});
  if (written) {
    written_[record->data].assign(record->data, record->data + n);
    return;
  }
  const auto it = written_.find(record->data);
  if (it != written_.end() && !std::equal(it->second.begin(), it->second.end(), record->data))
    ++reshapedFrames;
}

int32_t FakeModel::runStep(const GrabStep& step, platform::Event* stopEvent) {
  switch (step.kind) {
    case GrabStep::Result:
      return step.result;
    case GrabStep::Delay:
      return stopEvent->wait(step.delayMs) ? -2 : 1;
    case GrabStep::Block:
      stopEvent->wait();
      return -2;
    case GrabStep::Frame:
    default:
      if (stopEvent->wait(config_.frameIntervalMs)) return -2;
      return idleResult.load();
  }
}

StillFrame FakeModel::grabStill(uint8_t* output, uint8_t*, uint32_t, uint8_t bits,
                                platform::Event* stopEvent, uint32_t width, uint32_t height,
                                uint32_t, uint32_t, uint32_t index) {
  note("grabStill " + std::to_string(index));
  const int32_t status = stillStatus.load();
  if (status == -2) return StillFrame{-2, 0, 0, 0, 0, 0};  // as its stop event had ended it
  const size_t written = bits == 0 ? size_t{rawBytes.load()} * width * height : 16;
  if (status >= 1 && output) std::memset(output, 0x5A, written);
  return StillFrame{status, width, height, 0, 0, 0};
}

int32_t FakeModel::readFocusPipe(uint8_t* buffer, uint32_t, platform::Event& cancel) {
  ++focusReads;
  if (focusFails.load()) return -1;
  uint32_t left = focusMovesLeft.load();
  while (left > 0 && !focusMovesLeft.compare_exchange_weak(left, left - 1)) {
  }
  if (left > 0) {
    if (cancel.wait(2)) return -1;
    ++focusMoves;
    buffer[0] = 1;
    return 1;
  }
  cancel.wait();  // blocks like a device with nothing to say, until cancelled
  return -1;
}

// The pipeline's own setters, which keep the fan and the cooler coupled.
HRESULT FakeModel::setFan(uint16_t speed) {
  return helper_ ? PL_SetFan(*helper_, speed) : E_NOTIMPL;
}

HRESULT FakeModel::setTec(uint32_t on) {
  return helper_ ? PL_SetTec(*helper_, on) : E_NOTIMPL;
}
