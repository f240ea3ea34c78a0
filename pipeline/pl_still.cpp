// One still: grab with retries, defect repair, then the 8-bit or 16-bit still steps.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "kernels/calibration.h"
#include "kernels/demosaic.h"
#include "kernels/geometry.h"
#include "kernels/output.h"
#include "kernels/raw_steps.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_frame_job.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline/stages/defect_repair.h"
#include "pipeline/stages/demosaic.h"
#include "pipeline/stages/orientation.h"
#include "pipeline/stages/still.h"
#include "pipeline/store/eeprom_data.h"

namespace {

// Without a stop event the grab's own time-outs bound each try; this bounds the tries.
constexpr uint32_t kMaxEmptyGrabs = 1000;
constexpr int32_t kNoFrame = -5;

// Repeats while the grab reports no frame; the result's status follows each try.
int32_t grabStill(PLHlperBase& h, FrameDescriptor& d, uint32_t fw, uint32_t fh,
                  platform::Event* stop) {
  int32_t r = h.PLHlperGrabFrame(&d, fw, fh, nullptr, stop, false);
  for (uint32_t tries = 0; r == 0; ++tries) {
    if (stop ? stop->wait(0) : tries >= kMaxEmptyGrabs) return stop ? -2 : kNoFrame;
    r = h.PLHlperGrabFrame(&d, fw, fh, nullptr, stop, false);
  }
  return r;
}

// The list of a resolution, clipped to the processing size before its first use.
const DefectListSlot* stillDefects(PLHlperBase& h, uint32_t index, uint32_t pw, uint32_t ph) {
  const uint32_t slot = DefectListIndex(h, index);
  if (slot >= h.defectLists.size()) return nullptr;
  const DefectListSlot& s = h.defectLists[slot];
  if (s.count == DefectListSlot::kNoList || s.entries.empty()) return nullptr;
  ClipDefectList(h, slot, pw, ph);
  return &s;
}

void repair(PLHlperBase& h, uint8_t* raw, uint32_t pw, uint32_t ph, uint32_t index) {
  const DefectListSlot* list = stillDefects(h, index, pw, ph);
  if (!list) return;
  stages::FixFrameDefects(h, uint32_t(list->entries.size()), list->entries.data(), int32_t(pw),
                          int32_t(ph), raw, nullptr);
}

// The high-bit still steps on the processing frame, then the output conversion and turns.
bool still16(PLContext16& c, uint16_t* raw, uint8_t* out, uint8_t bits, uint32_t fw, uint32_t fh,
             uint32_t pw, uint32_t ph) {
  const uint8_t p = c.samplesPerPixel;
  const bool sameSize = fw == pw && fh == ph, keep16 = bits == 48 || c.outputFormat == kOutputRgb16;
  const size_t procSamples = kernels::rowStride<uint16_t>(p, int32_t(pw)) * ph;
  const size_t frameSamples = kernels::rowStride<uint16_t>(p, int32_t(fw)) * fh;
  platform::AlignedBuffer work;
  uint16_t* img = reinterpret_cast<uint16_t*>(out);
  if (!sameSize || !keep16) {
    if (!work.allocate(2 * std::max(procSamples, frameSamples) * sizeof(uint16_t),
                       platform::kFrameAlignment))
      return false;
    img = reinterpret_cast<uint16_t*>(work.data());
  }
  FrameJob<uint16_t> job;
  SnapshotFrameJob(c, int32_t(pw), job);
  const PLSettings& s = job.settings;
  if ((s.blackOffset[0] || s.blackOffset[1] || s.blackOffset[2]) && !c.hwBlackLevel)
    kernels::SubtractBlackLevel16(uint32_t(c.bayer), s.blackOffset, int32_t(pw), int32_t(ph), raw);
  const auto& wb = job.tables.wb;
  const size_t entries = size_t{1} << c.bitDepth;
  if (c.isColour && !c.hasIsp && wb && wb->active && wb->lut[0].size() >= entries &&
      wb->lut[1].size() >= entries && wb->lut[2].size() >= entries)
    kernels::ApplyRawWb16(uint32_t(c.bayer), wb->lut[0].data(), wb->lut[1].data(),
                          wb->lut[2].data(), int32_t(pw), int32_t(ph), raw);
  if (!c.rawLut.empty() && (s.stepBits & 4u))
    for (size_t i = 0, n = size_t(pw) * ph; i < n; ++i)
      raw[i] = c.rawLut[std::min<size_t>(raw[i], c.rawLut.size() - 1)];
  PLHostCallbacks cb;
  uint32_t method;
  {
    std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);  // setters write both here
    cb = c.callbacks;
    method = c.demosaicStill;
  }
  if (c.isColour)
    stages::Demosaic16(&c, cb, uint32_t(c.bayer), c.colourSites.site.data(), method, int32_t(pw),
                       int32_t(ph), raw, img);
  else
    stages::ConvertMono16(&c, cb, int32_t(pw), int32_t(ph), raw, img);
  StatsCounters unused{};
  job.stats = 0;
  RunStripe(job, img, int32_t(ph), 0, unused);
  Sharpen16(c, img, int32_t(pw), int32_t(ph), SharpenParamsOf(job));
  if (!sameSize) {
    auto* bytes = reinterpret_cast<uint8_t*>(img);
    kernels::Convert16To8(img, bytes, int32_t(pw), int32_t(ph), p, c.bitDepth);
    kernels::FitToOutput(int32_t(fw), int32_t(fh), int32_t(pw), int32_t(ph), out,
                         kernels::turnedFrameBytes<uint8_t>(int32_t(fw), int32_t(fh), p), bytes,
                         procSamples * 2, p);
  } else if (!keep16) {
    kernels::Convert16To8(img, out, int32_t(pw), int32_t(ph), p, c.bitDepth);
  }
  const bool out48 = bits == 48 && sameSize;
  return stages::OutputTransforms16(
      &c, out48 ? nullptr : out, kernels::turnedFrameBytes<uint8_t>(int32_t(fw), int32_t(fh), p),
      out48 ? reinterpret_cast<uint16_t*>(out) : nullptr,
      kernels::turnedFrameBytes<uint16_t>(int32_t(fw), int32_t(fh), p), int32_t(fw), int32_t(fh));
}

