// The per-frame snapshot the stripe steps read: settings scalars and the published table sets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kernels/colour_steps.h"
#include "kernels/kernel_base.h"
#include "pipeline/pl_context.h"
#include "pipeline/stages/output_table.h"
#include "pipeline/stages/sharpen.h"

// Set by the driver when each stripe demosaics its own rows first (no host hook): the raw frame
// and the kernel's arguments. Without raw the image is demosaiced already.
template <typename Sample>
struct StripeDemosaic {
  const Sample* raw = nullptr;
  kernels::Layout layout{};
  uint32_t method = 0, bayer = 0;
  const uint8_t* siteTable = nullptr;
  int32_t height = 0;  // the frame's rows; its width is the job's
};

// Taken once at frame start under mtxSettings; workers read only this, never live settings.
template <typename Sample>
struct FrameJob {
  PLSettings settings{};
  PLTableSets<Sample> tables;  // references; the sets live while the job holds them
  uint8_t bgr = 0, isColour = 0, hasIsp = 0, hwToneBypass = 0, colourMatrixOn = 0;
  uint8_t hasToneMapping = 0, bits = 8, p = 3, mono = 0, stats = 0, vignette = 0, levels = 0;
  int32_t width = 0;      // stripe width in pixels, computed once per frame
  size_t rowSamples = 0;  // padded row length in samples
  const double* lumaR = nullptr;
  const double* lumaG = nullptr;
  const double* lumaB = nullptr;
  kernels::ToneLut<Sample> tone;            // chosen at snapshot time; points into `tables`
  stages::OutputTableStep<Sample> output;   // negative and output table; points into `tables`
  const PLContextT<Sample>* ctx = nullptr;  // configuration only (fixed after creation)
  StripeDemosaic<Sample> demosaic;
  uint32_t usmRadius = 2;
  uint8_t usmThreshold = 0;
};

// The frame's unsharp-mask parameters.
template <typename Sample>
stages::SharpenParams SharpenParamsOf(const FrameJob<Sample>& job) {
  return stages::SharpenParamsFrom(job.settings.processFlags, job.usmRadius, job.usmThreshold);
}

using StatsCounters = StripeCounters;

// Fills the job from the state for a frame of the given running width; takes mtxSettings.
template <typename Sample>
void SnapshotFrameJob(PLContextT<Sample>& ctx, int32_t width, FrameJob<Sample>& job);

// total += part, channel by channel.
void AddStatsCounts(StatsCounters& total, const StatsCounters& part);

// The stripe's demosaic when the job carries one, then vignette, colour adjustment, statistics
// (into `counts` when the job collects them), levels, tone curve and the output table on rows [0,
// rows) starting at `stripe`, which is row firstRow of the image; a few rows at a time, every step
// in turn.
template <typename Sample>
void RunStripe(const FrameJob<Sample>& job, Sample* stripe, int32_t rows, int32_t firstRow,
               StatsCounters& counts);

// Levels, tone curve and the output table alone on rows [0, rows) of image: for a driver whose
// histogram comes between the colour adjustment and these steps.
template <typename Sample>
void RunToneSteps(const FrameJob<Sample>& job, Sample* image, int32_t rows);
