// Conversions around the pipeline's output: YCbCr and luma tables, packed 4:2:2 to RGB, the
// region crop, the fit to the output size and 16-to-8-bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "kernels/colour_planes.h"
#include "kernels/kernel_base.h"

namespace kernels {

// Five tables by (k - 16) x 1.164 and (k - 128) x factor, single precision, truncated.
struct YuvTables {
  std::array<int32_t, 256> luma, uToGreen, vToGreen, vToRed, uToBlue;
};
// v x 0.299, 0.587, 0.114 as doubles and truncated bytes.
struct LumaTables {
  std::array<double, 256> red, green, blue;
  std::array<uint8_t, 256> redByte, greenByte, blueByte;
};

// Fill the process-wide tables (once, thread-safe); call before any camera opens.
void BuildYuvTables();
void BuildLumaTables();
const YuvTables& GetYuvTables();
const LumaTables& GetLumaTables();

// Packed 4:2:2, (w x h) / 2 groups in pixel order, rows back to back: format 6 (V, U, Y of the
// second pixel, Y of the first) and format 11 (U, Y1, V, Y2). Pixels go to padded rows in the
// layout's byte order; p must be 3 or 4 and a fourth sample is not written.
void Yuv422ToRgb8(const Layout& l, const uint8_t* packed, uint8_t* out, int32_t w, int32_t h);
void Yuv422ToRgb8Alt(const Layout& l, const uint8_t* packed, uint8_t* out, int32_t w, int32_t h);
// Either format (alt: 11) with each colour byte then replaced by its colour's table entry (256
// entries each): the conversion and ApplyColourTables in one pass. Null tables: none applied.
void Yuv422ToRgb8Tables(const Layout& l, bool alt, const uint8_t* packed, uint8_t* out, int32_t w,
                        int32_t h, ColourPlanes<uint8_t> tables);

// Moves the region's rows to the start of the buffer, packed; with the trailer flag the 48
// bytes after the full frame follow them. Refused (false, untouched) when the region is empty
// or leaves the frame, or the buffer is shorter than the frame (and trailer).
bool CopyRoi(uint8_t* buffer, size_t bufferBytes, int32_t fullW, int32_t fullH, int32_t roiW,
             int32_t roiH, int32_t left, int32_t top, uint8_t bytesPerPixel, uint8_t trailer);

// The Bayer order seen from the region's first sample.
int32_t BayerPhaseForRoi(int32_t b, int32_t left, int32_t top);

// Resamples the processed frame into the output, both with padded rows of p bytes per pixel.
// Wider: the mean of fx pixels after a centred skip; shorter: rows repeated by fy with odd ones
// interpolated, rows past fy x height from the last; any other direction picks the nearest
// (source = out x processed / output). Same size: nothing. Refused when a buffer is short.
// Buffer sizes are in bytes for both widths.
bool FitToOutput(int32_t outW, int32_t outH, int32_t procW, int32_t procH, uint8_t* out,
                 size_t outBytes, const uint8_t* proc, size_t procBytes, uint8_t p);
bool FitToOutput16(int32_t outW, int32_t outH, int32_t procW, int32_t procH, uint16_t* out,
                   size_t outBytes, const uint16_t* proc, size_t procBytes, uint8_t p);

// Each sample >> (bits - 8), saturated at 255; rows of both images padded. dst may equal src.
void Convert16To8(const uint16_t* src, uint8_t* dst, int32_t w, int32_t rows, uint8_t p,
                  uint8_t bits);

}  // namespace kernels
