// The two spacings the pages' custom-drawn controls use, scaled to the screen's dots per inch.
#include "dshow/screen_spacing.h"

namespace {

int32_t scaled(int32_t base, int32_t dpi) {
  return static_cast<int32_t>((int64_t{base} * dpi + 48) / 96);
}

}  // namespace

ScreenSpacings spacingsForDpi(int32_t dpi) {
  if (dpi <= 0) dpi = 96;
  return ScreenSpacings{scaled(2, dpi), scaled(4, dpi)};
}

ScreenSpacings& PageSpacings() {
  static ScreenSpacings spacings;
  return spacings;
}
