// The image-pipeline state of one open camera, in an 8-bit and a high-bit-depth variant.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/pixel_formats.h"
#include "base/geometry.h"
#include "base/host_callbacks.h"
#include "kernels/calibration.h"
#include "kernels/demosaic_ahd.h"
#include "kernels/sharpen.h"
#include "pipeline/pl_settings.h"
#include "pipeline/pl_table_sets.h"
#include "pipeline/pl_workers.h"
#include "platform/frame_allocator.h"
#include "platform/lock.h"

template <typename Sample>
struct PLContextT {
  using SampleType = Sample;
  // One table entry per sample value the variant can hold.
  static constexpr uint32_t kTableEntries = sizeof(Sample) == 1 ? 256u : 65536u;

  PLSettings settings{};

  // Configuration, copied at creation.
  uint8_t bitDepth = 8;
  uint8_t sensorBitDepth = 8;
  uint8_t auxBitDepth = 8;  // a processor counts the window sums behind a frame in these bits
  uint8_t pixelFormat = 0;
  BitDepthCaps bitDepthCaps{};
  uint8_t hasIsp = 0, hwBlackLevel = 0, hwToneBypass = 0, isColour = 0, hasLightFrequency = 0;
  uint8_t wbTempTint = 0, aeEnableDefault = 0, hasToneMapping = 0, workersAllowed = 0;
  uint8_t rowOrder = 0, byteOrder = 0, hasCG = 0, perResolutionExposure = 0, cgDefault = 0;
  uint8_t aePolicyDefault = 0;
  uint8_t flag40 = 0;  // the model's capability byte, as handed in
  int32_t bayer = 0;
  ColourSiteTable colourSites;
  uint32_t demosaicVideo = 0, demosaicStill = 0;
  uint32_t outputFormat = 0;
  uint8_t samplesPerPixel = 3;
  std::string regKey;  // UTF-8 subkey below the current user; empty: nothing is persisted
  uint32_t resolutionIndex = 0;
  uint32_t frameWidth = 0, frameHeight = 0;
  uint32_t procWidth = 0, procHeight = 0;
  uint32_t maxWidth = 0, maxHeight = 0;

  // Run-time switches.
  uint8_t colourMatrixOn = 0, awbRequest = 0, abbRequest = 0, aeMarkWindow = 0, wbLutActive = 0;
  uint8_t ffcEnable = 0, ffcRequest = 0, ffcValid = 0;
  uint8_t dfcEnable = 0, dfcRequest = 0, dfcValid = 0;
  uint32_t statsRequest = 0;        // bit 0: one-shot, cleared by the frame that answers it
  uint32_t statsRequestSerial = 0;  // counts the requests written, so a frame sees a newer one
  uint8_t ffcFrames = 0, ffcCount = 0, dfcFrames = 0, dfcCount = 0;

  // The running frame.
  const SensorRect* roi = nullptr;
  uint32_t binning = 0;
  uint32_t frameMono = 0;

  std::array<double, 9> colourMatrix{};  // the model's, row-major
  // Per row of colourMatrix: 1 when it is the identity's row (within 2^-23 per element).
  std::array<uint8_t, 3> colourRowIsIdentity{};

  ImageRect aeRectPx{}, awbRectPx{}, abbRectPx{};

  // Gains and exposure.
  std::array<uint32_t, 3> wbGain{};
  std::array<uint32_t, 3> wbGainBase{};
  uint16_t curGain = 0, gainMin = 0, gainMax = 0, gainDefault = 0, aeGainMin = 0, aeGainMax = 0;
  uint32_t timeMin = 0, timeMax = 0, timeDefault = 0, aeTimeMin = 0, aeTimeMax = 0, curTime = 0;

  // Auto exposure's search state; it restarts with the state.
  uint32_t aeStatus = 0;
  uint32_t aeCallCount = 0;
  std::array<int32_t, 4> aeRefBri{};
  std::array<uint32_t, 4> aeRefExpTime{};
  std::array<int32_t, 4> aeRefGain{};
  uint32_t aeLastBri = 0;

