// One-push balance measures: the window on the running frame and the R, G, B sums inside it.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "base/geometry.h"
#include "base/pixel_formats.h"
#include "pipeline/pl_context.h"

// Sums and sample counts of R, G, B (index 0, 1, 2).
struct ChannelSums {
  std::array<double, 3> sum{};
  std::array<uint32_t, 3> count{};
};

// The channel (R 0, G 1, B 2) a colour site's output byte feeds, 3 for none; bgr: the bytes are
// in B, G, R order.
inline size_t SiteChannel(uint8_t site, bool bgr) {
  if (site > 2) return 3;
  return bgr ? size_t(2 - site) : size_t(site);
}

// The frame a measure walks and where its window lies.
struct BalanceFrame {
  uint32_t width = 0, height = 0;      // the whole processing frame, before region and binning
  const SensorRect* region = nullptr;  // the sensor window the frame holds, or none
  uint32_t binning = 1;
};

// The window in the measured frame: with a region the window must lie inside it and moves to its
// coordinates; binning divides sizes and edges and rounds them down to even (the Bayer phase
// stays); then it is clipped. False (and "bad rc" traced under `who`) when it leaves the region,
// false silently when it is empty. width and height receive the measured frame's size.
bool BalanceWindow(const char* who, const ImageRect& window, const BalanceFrame& frame,
                   ImageRect& out, uint32_t& width, uint32_t& height);

inline uint64_t WindowArea(const ImageRect& w) {
  return uint64_t(int64_t(w.right) - w.left) * uint64_t(int64_t(w.bottom) - w.top);
}

// BalanceWindow over the state's running frame with one of its windows, read under the settings
// lock.
template <typename Sample>
bool StateWindow(PLContextT<Sample>& c, ImageRect PLContextT<Sample>::*rect, const char* who,
                 ImageRect& win, uint32_t& width, uint32_t& height) {
  ImageRect window;
  {
    std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
    window = c.*rect;
  }
  const BalanceFrame f{c.procWidth, c.procHeight, c.roi, c.binning ? c.binning : 1};
  return BalanceWindow(who, window, f, win, width, height);
}

// The processor's sums of one window (first = 3 white, 6 black) behind `bytes` of samples,
// traced under the measurement's name `who`.
ChannelSums WindowSums(const char* who, const void* samples, uint64_t bytes, size_t first,
                       uint64_t pixels);

// Raw mosaic sums: rows stored bottom-up (window row y is memory row height - 1 - y), each
// sample to the channel its site feeds; sites outside the three channels are skipped. bgr: the
// site table names bytes in B, G, R order.
template <typename Sample>
ChannelSums MeasureRaw(const Sample* frame, uint32_t width, uint32_t height, const ImageRect& win,
                       uint32_t bayer, const ColourSiteTable& sites, bool bgr);

// Packed pixels of `bytesPerPixel`, rows padded to 4 bytes and stored bottom-up: bytes 2, 1, 0
// are R, G, B when bgr, else bytes 0, 1, 2. Every count is the window's pixel count.
ChannelSums MeasureBmp(const uint8_t* frame, uint32_t width, uint32_t height,
                       uint32_t bytesPerPixel, const ImageRect& win, bool bgr);

// A grey frame's window: the sum in channel 0, its pixel count beside it.
template <typename Sample>
ChannelSums MeasureMono(const Sample* frame, uint32_t width, uint32_t height, const ImageRect& win);
