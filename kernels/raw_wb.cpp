// Raw white balance: each raw sample through its site's colour table.
#include "kernels/raw_sites.h"
#include "kernels/raw_steps.h"

namespace kernels {
namespace {

template <typename Sample>
void applyRawWb(uint32_t b, const Sample* red, const Sample* green, const Sample* blue, int32_t w,
                int32_t h, Sample* raw) {
  if (!red || !green || !blue || !raw || b > 3 || w < 1 || h < 1) return;
  // Tables span every value the sample type holds, so any sample indexes them.
  const Sample* tables[3] = {red, green, blue};
  mapSites(b, w, h, raw, tables, [](Sample s, const Sample* t) { return t[s]; });
}

}  // namespace

void ApplyRawWb(uint32_t b, const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                int32_t w, int32_t h, uint8_t* raw) {
  applyRawWb(b, red, green, blue, w, h, raw);
}

void ApplyRawWb16(uint32_t b, const uint16_t* red, const uint16_t* green, const uint16_t* blue,
                  int32_t w, int32_t h, uint16_t* raw) {
  applyRawWb(b, red, green, blue, w, h, raw);
}

}  // namespace kernels