  uint32_t usmRadius = 2;
  uint8_t usmThreshold = 0;

  // Settings and auto exposure; statistics; flat-field; dark-field and calibration files.
  // Hooks and notices are copied under these and called after: no edge in the wait table.
  std::unique_ptr<platform::RecursiveLock> mtxSettings;
  std::unique_ptr<platform::RecursiveLock> mtxStats;
  std::unique_ptr<platform::RecursiveLock> mtxFfc;
  std::unique_ptr<platform::RecursiveLock> mtxDfc;

  PLWorkers workers;
  PLHostCallbacks callbacks;

  // Buffers owned by the state.
  std::vector<uint8_t> scratch;
  std::vector<Sample> rawLut;
  std::vector<uint8_t> rotation;  // quarter turns copy through it under mtxScratch
  std::vector<uint32_t> ffcSum, dfcSum, ffcGain;
  std::vector<HotPixel> hotPixels;          // repaired in list order after the dark subtraction
  platform::FrameVector<Sample> darkTable;  // one dark sample per processing pixel
  // The RGB-input frames' calibration: plane k serves byte 2 - k of each pixel in either byte
  // order, one value per pixel of the running frame.
  std::array<std::vector<uint32_t>, 3> ffcGainPlanes;
  std::array<std::vector<uint8_t>, 3> darkPlanes;
  // AHD's and sharpening's working rows, grown to the largest frame they met (a still may be
  // larger than the preview). A call holds mtxScratch from the first use to the last, so a
  // preview frame and a still of one state take turns.
  // Holders run kernels only, no callback: never in a set, so no edge in the wait table.
  std::unique_ptr<platform::Mutex> mtxScratch = std::make_unique<platform::Mutex>();
  kernels::AhdScratch ahdScratch;
  kernels::SharpenScratch<Sample> sharpenScratch;

  // Published tables: read through SnapshotTables, replaced through PublishTables.
  PLTableSets<Sample> tables;

  // Fixed tables, filled at creation.
  std::vector<double> lumaR, lumaG, lumaB;
  std::array<uint8_t, 256> filmicLut8{};
  std::vector<uint16_t> filmicLut16;  // one per sensor value, only above 8 bits
  std::array<int32_t, 256> yTable{};

  // Statistics: luminance, R, G, B.
  std::array<std::array<float, 256>, 4> statsF{};
  std::array<std::array<uint32_t, 256>, 4> statsMain{};
  std::array<std::array<uint32_t, 256>, 4> statsWorker{};
  std::vector<uint32_t> histogramCounts;  // the histogram step's counters, made on first use
  uint32_t aeMarkCount = 0;               // AE window mark calls; every fourth draws nothing

  uint32_t tableMax() const { return (1u << bitDepth) - 1u; }
};

using PLContext = PLContextT<uint8_t>;
using PLContext16 = PLContextT<uint16_t>;

// The current table sets, taken in one short locked step.
template <typename Sample>
PLTableSets<Sample> SnapshotTables(PLContextT<Sample>& ctx) {
  std::lock_guard<platform::RecursiveLock> hold(*ctx.mtxSettings);
  return ctx.tables;
}

// The host callbacks, taken in one short locked step: setters replace them under the same lock.
template <typename Sample>
PLHostCallbacks SnapshotCallbacks(PLContextT<Sample>& ctx) {
  std::lock_guard<platform::RecursiveLock> hold(*ctx.mtxSettings);
  return ctx.callbacks;
}

// Swaps a freshly built set in; the old one is freed when its last reader lets go.
template <typename Sample, typename Set>
void PublishTables(PLContextT<Sample>& ctx, std::shared_ptr<const Set> PLTableSets<Sample>::*slot,
                   std::shared_ptr<const Set> fresh) {
  {
    std::lock_guard<platform::RecursiveLock> hold(*ctx.mtxSettings);
    std::swap(ctx.tables.*slot, fresh);
  }
  // fresh now holds the old set; it is released here, outside the lock.
}