// Grab, repair and conversion of one still, with the state held by the caller.
void stillHeld(PLHlperBase& h, StillResult& result, uint8_t* output, uint8_t* rawCopy, uint8_t bits,
               platform::Event* stop, uint32_t fw, uint32_t fh, uint32_t pw, uint32_t ph,
               uint32_t index) {
  const uint8_t format = h.pixelFormat;
  const size_t bpp = kFormatBytesPerPixel[format % kPixelFormatCount];
  const size_t frameBytes = bpp * fw * fh, procBytes = bpp * pw * ph;
  if (frameBytes > h.rawFrameBytes || procBytes > h.rawFrameBytes) return;
  if (!h.stillBuffer) h.stillBuffer.allocate(h.rawFrameBytes, platform::kFrameAlignment);
  if (!h.stillBuffer) return;
  result.pixelFormat = format;
  FrameDescriptor d;
  d.buffer = h.stillBuffer.data();
  d.pixelFormat = format;
  result.status = grabStill(h, d, fw, fh, stop);
  if (result.status < 0) return;
  uint8_t* raw = h.stillBuffer.data();
  repair(h, raw, pw, ph, index);
  if (rawCopy) std::memcpy(rawCopy, raw, procBytes);
  bool ok = true;
  if (bits == 0) {
    if (output) std::memcpy(output, raw, frameBytes);  // unprocessed: the raw frame itself
  } else if (h.ctx8 && !IsHighBitFormat(format)) {
    const uint8_t p = h.ctx8->samplesPerPixel;
    const size_t outBytes = kernels::turnedFrameBytes<uint8_t>(int32_t(fw), int32_t(fh), p);
    ok = output && stages::PL_ProcessStill8(h.ctx8.get(), raw, output, outBytes, bits, int32_t(fw),
                                            int32_t(fh), int32_t(pw), int32_t(ph)) == 1;
  } else if (h.ctx16 && IsHighBitFormat(format)) {
    ok =
        output && still16(*h.ctx16, reinterpret_cast<uint16_t*>(raw), output, bits, fw, fh, pw, ph);
  } else if (output) {
    std::memcpy(output, raw, frameBytes);
  }
  if (!ok) {
    result.status = -1;
    return;
  }
  result.width = fw, result.height = fh, result.frameInfo = d.frameInfo;
  result.status = 1;
}

}  // namespace

StillResult* GrabStillFrame(PLHlperBase& h, StillResult* result, uint8_t* output, uint8_t* rawCopy,
                            uint8_t bits, platform::Event* stop, uint32_t fw, uint32_t fh,
                            uint32_t pw, uint32_t ph, uint32_t index) {
  if (!result) return result;
  result->status = -1;
  try {
    // The whole still reads the state: a rebuild waits for it, hook and grab included.
    std::shared_lock<PLStateLock> state(h.stateLock());
    stillHeld(h, *result, output, rawCopy, bits, stop, fw, fh, pw, ph, index);
  } catch (const PLStateLock::Retired&) {
    result->status = -1;  // a host hook deleted the camera: the helper is not touched again
  }
  return result;
}
