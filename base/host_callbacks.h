// The hooks a host hands the camera: histogram and demosaic hooks, and the pipeline's set of them.
#pragma once

#include <cstdint>

// Called once per processed frame with 2^bits counters per channel (red, green, blue), or one
// block with bit 15 of bits set for a mono frame.
using PL_HistogramCallback = void (*)(const uint32_t* counts, uint32_t bits, void* context);
// Takes over the demosaic (or, with FourCC "YYYY", the mono spread) of one raw frame.
using PL_DemosaicCallback = void (*)(uint32_t fourcc, int32_t width, int32_t height,
                                     const void* raw, void* out, uint8_t bitDepth, void* context);
// The pipeline's side of a demosaic hook: false when it did not take the frame (the host's hook
// was cleared as the frame began), which the pipeline then demosaics itself.
using PL_DemosaicHook = bool (*)(uint32_t fourcc, int32_t width, int32_t height, const void* raw,
                                 void* out, uint8_t bitDepth, void* context);

// The host callbacks a pipeline state calls, each with its own context.
struct PLHostCallbacks {
  // Hardware hand-over on cameras with an image-signal processor; all four share hwContext.
  void (*hwColourMatrix)(const double matrix[9], void* context) = nullptr;
  void (*hwWbGains)(const int32_t gains[3], void* context, const void* state,
                    uint32_t smallestProduct) = nullptr;
  void (*hwBlackOffsets)(const uint16_t offsets[3], void* context) = nullptr;
  void (*hwToneLut)(const void* lut, uint32_t bits, void* context) = nullptr;
  void* hwContext = nullptr;

  void (*aeApply)(uint32_t timeUs, uint16_t gain, void* context) = nullptr;
  void* aeApplyContext = nullptr;
  void (*onWbTempTint)(int32_t temp, int32_t tint, void* context) = nullptr;
  void* onWbTempTintContext = nullptr;
  void (*onWbRgb)(const int32_t gainsMinus128[3], void* context) = nullptr;
  void* onWbRgbContext = nullptr;
  void (*onBlackBalance)(const uint16_t offsets[3], void* context) = nullptr;
  void* onBlackBalanceContext = nullptr;

  void (*statsCallback)(const float* l, const float* r, const float* g, const float* b,
                        void* context) = nullptr;
  void* statsCallbackContext = nullptr;
  PL_HistogramCallback histogramCallback = nullptr;
  void* histogramCallbackContext = nullptr;
  PL_DemosaicHook demosaicCallback = nullptr;
  void* demosaicCallbackContext = nullptr;
  void (*onFfcFrame)(void* context) = nullptr;
  void* onFfcFrameContext = nullptr;
  void (*onDfcFrame)(void* context) = nullptr;
  void* onDfcFrameContext = nullptr;
  // A further pair a model may hand the pipeline; the pipeline only keeps it.
  void* extraHook = nullptr;
  void* extraHookContext = nullptr;
};

// A host notice taken under the state's hold and raised by the caller once it has let the hold
// go: the host's event callback it reaches may restart the stream, whose rebuild would wait for
// the raising thread's own hold.
struct PLHostNotice {
  void (*notice)(void* context) = nullptr;
  void* context = nullptr;
  void raise() const {
    if (notice) notice(context);
  }
};
