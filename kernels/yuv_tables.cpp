// The process-wide YCbCr and luma weight tables, built once on first use.
#include "kernels/output.h"

namespace kernels {
namespace {

YuvTables makeYuv() {
  YuvTables t{};
  for (int k = 0; k < 256; ++k) {
    // Single precision as the camera's conversion has it; the cast truncates toward zero.
    const float c = float(k - 128);
    t.luma[k] = int32_t(float(k - 16) * 1.164f);
    t.uToGreen[k] = int32_t(c * 0.391f);
    t.vToGreen[k] = int32_t(c * 0.813f);
    t.vToRed[k] = int32_t(c * 1.596f);
    t.uToBlue[k] = int32_t(c * 2.018f);
  }
  return t;
}

LumaTables makeLuma() {
  LumaTables t{};
  for (int v = 0; v < 256; ++v) {
    t.red[v] = v * 0.299, t.green[v] = v * 0.587, t.blue[v] = v * 0.114;
    t.redByte[v] = uint8_t(t.red[v]), t.greenByte[v] = uint8_t(t.green[v]),
    t.blueByte[v] = uint8_t(t.blue[v]);
  }
  return t;
}

}  // namespace

// Function-local statics: built exactly once even when several threads ask first.
const YuvTables& GetYuvTables() {
  static const YuvTables tables = makeYuv();
  return tables;
}
const LumaTables& GetLumaTables() {
  static const LumaTables tables = makeLuma();
  return tables;
}
void BuildYuvTables() {
  (void)GetYuvTables();
}
void BuildLumaTables() {
  (void)GetLumaTables();
}

}  // namespace kernels
